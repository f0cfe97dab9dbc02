#pragma once

#include "Views/Toolbox/CodeTextView.h"

#include <QAccessibleWidget>
#include <QScrollBar>

#include <algorithm>

// What assistive technology reads and edits: the whole text, the caret and the selection.
class CodeTextViewAccessible : public QAccessibleWidget,
                               public QAccessibleTextInterface,
                               public QAccessibleEditableTextInterface {
public:
    explicit CodeTextViewAccessible(CodeTextView* view);

    // Installed once by the first view.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface && view()->isEditable())
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Value ? view()->text() : QAccessibleWidget::text(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = view()->isEditable();
        state.readOnly = !view()->isEditable();
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    void selection(int index, int* start, int* end) const override {
        const QTextCursor cursor = view()->textCursor();
        const bool has = index == 0 && cursor.hasSelection();
        *start = has ? cursor.selectionStart() : 0;
        *end = has ? cursor.selectionEnd() : 0;
    }
    int selectionCount() const override { return view()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) setCursorPosition(view()->textCursor().position());
    }
    void setSelection(int, int start, int end) override {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(clamped(start));
        cursor.setPosition(clamped(end), QTextCursor::KeepAnchor);
        view()->setTextCursor(cursor);
    }
    int cursorPosition() const override { return view()->textCursor().position(); }
    void setCursorPosition(int position) override { setSelection(0, position, position); }
    QString text(int start, int end) const override { return view()->text().mid(start, end - start); }
    int characterCount() const override { return int(view()->text().size()); }
    QRect characterRect(int offset) const override {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(clamped(offset));
        const QRect caret = view()->cursorRect(cursor);
        const int width = view()->fontMetrics().horizontalAdvance(view()->text().mid(offset, 1));
        return QRect(view()->viewport()->mapToGlobal(caret.topLeft()), QSize(width, caret.height()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return view()->cursorForPosition(view()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(clamped(start));
        const QRect rect = view()->cursorRect(cursor);
        QScrollBar* bar = view()->verticalScrollBar();
        const int row = std::max(1, view()->fontMetrics().height());
        if (rect.top() < 0)
            bar->setValue(bar->value() + rect.top() / row - 1);
        else if (rect.bottom() > view()->viewport()->height())
            bar->setValue(bar->value() + (rect.bottom() - view()->viewport()->height()) / row + 1);
    }
    QString attributes(int offset, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        Q_UNUSED(offset);
        return QString();
    }

    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (!view()->isEditable()) return;
        setSelection(0, start, end);
        view()->insertPlainText(text);
    }

private:
    CodeTextView* view() const { return static_cast<CodeTextView*>(widget()); }
    int clamped(int offset) const { return std::clamp(offset, 0, characterCount()); }
};
