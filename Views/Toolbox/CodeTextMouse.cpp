#include "Views/Toolbox/CodeTextMouse.h"

#include "Views/Toolbox/CodeTextBoundaries.h"
#include "Views/Toolbox/CodeTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>

CodeTextMouse::CodeTextMouse(CodeTextView& view) : view_(view) {}

void CodeTextMouse::press(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int at = view_.positionAt(point);
    if (event->button() == Qt::LeftButton) {
        const bool tripleClick = QDateTime::currentMSecsSinceEpoch() - lastDoubleClick_ <
                                     QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
                                 (point - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance();
        if (tripleClick) {
            const QTextBlock block = view_.document_->findBlock(at);
            view_.applyCursor(view_.cursorOver(block.position(), block.position() + block.length()));
            view_.setPrimarySelection();
            lastDoubleClick_ = 0;
            return;
        }
        mayDrag_ = view_.cursor_.hasSelection() && at >= view_.cursor_.selectionStart() &&
                   at < view_.cursor_.selectionEnd() && !(event->modifiers() & Qt::ShiftModifier);
        dragStart_ = point;
        if (mayDrag_) return;
        selecting_ = true;
        view_.moveTo(at, event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    } else if (event->button() == Qt::MiddleButton && !view_.readOnly_ &&
               QApplication::clipboard()->supportsSelection()) {
        view_.moveTo(at, QTextCursor::MoveAnchor);
        view_.insertFromMimeData(QApplication::clipboard()->mimeData(QClipboard::Selection));
    }
}

void CodeTextMouse::move(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    lastMouse_ = point;
    if (mayDrag_ && (event->buttons() & Qt::LeftButton)) {
        if ((point - dragStart_).manhattanLength() < QApplication::startDragDistance()) return;
        mayDrag_ = false;
        auto* drag = new QDrag(&view_);
        drag->setMimeData(view_.createMimeDataFromSelection());
        const Qt::DropAction action = drag->exec(view_.readOnly_ ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction);
        if (action == Qt::MoveAction && drag->target() != view_.viewport() && drag->target() != &view_ &&
            !view_.readOnly_)
            view_.deleteTo(view_.cursor_.position());
        return;
    }
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
    view_.moveTo(view_.positionAt(point), QTextCursor::KeepAnchor);
    if (point.y() < 0 || point.y() > view_.viewport()->height()) {
        if (!scrollTimer_.isActive()) scrollTimer_.start(50, &view_);
    } else {
        scrollTimer_.stop();
    }
}

void CodeTextMouse::autoScroll() {
    QScrollBar* bar = view_.verticalScrollBar();
    if (lastMouse_.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (lastMouse_.y() > view_.viewport()->height())
        bar->setValue(bar->value() + 1);
    else
        return scrollTimer_.stop();
    const QPoint inside(lastMouse_.x(), std::clamp(lastMouse_.y(), 0, view_.viewport()->height() - 1));
    view_.moveTo(view_.positionAt(inside), QTextCursor::KeepAnchor);
}

void CodeTextMouse::release(QMouseEvent* event) {
    scrollTimer_.stop();
    if (mayDrag_ && event->button() == Qt::LeftButton)
        view_.moveTo(view_.positionAt(event->position().toPoint()), QTextCursor::MoveAnchor);
    mayDrag_ = false;
    if (selecting_) view_.setPrimarySelection();
    selecting_ = false;
}

void CodeTextMouse::doubleClick(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const auto [start, end] = CodeTextBoundaries::wordAt(view_.shown_, view_.positionAt(point));
    view_.applyCursor(view_.cursorOver(start, end));
    view_.setPrimarySelection();
    lastDoubleClick_ = QDateTime::currentMSecsSinceEpoch();
    doubleClickPoint_ = point;
    selecting_ = false;
}

void CodeTextMouse::dragEnter(QDragEnterEvent* event) {
    if (view_.readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    event->acceptProposedAction();
}

void CodeTextMouse::dragMove(QDragMoveEvent* event) {
    if (view_.readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    dropPosition_ = view_.positionAt(event->position().toPoint());
    // A selection is not dropped into itself.
    const bool own = event->source() == &view_ || event->source() == view_.viewport();
    if (own && dropPosition_ > view_.cursor_.selectionStart() && dropPosition_ < view_.cursor_.selectionEnd())
        return event->ignore();
    event->acceptProposedAction();
}

void CodeTextMouse::drop(QDropEvent* event) {
    if (view_.readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    const int at = view_.positionAt(event->position().toPoint());
    const bool own = event->source() == &view_ || event->source() == view_.viewport();
    if (own && at > view_.cursor_.selectionStart() && at < view_.cursor_.selectionEnd()) return event->ignore();
    QString text = event->mimeData()->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const bool move = own && event->dropAction() == Qt::MoveAction;
    view_.edit([&](QTextCursor& cursor) {
        cursor.beginEditBlock();
        QTextCursor moved = cursor;  // follows the insertion
        cursor.setPosition(at);
        cursor.insertText(text);
        if (move) moved.removeSelectedText();
        cursor.setPosition(cursor.position() - int(text.size()));
        cursor.setPosition(cursor.position() + int(text.size()), QTextCursor::KeepAnchor);
        cursor.endEditBlock();
    });
    // The move is done here: the drag's source must not remove the text again.
    event->setDropAction(move ? Qt::CopyAction : event->dropAction());
    event->accept();
}

void CodeTextMouse::contextMenu(QContextMenuEvent* event) {
    QMenu menu(&view_);
    const bool selection = view_.cursor_.hasSelection();
    if (!view_.readOnly_) {
        menu.addAction(CodeTextView::tr("&Undo"), QKeySequence::Undo, &view_, &CodeTextView::undo)
            ->setEnabled(view_.document_->isUndoAvailable());
        menu.addAction(CodeTextView::tr("&Redo"), QKeySequence::Redo, &view_, &CodeTextView::redo)
            ->setEnabled(view_.document_->isRedoAvailable());
        menu.addSeparator();
        menu.addAction(CodeTextView::tr("Cu&t"), QKeySequence::Cut, &view_, &CodeTextView::cut)->setEnabled(selection);
    }
    menu.addAction(CodeTextView::tr("&Copy"), QKeySequence::Copy, &view_, &CodeTextView::copy)->setEnabled(selection);
    if (!view_.readOnly_) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        menu.addAction(CodeTextView::tr("&Paste"), QKeySequence::Paste, &view_, &CodeTextView::paste)
            ->setEnabled(data && data->hasText());
        menu.addAction(CodeTextView::tr("Delete"), &view_, [&view = view_] { view.deleteTo(view.cursor_.position()); })
            ->setEnabled(selection);
    }
    menu.addSeparator();
    menu.addAction(CodeTextView::tr("Select All"), QKeySequence::SelectAll, &view_, &CodeTextView::selectAll)
        ->setEnabled(!view_.shown_.isEmpty());
    menu.exec(event->globalPos());
}
