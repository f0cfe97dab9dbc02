#pragma once

#include <QScrollArea>

// A frameless scroll area without scroll bars that paints nothing of its own: the glass behind
// shows through. QScrollArea::setWidget() turns the content's fill on; a filled content counts as
// opaque, so on a window without a compositor Qt repaints it alone and leaves whatever it hides
// (a collapsed group's rows, say) under the glass. setContent() keeps the fill off.
class ClearScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit ClearScrollArea(QWidget* parent = nullptr);

    // setWidget(), with the content left unfilled.
    void setContent(QWidget* content);
};
