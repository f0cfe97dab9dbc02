#include "Views/Toolbox/CodeTextView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/CodeTextBoundaries.h"
#include "Views/Toolbox/CodeTextKeys.h"
#include "Views/Toolbox/CodeTextLayout.h"
#include "Views/Toolbox/CodeTextMouse.h"
#include "Views/Toolbox/CodeTextViewAccessible.h"
#include "Views/Toolbox/CodeTextViewController.h"
#include "Views/Toolbox/SlimScrollBars.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <cmath>

CodeTextView::CodeTextView(bool editable, const QString& placeholder, CodeTextViewController* controller,
                           QWidget* parent)
    : QAbstractScrollArea(parent), document_(new QTextDocument(this)), placeholder_(placeholder),
      layout_(std::make_unique<CodeTextLayout>(document_, shown_, *this)),
      mouse_(std::make_unique<CodeTextMouse>(*this)) {
    static const bool accessible = (QAccessible::installFactory(&CodeTextViewAccessible::factory), true);
    Q_UNUSED(accessible);
    document_->setDocumentLayout(CodeTextLayout::documentLayout(document_));
    document_->setUndoRedoEnabled(true);
    cursor_ = QTextCursor(document_);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFont(SystemFont::monospaced(fontSize));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    useSlimScrollBars(this);
    setEditable(editable);
    applyColors();
    if (controller) controller->setTextView(this);

    connect(document_, &QTextDocument::contentsChange, this, &CodeTextView::onContentsChange);
    connect(document_, &QTextDocument::contentsChanged, this, &CodeTextView::onContentsChanged);
    estimateAll();
}

CodeTextView::~CodeTextView() { layout_->dropLayouts(); }

void CodeTextView::setWordWrapMode(QTextOption::WrapMode mode) {
    if (layout_->wrapMode() == mode) return;
    layout_->setWrapMode(mode);
    estimateAll();
    viewport()->update();
}

std::vector<int> CodeTextView::pieceStarts(QStringView line) {
    std::vector<int> starts;
    const int count = CodeTextLayout::pieceCountOf(line);
    for (int i = 0; i < count; ++i) starts.push_back(CodeTextLayout::pieceStartIn(line, i));
    return starts;
}

QTextOption::WrapMode CodeTextView::wordWrapMode() const { return layout_->wrapMode(); }

// Rows -------------------------------------------------------------------------------------------------

void CodeTextView::estimateAll() {
    layout_->estimateAll();
    updateScrollBar();
}

int CodeTextView::visibleRows() const {
    return std::max(1, int((viewport()->height() - 2 * inset) / layout_->rowHeight()));
}

void CodeTextView::updateScrollBar() {
    layout_->clearRowsChanged();
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRows();
    bar->setRange(0, std::max(0, layout_->rowCount() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

int CodeTextView::rowTop(int row) const {
    return inset + int((row - verticalScrollBar()->value()) * layout_->rowHeight());
}

int CodeTextView::positionAt(const QPoint& point) const {
    const int row = verticalScrollBar()->value() + int(std::floor((point.y() - inset) / layout_->rowHeight()));
    if (row >= layout_->rowCount()) return int(shown_.size());
    return layout_->positionAt(std::max(0, row), point.x() - inset);
}

// Painting ---------------------------------------------------------------------------------------------

void CodeTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect clip = event->rect();
    painter.setClipRect(clip);
    painter.setFont(font());
    if (shown_.isEmpty() && !placeholder_.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        const QRect room(inset, inset, int(layout_->textWidth()), viewport()->height() - inset);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, placeholder_);
    }
    painter.setPen(palette().color(QPalette::Text));
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const int caret = caretOn_ && hasFocus() ? cursor_.position() : -1;
    layout_->draw(painter, verticalScrollBar()->value(), viewport()->height(), clip,
                  {cursor_.selectionStart(), cursor_.selectionEnd()}, selected, caret);
    if (layout_->rowsChanged()) QMetaObject::invokeMethod(this, &CodeTextView::updateScrollBar, Qt::QueuedConnection);
}

void CodeTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (layout_->textWidth() != layout_->estimatedWidth())
        estimateAll();
    else
        updateScrollBar();
}

void CodeTextView::scrollContentsBy(int, int) { viewport()->update(); }

QRect CodeTextView::cursorRect() const { return cursorRect(cursor_); }

QRect CodeTextView::cursorRect(const QTextCursor& cursor) const {
    const auto [row, x] = layout_->caretPoint(cursor.position());
    return QRect(inset + int(x), rowTop(row), 1, int(layout_->rowHeight()));
}

QTextCursor CodeTextView::cursorForPosition(const QPoint& point) const {
    const int at = positionAt(point);
    return cursorOver(at, at);
}

void CodeTextView::ensureCursorVisible() {
    if (layout_->rowsChanged()) updateScrollBar();
    const int row = layout_->caretPoint(cursor_.position()).first;
    if (layout_->rowsChanged()) updateScrollBar();
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRows();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + visible)
        bar->setValue(row - visible + 1);
}

int CodeTextView::verticalTarget(int position, int rows) {
    const auto [row, x] = layout_->caretPoint(position);
    if (preferredX_ < 0) preferredX_ = x;
    const int target = row + rows;
    if (target < 0) return 0;
    if (target >= layout_->rowCount()) return int(shown_.size());
    return layout_->positionAt(target, preferredX_);
}

// Cursor and editing -----------------------------------------------------------------------------------

void CodeTextView::applyCursor(const QTextCursor& cursor, bool keepX) {
    const bool moved = cursor.position() != cursor_.position() || cursor.anchor() != cursor_.anchor();
    const bool hadSelection = cursor_.hasSelection() || cursor.hasSelection();
    cursor_ = cursor;
    if (!keepX) preferredX_ = -1;
    restartBlink();
    viewport()->update();
    if (moved) {
        emit cursorPositionChanged();
        if (hadSelection) emit selectionChanged();
        if (QAccessible::isActive()) {
            QAccessibleTextCursorEvent caret(this, cursor_.position());
            QAccessible::updateAccessibility(&caret);
            if (hadSelection) {
                QAccessibleTextSelectionEvent selection(this, cursor_.selectionStart(), cursor_.selectionEnd());
                selection.setCursorPosition(cursor_.position());
                QAccessible::updateAccessibility(&selection);
            }
        }
    }
}

void CodeTextView::setTextCursor(const QTextCursor& cursor) {
    if (cursor.document() != document_) return;
    applyCursor(cursor);
    ensureCursorVisible();
}

QTextCursor CodeTextView::cursorOver(int anchor, int position) const {
    // Placed inside an edit block, a cursor skips working out its x, which lays out its whole line.
    QTextCursor cursor(document_);
    const int length = int(shown_.size());
    cursor.beginEditBlock();
    cursor.setPosition(std::clamp(anchor, 0, length));
    cursor.setPosition(std::clamp(position, 0, length), QTextCursor::KeepAnchor);
    cursor.endEditBlock();
    return cursor;
}

void CodeTextView::moveTo(int position, QTextCursor::MoveMode mode, bool keepX) {
    applyCursor(cursorOver(mode == QTextCursor::KeepAnchor ? cursor_.anchor() : position, position), keepX);
    ensureCursorVisible();
}

bool CodeTextView::moveCursor(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode) {
    const int at = cursor_.position();
    const bool collapse = mode == QTextCursor::MoveAnchor && cursor_.hasSelection();
    int to = at;
    bool keepX = false;
    switch (operation) {
    case QTextCursor::Start: to = 0; break;
    case QTextCursor::End: to = int(shown_.size()); break;
    case QTextCursor::StartOfBlock: to = cursor_.block().position(); break;
    case QTextCursor::EndOfBlock: to = cursor_.block().position() + cursor_.block().length() - 1; break;
    case QTextCursor::NextBlock: to = cursor_.block().next().isValid() ? cursor_.block().next().position() : at; break;
    case QTextCursor::PreviousBlock:
        to = cursor_.block().previous().isValid() ? cursor_.block().previous().position() : at;
        break;
    case QTextCursor::StartOfLine: to = layout_->lineEdge(at, false); break;
    case QTextCursor::EndOfLine: to = layout_->lineEdge(at, true); break;
    case QTextCursor::NextCharacter:
    case QTextCursor::Right:
        to = collapse ? cursor_.selectionEnd() : CodeTextBoundaries::nextCharacter(shown_, at);
        break;
    case QTextCursor::PreviousCharacter:
    case QTextCursor::Left:
        to = collapse ? cursor_.selectionStart() : CodeTextBoundaries::previousCharacter(shown_, at);
        break;
    case QTextCursor::NextWord:
    case QTextCursor::WordRight: to = CodeTextBoundaries::nextWord(shown_, at, true); break;
    case QTextCursor::PreviousWord:
    case QTextCursor::WordLeft:
    case QTextCursor::StartOfWord: to = CodeTextBoundaries::previousWord(shown_, at); break;
    case QTextCursor::EndOfWord: to = CodeTextBoundaries::nextWord(shown_, at, false); break;
    case QTextCursor::Up:
    case QTextCursor::Down:
        to = verticalTarget(at, operation == QTextCursor::Up ? -1 : 1);
        keepX = true;
        break;
    default: return false;
    }
    moveTo(to, mode, keepX);
    return to != at;
}

void CodeTextView::edit(const std::function<void(QTextCursor&)>& change) {
    QTextCursor cursor = cursor_;
    cursor.beginEditBlock();
    change(cursor);
    cursor.endEditBlock();
    applyCursor(cursor);
    ensureCursorVisible();
}

void CodeTextView::insertText(const QString& text) {
    edit([&](QTextCursor& cursor) { cursor.insertText(text); });
}

void CodeTextView::insertPlainText(const QString& text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    insertText(plain);
}

void CodeTextView::deleteTo(int position) {
    if (cursor_.hasSelection()) {
        edit([](QTextCursor& cursor) { cursor.removeSelectedText(); });
        return;
    }
    if (position == cursor_.position()) return;
    edit([&](QTextCursor& cursor) {
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    });
}

QMimeData* CodeTextView::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(shown_.mid(cursor_.selectionStart(), cursor_.selectionEnd() - cursor_.selectionStart()));
    return data;
}

void CodeTextView::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText() || readOnly_) return;
    insertPlainText(source->text());
}

void CodeTextView::selectAll() {
    applyCursor(cursorOver(0, int(shown_.size())));
    setPrimarySelection();
}

void CodeTextView::copy() {
    if (!cursor_.hasSelection()) return;
    QApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void CodeTextView::cut() {
    if (readOnly_ || !cursor_.hasSelection()) return;
    copy();
    deleteTo(cursor_.position());
}

void CodeTextView::paste() {
    if (readOnly_) return;
    insertFromMimeData(QApplication::clipboard()->mimeData());
}

void CodeTextView::undo() {
    if (readOnly_) return;
    if (!document_->isUndoAvailable()) return;
    document_->undo();
    applyCursor(cursorOver(lastChangeEnd_, lastChangeEnd_));
    ensureCursorVisible();
}

void CodeTextView::redo() {
    if (readOnly_) return;
    if (!document_->isRedoAvailable()) return;
    document_->redo();
    applyCursor(cursorOver(lastChangeEnd_, lastChangeEnd_));
    ensureCursorVisible();
}

bool CodeTextView::find(const QString& text, QTextDocument::FindFlags options) {
    if (text.isEmpty()) return false;
    const Qt::CaseSensitivity cs =
        options & QTextDocument::FindCaseSensitively ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool backward = options & QTextDocument::FindBackward;
    auto isWord = [&](qsizetype i) {
        return i >= 0 && i < shown_.size() && CodeTextBoundaries::isWordCharacter(shown_[i]);
    };
    qsizetype at = backward ? cursor_.selectionStart() - 1 : cursor_.selectionEnd();
    while (at >= 0 && at <= shown_.size()) {
        at = backward ? shown_.lastIndexOf(text, at, cs) : shown_.indexOf(text, at, cs);
        if (at < 0) return false;
        if (!(options & QTextDocument::FindWholeWords) || (!isWord(at - 1) && !isWord(at + text.size()))) {
            setTextCursor(cursorOver(int(at), int(at + text.size())));
            return true;
        }
        at += backward ? -1 : 1;
    }
    return false;
}

void CodeTextView::setPrimarySelection() {
    QClipboard* clipboard = QApplication::clipboard();
    if (cursor_.hasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
}

void CodeTextView::keyPressEvent(QKeyEvent* event) {
    bool handled = true;
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else
        handled = CodeTextKeys::navigate(*this, event) || (!readOnly_ && CodeTextKeys::edit(*this, event));
    if (handled)
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

bool CodeTextView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the editor handles itself are not taken by the window's shortcuts.
        const bool ours = CodeTextKeys::isOwnShortcut(static_cast<QKeyEvent*>(event), readOnly_);
        if (ours) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool CodeTextView::focusNextPrevChild(bool next) {
    // Tab is typed into an editor.
    if (!readOnly_) return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// Mouse ------------------------------------------------------------------------------------------------

void CodeTextView::mousePressEvent(QMouseEvent* event) { mouse_->press(event); }

void CodeTextView::mouseMoveEvent(QMouseEvent* event) { mouse_->move(event); }

void CodeTextView::mouseReleaseEvent(QMouseEvent* event) { mouse_->release(event); }

void CodeTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    mouse_->doubleClick(event);
}

void CodeTextView::dragEnterEvent(QDragEnterEvent* event) { mouse_->dragEnter(event); }

void CodeTextView::dragMoveEvent(QDragMoveEvent* event) { mouse_->dragMove(event); }

void CodeTextView::dropEvent(QDropEvent* event) { mouse_->drop(event); }

void CodeTextView::contextMenuEvent(QContextMenuEvent* event) { mouse_->contextMenu(event); }

// Input methods ----------------------------------------------------------------------------------------

void CodeTextView::inputMethodEvent(QInputMethodEvent* event) { CodeTextKeys::inputMethod(*this, event); }

QVariant CodeTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const int at = cursor_.position();
    const QTextBlock block = cursor_.block();
    // Only the text near the caret: a line may be megabytes long.
    const int from = std::max(block.position(), at - 256);
    const int to = std::min(block.position() + block.length() - 1, at + 256);
    switch (query) {
    case Qt::ImEnabled: return !readOnly_;
    case Qt::ImCursorRectangle: return cursorRect();
    case Qt::ImFont: return font();
    case Qt::ImCursorPosition: return at - from;
    case Qt::ImAnchorPosition: return std::clamp(cursor_.anchor(), from, to) - from;
    case Qt::ImSurroundingText: return shown_.mid(from, to - from);
    case Qt::ImCurrentSelection:
        return shown_.mid(cursor_.selectionStart(), std::min(cursor_.selectionEnd() - cursor_.selectionStart(), 4096));
    case Qt::ImHints: return int(Qt::ImhMultiLine);
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// Focus, caret, look -----------------------------------------------------------------------------------

void CodeTextView::restartBlink() {
    caretOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void CodeTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blink_.timerId()) {
        caretOn_ = !caretOn_;
        viewport()->update(cursorRect().adjusted(-2, -2, 2, 2));
    } else if (mouse_->isScrollTimer(event->timerId())) {
        mouse_->autoScroll();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void CodeTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void CodeTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink_.stop();
    caretOn_ = false;
    viewport()->update();
}

void CodeTextView::setEditable(bool editable) {
    readOnly_ = !editable;
    setAttribute(Qt::WA_InputMethodEnabled, editable);
    viewport()->update();
}

void CodeTextView::setPlaceholder(const QString& placeholder) {
    if (placeholder_ == placeholder) return;
    placeholder_ = placeholder;
    viewport()->update();
}

void CodeTextView::setController(CodeTextViewController* controller) {
    if (controller) controller->setTextView(this);
}

void CodeTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !property("applyingColors").toBool()) applyColors();
    if (event->type() == QEvent::FontChange) estimateAll();
}

void CodeTextView::applyColors() {
    setProperty("applyingColors", true);
    QPalette p = palette();
    // The view draws no background of its own: its hint is faded against the window behind it, not
    // against the transparent base (faded against black, a black text stays black, as dark as typing).
    QPalette behind = p;
    behind.setColor(QPalette::Base, SystemColors::windowBackground(p));
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, SystemColors::primary(p));
    p.setColor(QPalette::PlaceholderText, SystemColors::tertiary(behind));
    setPalette(p);
    setProperty("applyingColors", false);
}
