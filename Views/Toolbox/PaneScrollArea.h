#pragma once

#include <QScrollArea>

// The vertical scroll view of the toolbox panes: no frame, no background of its own, content as
// wide as the view. Its indicator is shown while the content is taller than the view, or never.
class PaneScrollArea : public QScrollArea {
    Q_OBJECT
public:
    enum class Indicators { shown, never };

    PaneScrollArea(QWidget* content, Indicators indicators, QWidget* parent = nullptr);
};
