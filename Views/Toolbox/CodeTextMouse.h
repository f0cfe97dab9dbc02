#pragma once

#include <QBasicTimer>
#include <QPoint>

class CodeTextView;
class QContextMenuEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMouseEvent;

// What the code text view does with the mouse: placing the caret, selecting by dragging (scrolling
// while the pointer is above or below the view), by word on a double click and by line on a triple
// one, pasting the primary selection on a middle click, and dragging the selection out or text in.
class CodeTextMouse {
public:
    explicit CodeTextMouse(CodeTextView& view);

    void press(QMouseEvent* event);
    void move(QMouseEvent* event);
    void release(QMouseEvent* event);
    void doubleClick(QMouseEvent* event);
    void dragEnter(QDragEnterEvent* event);
    void dragMove(QDragMoveEvent* event);
    void drop(QDropEvent* event);
    // Undo, redo, cut, copy, paste, delete and select all, as far as each applies.
    void contextMenu(QContextMenuEvent* event);

    // The scrolling while selecting runs on a timer of the view's.
    bool isScrollTimer(int timerId) const { return timerId == scrollTimer_.timerId(); }
    void autoScroll();

private:
    CodeTextView& view_;
    QBasicTimer scrollTimer_;
    QPoint lastMouse_;
    bool selecting_ = false;
    QPoint dragStart_;
    bool mayDrag_ = false;
    qint64 lastDoubleClick_ = 0;
    QPoint doubleClickPoint_;
    int dropPosition_ = -1;
};
