#pragma once

#include <QSplitter>

// A splitter whose handle draws as a hairline between sidebar and detail; it still takes the drag
// that resizes the sidebar.
class HairlineSplitter : public QSplitter {
public:
    // One pixel wide; neither side collapses.
    explicit HairlineSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};
