#include "Views/Toolbox/CodeTextKeys.h"

#include "Views/Toolbox/CodeTextBoundaries.h"
#include "Views/Toolbox/CodeTextLayout.h"
#include "Views/Toolbox/CodeTextView.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

bool CodeTextKeys::isTypedText(const QString& text) {
    if (text.isEmpty()) return false;
    const char32_t first = text.at(0).isHighSurrogate() && text.size() > 1
                               ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                               : char32_t(text.at(0).unicode());
    return QChar::isPrint(first) || QChar::category(first) == QChar::Other_Format || first == U'\t';
}

bool CodeTextKeys::isOwnShortcut(const QKeyEvent* key, bool readOnly) {
    return key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
           (!readOnly &&
            (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Undo) ||
             key->matches(QKeySequence::Redo) || key->matches(QKeySequence::Delete) ||
             key->matches(QKeySequence::DeleteStartOfWord) || key->matches(QKeySequence::DeleteEndOfWord) ||
             (isTypedText(key->text()) && !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))));
}

bool CodeTextKeys::navigate(CodeTextView& view, QKeyEvent* event) {
    struct Move {
        QKeySequence::StandardKey key;
        QTextCursor::MoveOperation operation;
        QTextCursor::MoveMode mode;
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextChar, QTextCursor::NextCharacter, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToNextWord, QTextCursor::NextWord, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousWord, QTextCursor::PreviousWord, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextWord, QTextCursor::NextWord, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousWord, QTextCursor::PreviousWord, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::MoveAnchor},
        {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
        {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
    };
    for (const Move& move : moves) {
        if (!event->matches(move.key)) continue;
        view.moveCursor(move.operation, move.mode);
        if (move.mode == QTextCursor::KeepAnchor) view.setPrimarySelection();
        return true;
    }
    const bool pageDown = event->matches(QKeySequence::MoveToNextPage) || event->matches(QKeySequence::SelectNextPage);
    const bool pageUp =
        event->matches(QKeySequence::MoveToPreviousPage) || event->matches(QKeySequence::SelectPreviousPage);
    if (pageDown || pageUp) {
        const bool select =
            event->matches(QKeySequence::SelectNextPage) || event->matches(QKeySequence::SelectPreviousPage);
        const int rows = view.visibleRows() * (pageDown ? 1 : -1);
        const int to = view.verticalTarget(view.cursor_.position(), rows);
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + rows);
        view.moveTo(to, select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor, true);
        return true;
    }
    return false;
}

bool CodeTextKeys::edit(CodeTextView& view, QKeyEvent* event) {
    const QString& text = view.shown_;
    const int at = view.cursor_.position();
    if (event->matches(QKeySequence::Cut))
        view.cut();
    else if (event->matches(QKeySequence::Paste))
        view.paste();
    else if (event->matches(QKeySequence::Undo))
        view.undo();
    else if (event->matches(QKeySequence::Redo))
        view.redo();
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        view.deleteTo(CodeTextBoundaries::previousWord(text, at));
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        view.deleteTo(CodeTextBoundaries::nextWord(text, at, false));
    else if (event->matches(QKeySequence::DeleteEndOfLine))
        view.deleteTo(view.layout_->lineEdge(at, true));
    else if (event->matches(QKeySequence::Delete))
        view.deleteTo(CodeTextBoundaries::nextCharacter(text, at));
    else if (event->matches(QKeySequence::Backspace) ||
             (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)))
        view.deleteTo(CodeTextBoundaries::previousCharacter(text, at));
    else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator))
        view.insertText(QStringLiteral("\n"));
    else {
        const QString typed = event->text();
        const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        if (command || !isTypedText(typed)) return false;
        view.insertText(typed);
    }
    return true;
}

void CodeTextKeys::inputMethod(CodeTextView& view, QInputMethodEvent* event) {
    if (view.readOnly_) return event->ignore();
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        view.edit([&](QTextCursor& cursor) {
            cursor.beginEditBlock();
            if (event->replacementLength() > 0) {
                const int start = cursor.position() + event->replacementStart();
                cursor.setPosition(std::clamp(start, 0, int(view.shown_.size())));
                cursor.setPosition(std::clamp(start + event->replacementLength(), 0, int(view.shown_.size())),
                                   QTextCursor::KeepAnchor);
            }
            cursor.insertText(event->commitString());
            cursor.endEditBlock();
        });
    }
    event->accept();
}
