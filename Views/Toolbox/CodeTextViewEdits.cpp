// The code text view's text: what it shows, and the edits of the user's it reports.
#include "Views/Toolbox/CodeTextView.h"

#include "Views/Toolbox/CodeTextLayout.h"
#include "Views/Toolbox/CodeTextRuns.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

using CodeTextRuns::longRunsAround;

QString CodeTextView::documentText() const {
    // The raw text keeps no-break spaces; only block ends need turning back into line feeds.
    QString text = document_->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

QString CodeTextView::documentText(int position, int length) const {
    // Called while the document reports a change, the cursor works out no x (no layout).
    QTextCursor range(document_);
    range.setPosition(position);
    range.setPosition(position + length, QTextCursor::KeepAnchor);
    QString text = range.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void CodeTextView::setText(const QString& text) {
    if (text == this->text()) return;
    const int oldStart = cursor_.selectionStart();
    const int oldLength = cursor_.selectionEnd() - oldStart;
    settingText_ = true;
    document_->setPlainText(text);
    settingText_ = false;
    edits_.clear();
    wholeEdit_ = false;
    // One copy of the text, not two; the host's own is kept only where the document's differs.
    boundIsShown_ = shown_ == text;
    if (boundIsShown_) {
        shown_ = text;
        // An editor's text changes in place at each key: it takes its own copy here, beside the
        // document's, rather than hold up the first key with it.
        if (isEditable()) shown_.detach();
        bound_ = QString();
    } else {
        bound_ = text;
    }
    chooseWrapMode();
    QTextCursor cursor = cursorOver(0, 0);
    if (isEditable()) {
        const int length = document_->characterCount() - 1;
        const int start = std::min(oldStart, length);
        const int selected = std::min(oldLength, length - start);
        cursor = cursorOver(start, start + selected);
    }
    applyCursor(cursor);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void CodeTextView::onContentsChange(int position, int removed, int added) {
    if (!settingText_ && edits_.empty() && !wholeEdit_) reportedLength_ = int(text().size());
    const int length = int(shown_.size());
    const bool inPlace = !settingText_ && position >= 0 && removed >= 0 && added >= 0 && position + removed <= length &&
                         length - removed + added == document_->characterCount() - 1;
    const bool accessible = QAccessible::isActive();
    QString before, after;
    if (inPlace) {
        // Only the edit is read from the document, and only the runs beside it are counted again.
        after = documentText(position, added);
        if (accessible) before = shown_.mid(position, removed);
        longRuns_ -= longRunsAround(shown_, position, position + removed);
        shown_.replace(position, removed, after);
        longRuns_ += longRunsAround(shown_, position, position + added);
        if (!wholeEdit_) edits_.push_back({position, removed, after});
    } else {
        if (accessible) before = shown_;
        shown_ = documentText();
        longRuns_ = longRunsAround(shown_, 0, shown_.size());
        edits_.clear();
        wholeEdit_ = !settingText_;
        if (accessible) {
            position = std::clamp(position, 0, int(std::min(before.size(), shown_.size())));
            before = before.mid(position, removed);
            after = shown_.mid(position, added);
        }
    }
    if (accessible) {
        QAccessibleTextUpdateEvent update(this, position, before, after);
        QAccessible::updateAccessibility(&update);
    }
    changed_ = true;
    lastChangeEnd_ = std::min(position + added, int(shown_.size()));
    const int blocks = document_->blockCount();
    const QTextBlock first = document_->findBlock(std::clamp(position, 0, int(shown_.size())));
    // What stands before the edit keeps its layout: typing into a long line lays out again only the
    // pieces from the caret's on.
    if (inPlace && first.isValid())
        layout_->dropLayoutsFrom(first, position);
    else
        layout_->dropLayouts();
    const QTextBlock last = document_->findBlock(std::min(position + added, int(shown_.size())));
    if (blocks == lastBlockCount_ && first == last && !settingText_ && first.isValid()) {
        // Within one line: its pieces keep the rows they had until they are laid out again.
        layout_->estimateBlock(first, true);
    } else {
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            layout_->estimateBlock(b);
            if (b == last) break;
        }
    }
    lastBlockCount_ = blocks;
    Q_UNUSED(removed);
    updateScrollBar();
}

void CodeTextView::onContentsChanged() {
    if (!changed_) return;
    changed_ = false;
    if (settingText_) return;
    // The host's text where it differed from the document's (its line ends, say) is replaced whole.
    const bool whole = wholeEdit_ || !boundIsShown_;
    const std::vector<Edit> edits = std::move(edits_);
    edits_.clear();
    wholeEdit_ = false;
    boundIsShown_ = true;
    bound_ = QString();
    chooseWrapMode();
    viewport()->update();
    if (whole) {
        emit edited(0, reportedLength_, shown_);
    } else {
        for (const Edit& edit : edits) emit edited(edit.position, edit.removed, edit.added);
    }
    emit textEdited(shown_);
}

void CodeTextView::chooseWrapMode() {
    setWordWrapMode(longRuns_ > 0 ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
}
