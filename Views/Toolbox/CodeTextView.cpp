#include "Views/Toolbox/CodeTextView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/CodeTextViewController.h"
#include "Views/Toolbox/SlimScrollBars.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDrag>
#include <QEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// The document's own layout: the view lays out what it shows, so nothing is done here.
class NoLayout : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter*, const PaintContext&) override {}
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame*) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock&) const override { return {}; }

protected:
    void documentChanged(int, int, int) override {}
};

// The rows of each piece of a line that has more than one.
struct PieceRows : QTextBlockUserData {
    std::vector<int> rows;
};

constexpr int pieceLength = CodeTextView::displayPieceLength;

int pieceStartIn(QStringView line, int index) {
    int start = index * pieceLength;
    if (start > 0 && start < line.size() && line[start].isLowSurrogate()) ++start;
    return start;
}

int pieceCountOf(QStringView line) {
    const int length = int(line.size());
    if (length <= pieceLength) return 1;
    int count = (length - 1) / pieceLength + 1;
    if (pieceStartIn(line, count - 1) >= length) --count;
    return count;
}

// Text a key types: printable characters (outside the BMP too), format characters and tabs.
bool isTypedText(const QString& text) {
    if (text.isEmpty()) return false;
    const char32_t first = text.at(0).isHighSurrogate() && text.size() > 1
                               ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                               : char32_t(text.at(0).unicode());
    return QChar::isPrint(first) || QChar::category(first) == QChar::Other_Format || first == U'\t';
}

enum class CharClass { space, word, other };

CharClass classOf(QChar c) {
    if (c.isSpace()) return CharClass::space;
    if (c.isLetterOrNumber() || c.isMark() || c == u'_' || c.isSurrogate()) return CharClass::word;
    return CharClass::other;
}

// What assistive technology reads and edits: the whole text, the caret and the selection.
class CodeTextViewAccessible : public QAccessibleWidget,
                               public QAccessibleTextInterface,
                               public QAccessibleEditableTextInterface {
public:
    explicit CodeTextViewAccessible(CodeTextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    static QAccessibleInterface* factory(const QString& className, QObject* object) {
        auto* view = qobject_cast<CodeTextView*>(object);
        return view && className == QLatin1String("CodeTextView") ? new CodeTextViewAccessible(view) : nullptr;
    }

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

}  // namespace

CodeTextView::CodeTextView(bool editable, const QString& placeholder, CodeTextViewController* controller,
                           QWidget* parent)
    : QAbstractScrollArea(parent), document_(new QTextDocument(this)), placeholder_(placeholder) {
    static const bool accessible = (QAccessible::installFactory(&CodeTextViewAccessible::factory), true);
    Q_UNUSED(accessible);
    document_->setDocumentLayout(new NoLayout(document_));
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

CodeTextView::~CodeTextView() { dropLayouts(); }

QString CodeTextView::documentText() const {
    // The raw text keeps no-break spaces; only block ends need turning back into line feeds.
    QString text = document_->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void CodeTextView::setText(const QString& text) {
    if (text == bound_) return;
    bound_ = text;
    const int oldStart = cursor_.selectionStart();
    const int oldLength = cursor_.selectionEnd() - oldStart;
    settingText_ = true;
    chooseWrapMode(text);
    document_->setPlainText(text);
    settingText_ = false;
    if (shown_ == text) shown_ = text;  // one copy of the text, not two
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
    const QString before = shown_;
    shown_ = documentText();
    if (QAccessible::isActive()) {
        const int from = std::clamp(position, 0, int(std::min(before.size(), shown_.size())));
        QAccessibleTextUpdateEvent update(this, from, before.mid(from, removed), shown_.mid(from, added));
        QAccessible::updateAccessibility(&update);
    }
    changed_ = true;
    lastChangeEnd_ = std::min(position + added, int(shown_.size()));
    dropLayouts();
    const int blocks = document_->blockCount();
    const QTextBlock first = document_->findBlock(std::clamp(position, 0, int(shown_.size())));
    const QTextBlock last = document_->findBlock(std::min(position + added, int(shown_.size())));
    if (blocks == lastBlockCount_ && first == last && !settingText_ && first.isValid()) {
        // Within one line: its pieces keep the rows they had until they are laid out again.
        estimateBlock(first, true);
    } else {
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            estimateBlock(b);
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
    bound_ = shown_;
    chooseWrapMode(bound_);
    viewport()->update();
    emit textEdited(bound_);
}

bool CodeTextView::hasLongUnbrokenRun(QStringView text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > longestWordWrapped) {
            return true;
        }
    }
    return false;
}

void CodeTextView::chooseWrapMode(QStringView text) {
    setWordWrapMode(hasLongUnbrokenRun(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void CodeTextView::setWordWrapMode(QTextOption::WrapMode mode) {
    if (wrapMode_ == mode) return;
    wrapMode_ = mode;
    estimateAll();
    viewport()->update();
}

std::vector<int> CodeTextView::pieceStarts(QStringView line) {
    std::vector<int> starts;
    const int count = pieceCountOf(line);
    for (int i = 0; i < count; ++i) starts.push_back(pieceStartIn(line, i));
    return starts;
}

// Rows -------------------------------------------------------------------------------------------------

qreal CodeTextView::rowHeight() const { return std::ceil(QFontMetricsF(font()).height()); }

qreal CodeTextView::textWidth() const { return std::max<qreal>(1, viewport()->width() - 2 * inset); }

int CodeTextView::estimatedRows(int length) const { return std::max(1, (length + perRow_ - 1) / perRow_); }

int CodeTextView::rowsOf(const QTextBlock& block, int piece) const {
    if (auto* data = static_cast<PieceRows*>(block.userData()); data && piece < int(data->rows.size()))
        return data->rows[size_t(piece)];
    return block.lineCount();
}

void CodeTextView::setRows(const QTextBlock& block, int piece, int rows) const {
    QTextBlock b = block;
    if (auto* data = static_cast<PieceRows*>(b.userData()); data && piece < int(data->rows.size())) {
        int& slot = data->rows[size_t(piece)];
        if (slot == rows) return;
        const int total = b.lineCount() - slot + rows;
        slot = rows;
        b.setLineCount(total);
    } else {
        if (b.lineCount() == rows) return;
        b.setLineCount(rows);
    }
    rowsChanged_ = true;
}

void CodeTextView::estimateBlock(const QTextBlock& block, bool keep) {
    QTextBlock b = block;
    const QStringView line = QStringView(shown_).mid(b.position(), b.length() - 1);
    const int count = pieceCountOf(line);
    if (count == 1) {
        if (b.userData()) b.setUserData(nullptr);
        if (!keep || b.lineCount() < 1) b.setLineCount(estimatedRows(int(line.size())));
        return;
    }
    auto* data = static_cast<PieceRows*>(b.userData());
    std::vector<int> old;
    if (data) old = std::move(data->rows);
    auto* fresh = new PieceRows;
    fresh->rows.resize(size_t(count));
    int total = 0;
    for (int i = 0; i < count; ++i) {
        const int start = pieceStartIn(line, i);
        const int end = i + 1 < count ? pieceStartIn(line, i + 1) : int(line.size());
        // Rows counted before an edit stay until the piece is laid out again: the text around the caret
        // does not jump while the rows above it are counted afresh.
        int rows = keep && i < int(old.size()) ? old[size_t(i)] : 0;
        if (rows <= 0) rows = estimatedRows(end - start);
        fresh->rows[size_t(i)] = rows;
        total += rows;
    }
    b.setUserData(fresh);
    b.setLineCount(total);
}

void CodeTextView::estimateAll() {
    estimatedWidth_ = textWidth();
    const qreal advance = std::max<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('x')));
    perRow_ = std::max(1, int(estimatedWidth_ / advance));
    dropLayouts();
    for (QTextBlock b = document_->begin(); b.isValid(); b = b.next()) estimateBlock(b);
    updateScrollBar();
}

int CodeTextView::rowCount() const { return std::max(1, document_->lineCount()); }

int CodeTextView::visibleRows() const { return std::max(1, int((viewport()->height() - 2 * inset) / rowHeight())); }

CodeTextView::Piece CodeTextView::pieceAtRow(int row) const {
    row = std::clamp(row, 0, rowCount() - 1);
    QTextBlock block = document_->findBlockByLineNumber(row);
    if (!block.isValid()) block = document_->lastBlock();
    Piece piece{block, 0, 0, 0, block.firstLineNumber()};
    const QStringView line = QStringView(shown_).mid(block.position(), block.length() - 1);
    const int count = pieceCountOf(line);
    for (int i = 0; i < count; ++i) {
        const int rows = rowsOf(block, i);
        piece.index = i;
        piece.start = pieceStartIn(line, i);
        piece.length = (i + 1 < count ? pieceStartIn(line, i + 1) : int(line.size())) - piece.start;
        if (row < piece.firstRow + rows || i + 1 == count) break;
        piece.firstRow += rows;
    }
    return piece;
}

CodeTextView::Piece CodeTextView::pieceAt(int position) const {
    position = std::clamp(position, 0, int(shown_.size()));
    const QTextBlock block = document_->findBlock(position);
    const QStringView line = QStringView(shown_).mid(block.position(), block.length() - 1);
    const int count = pieceCountOf(line);
    const int relative = position - block.position();
    int index = std::min(relative / pieceLength, count - 1);
    if (relative < pieceStartIn(line, index)) --index;
    Piece piece{block, index, pieceStartIn(line, index), 0, block.firstLineNumber()};
    piece.length = (index + 1 < count ? pieceStartIn(line, index + 1) : int(line.size())) - piece.start;
    for (int i = 0; i < index; ++i) piece.firstRow += rowsOf(block, i);
    return piece;
}

CodeTextView::Piece CodeTextView::nextPiece(const Piece& piece) const {
    const QStringView line = QStringView(shown_).mid(piece.block.position(), piece.block.length() - 1);
    const int count = pieceCountOf(line);
    const int firstRow = piece.firstRow + rowsOf(piece.block, piece.index);
    if (piece.index + 1 < count) {
        const int index = piece.index + 1;
        const int start = pieceStartIn(line, index);
        const int end = index + 1 < count ? pieceStartIn(line, index + 1) : int(line.size());
        return Piece{piece.block, index, start, end - start, firstRow};
    }
    const QTextBlock next = piece.block.next();
    if (!next.isValid()) return Piece{};
    const QStringView nextLine = QStringView(shown_).mid(next.position(), next.length() - 1);
    const int end = pieceCountOf(nextLine) > 1 ? pieceStartIn(nextLine, 1) : int(nextLine.size());
    return Piece{next, 0, 0, end, firstRow};
}

QTextLayout* CodeTextView::layoutOf(const Piece& piece) const {
    auto& slot = layouts_[{piece.block.blockNumber(), piece.index}];
    if (slot) return slot.get();
    if (layouts_.size() > 256) {
        // Far more than a screenful: start again with only this one.
        layouts_.clear();
        return layoutOf(piece);
    }
    auto layout = std::make_unique<QTextLayout>(shown_.mid(piece.position(), piece.length), font());
    QTextOption option;
    option.setWrapMode(wrapMode_);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal width = textWidth();
    const qreal height = rowHeight();
    const qreal ascent = QFontMetricsF(font()).ascent();
    layout->beginLayout();
    for (int row = 0;; ++row) {
        QTextLine line = layout->createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        // Every row is as high as the font's: a fallback glyph never moves the rows below it.
        line.setPosition(QPointF(0, row * height + ascent - line.ascent()));
    }
    layout->endLayout();
    setRows(piece.block, piece.index, std::max(1, layout->lineCount()));
    slot = std::move(layout);
    return slot.get();
}

void CodeTextView::dropLayouts() { layouts_.clear(); }

void CodeTextView::updateScrollBar() {
    rowsChanged_ = false;
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRows();
    bar->setRange(0, std::max(0, rowCount() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

int CodeTextView::rowTop(int row) const { return inset + int((row - verticalScrollBar()->value()) * rowHeight()); }

std::pair<int, qreal> CodeTextView::caretPoint(int position) const {
    const Piece piece = pieceAt(position);
    QTextLayout* layout = layoutOf(piece);
    const int relative = position - piece.position();
    const QTextLine line = layout->lineForTextPosition(relative);
    if (!line.isValid()) return {piece.firstRow, 0};
    return {piece.firstRow + line.lineNumber(), line.cursorToX(relative)};
}

int CodeTextView::positionAt(int row, qreal x) const {
    if (row < 0) return 0;
    if (row >= rowCount()) return int(shown_.size());
    const Piece piece = pieceAtRow(row);
    QTextLayout* layout = layoutOf(piece);
    const int inPiece = std::clamp(row - piece.firstRow, 0, layout->lineCount() - 1);
    const QTextLine line = layout->lineAt(inPiece);
    if (!line.isValid()) return piece.position();
    int relative = line.xToCursor(x);
    // Past the end of a row wrapped at a space: before that space, not at the start of the next row.
    const int end = line.textStart() + line.textLength();
    if (inPiece + 1 < layout->lineCount() && relative >= end && end > line.textStart() &&
        shown_[piece.position() + end - 1].isSpace())
        relative = end - 1;
    return piece.position() + relative;
}

int CodeTextView::positionAt(const QPoint& point) const {
    const int row = verticalScrollBar()->value() + int(std::floor((point.y() - inset) / rowHeight()));
    if (row >= rowCount()) return int(shown_.size());
    return positionAt(std::max(0, row), point.x() - inset);
}

// Painting ---------------------------------------------------------------------------------------------

void CodeTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect clip = event->rect();
    painter.setClipRect(clip);
    painter.setFont(font());
    if (shown_.isEmpty() && !placeholder_.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        const QRect room(inset, inset, int(textWidth()), viewport()->height() - inset);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, placeholder_);
    }
    painter.setPen(palette().color(QPalette::Text));
    const qreal height = rowHeight();
    const int first = verticalScrollBar()->value();
    Piece piece = pieceAtRow(first);
    const int selStart = cursor_.selectionStart();
    const int selEnd = cursor_.selectionEnd();
    const int caret = cursor_.position();
    const bool drawCaret = caretOn_ && hasFocus();
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const Piece caretPiece = drawCaret ? pieceAt(caret) : Piece{};
    while (piece.isValid()) {
        QTextLayout* layout = layoutOf(piece);
        const qreal top = inset + (piece.firstRow - first) * height;
        if (top > viewport()->height()) break;
        const QPointF origin(inset, top);
        QList<QTextLayout::FormatRange> ranges;
        const int start = piece.position();
        const int from = std::max(selStart, start);
        const int to = std::min(selEnd, start + piece.length);
        if (to > from) ranges.append({from - start, to - from, selected});
        layout->draw(&painter, origin, ranges, clip);
        if (drawCaret && caretPiece.block == piece.block && caretPiece.index == piece.index)
            layout->drawCursor(&painter, origin, caret - start, 1);
        // Rows counted anew while laying out move what follows: go on from the counts as they now stand.
        piece = nextPiece(piece);
    }
    if (rowsChanged_) QMetaObject::invokeMethod(this, &CodeTextView::updateScrollBar, Qt::QueuedConnection);
}

void CodeTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (textWidth() != estimatedWidth_)
        estimateAll();
    else
        updateScrollBar();
}

void CodeTextView::scrollContentsBy(int, int) { viewport()->update(); }

QRect CodeTextView::cursorRect() const { return cursorRect(cursor_); }

QRect CodeTextView::cursorRect(const QTextCursor& cursor) const {
    const auto [row, x] = caretPoint(cursor.position());
    return QRect(inset + int(x), rowTop(row), 1, int(rowHeight()));
}

QTextCursor CodeTextView::cursorForPosition(const QPoint& point) const {
    const int at = positionAt(point);
    return cursorOver(at, at);
}

void CodeTextView::ensureCursorVisible() {
    if (rowsChanged_) updateScrollBar();
    const int row = caretPoint(cursor_.position()).first;
    if (rowsChanged_) updateScrollBar();
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRows();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + visible)
        bar->setValue(row - visible + 1);
}

// Positions --------------------------------------------------------------------------------------------

int CodeTextView::nextCharacter(int position) const {
    if (position >= shown_.size()) return int(shown_.size());
    if (shown_[position] == u'\n') return position + 1;
    const int from = position;
    const int to = std::min(int(shown_.size()), position + 64);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(shown_).mid(from, to - from).toString());
    const qsizetype next = finder.toNextBoundary();
    return next > 0 ? from + int(next) : position + 1;
}

int CodeTextView::previousCharacter(int position) const {
    if (position <= 0) return 0;
    if (shown_[position - 1] == u'\n') return position - 1;
    const int from = std::max(0, position - 64);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme,
                               QStringView(shown_).mid(from, position - from).toString());
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return previous >= 0 ? from + int(previous) : position - 1;
}

int CodeTextView::nextWord(int position, bool skipSpaces) const {
    const int length = int(shown_.size());
    if (position >= length) return length;
    if (shown_[position] == u'\n') return position + 1;
    const CharClass kind = classOf(shown_[position]);
    if (kind != CharClass::space)
        while (position < length && shown_[position] != u'\n' && classOf(shown_[position]) == kind) ++position;
    if (skipSpaces || kind == CharClass::space)
        while (position < length && shown_[position] != u'\n' && classOf(shown_[position]) == CharClass::space)
            ++position;
    return position;
}

int CodeTextView::previousWord(int position) const {
    if (position <= 0) return 0;
    if (shown_[position - 1] == u'\n') return position - 1;
    while (position > 0 && shown_[position - 1] != u'\n' && classOf(shown_[position - 1]) == CharClass::space)
        --position;
    if (position == 0 || shown_[position - 1] == u'\n') return position;
    const CharClass kind = classOf(shown_[position - 1]);
    while (position > 0 && shown_[position - 1] != u'\n' && classOf(shown_[position - 1]) == kind) --position;
    return position;
}

std::pair<int, int> CodeTextView::wordAt(int position) const {
    const int length = int(shown_.size());
    if (length == 0) return {0, 0};
    int at = std::min(position, length - 1);
    if (shown_[at] == u'\n' && at > 0 && shown_[at - 1] != u'\n') --at;
    if (shown_[at] == u'\n') return {position, position};
    const CharClass kind = classOf(shown_[at]);
    int start = at, end = at + 1;
    while (start > 0 && shown_[start - 1] != u'\n' && classOf(shown_[start - 1]) == kind) --start;
    while (end < length && shown_[end] != u'\n' && classOf(shown_[end]) == kind) ++end;
    return {start, end};
}

int CodeTextView::lineEdge(int position, bool end) const {
    const Piece piece = pieceAt(position);
    QTextLayout* layout = layoutOf(piece);
    const QTextLine line = layout->lineForTextPosition(position - piece.position());
    if (!line.isValid()) return position;
    if (!end) return piece.position() + line.textStart();
    int edge = piece.position() + line.textStart() + line.textLength();
    const bool lastOfPiece = line.lineNumber() + 1 == layout->lineCount();
    const bool lastOfBlock = lastOfPiece && piece.start + piece.length >= piece.block.length() - 1;
    // A wrapped row ends before the space that broke it, not at the start of the next row.
    if (!lastOfBlock && !lastOfPiece && edge > 0 && shown_[edge - 1].isSpace()) --edge;
    return edge;
}

int CodeTextView::verticalTarget(int position, int rows) {
    const auto [row, x] = caretPoint(position);
    if (preferredX_ < 0) preferredX_ = x;
    const int target = row + rows;
    if (target < 0) return 0;
    if (target >= rowCount()) return int(shown_.size());
    return positionAt(target, preferredX_);
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
    case QTextCursor::StartOfLine: to = lineEdge(at, false); break;
    case QTextCursor::EndOfLine: to = lineEdge(at, true); break;
    case QTextCursor::NextCharacter:
    case QTextCursor::Right: to = collapse ? cursor_.selectionEnd() : nextCharacter(at); break;
    case QTextCursor::PreviousCharacter:
    case QTextCursor::Left: to = collapse ? cursor_.selectionStart() : previousCharacter(at); break;
    case QTextCursor::NextWord:
    case QTextCursor::WordRight: to = nextWord(at, true); break;
    case QTextCursor::PreviousWord:
    case QTextCursor::WordLeft:
    case QTextCursor::StartOfWord: to = previousWord(at); break;
    case QTextCursor::EndOfWord: to = nextWord(at, false); break;
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
    auto isWord = [&](qsizetype i) { return i >= 0 && i < shown_.size() && classOf(shown_[i]) == CharClass::word; };
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

// Keys -------------------------------------------------------------------------------------------------

bool CodeTextView::handleNavigation(QKeyEvent* event) {
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
        moveCursor(move.operation, move.mode);
        if (move.mode == QTextCursor::KeepAnchor) setPrimarySelection();
        return true;
    }
    const bool pageDown = event->matches(QKeySequence::MoveToNextPage) || event->matches(QKeySequence::SelectNextPage);
    const bool pageUp =
        event->matches(QKeySequence::MoveToPreviousPage) || event->matches(QKeySequence::SelectPreviousPage);
    if (pageDown || pageUp) {
        const bool select =
            event->matches(QKeySequence::SelectNextPage) || event->matches(QKeySequence::SelectPreviousPage);
        const int rows = visibleRows() * (pageDown ? 1 : -1);
        const int to = verticalTarget(cursor_.position(), rows);
        verticalScrollBar()->setValue(verticalScrollBar()->value() + rows);
        moveTo(to, select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor, true);
        return true;
    }
    return false;
}

bool CodeTextView::handleEditing(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cut))
        cut();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (event->matches(QKeySequence::Redo))
        redo();
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        deleteTo(previousWord(cursor_.position()));
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        deleteTo(nextWord(cursor_.position(), false));
    else if (event->matches(QKeySequence::DeleteEndOfLine))
        deleteTo(lineEdge(cursor_.position(), true));
    else if (event->matches(QKeySequence::Delete))
        deleteTo(nextCharacter(cursor_.position()));
    else if (event->matches(QKeySequence::Backspace) ||
             (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)))
        deleteTo(previousCharacter(cursor_.position()));
    else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator))
        insertText(QStringLiteral("\n"));
    else {
        const QString text = event->text();
        const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        if (command || !isTypedText(text)) return false;
        insertText(text);
    }
    return true;
}

void CodeTextView::keyPressEvent(QKeyEvent* event) {
    bool handled = true;
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else
        handled = handleNavigation(event) || (!readOnly_ && handleEditing(event));
    if (handled)
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

bool CodeTextView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the editor handles itself are not taken by the window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool ours =
            key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            (!readOnly_ &&
             (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste) ||
              key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
              key->matches(QKeySequence::Delete) || key->matches(QKeySequence::DeleteStartOfWord) ||
              key->matches(QKeySequence::DeleteEndOfWord) ||
              (isTypedText(key->text()) && !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))));
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

void CodeTextView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int at = positionAt(point);
    if (event->button() == Qt::LeftButton) {
        const bool tripleClick = QDateTime::currentMSecsSinceEpoch() - lastDoubleClick_ <
                                     QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
                                 (point - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance();
        if (tripleClick) {
            const QTextBlock block = document_->findBlock(at);
            applyCursor(cursorOver(block.position(), block.position() + block.length()));
            setPrimarySelection();
            lastDoubleClick_ = 0;
            return;
        }
        mayDrag_ = cursor_.hasSelection() && at >= cursor_.selectionStart() && at < cursor_.selectionEnd() &&
                   !(event->modifiers() & Qt::ShiftModifier);
        dragStart_ = point;
        if (mayDrag_) return;
        selecting_ = true;
        moveTo(at, event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    } else if (event->button() == Qt::MiddleButton && !readOnly_ && QApplication::clipboard()->supportsSelection()) {
        moveTo(at, QTextCursor::MoveAnchor);
        insertFromMimeData(QApplication::clipboard()->mimeData(QClipboard::Selection));
    }
}

void CodeTextView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    lastMouse_ = point;
    if (mayDrag_ && (event->buttons() & Qt::LeftButton)) {
        if ((point - dragStart_).manhattanLength() < QApplication::startDragDistance()) return;
        mayDrag_ = false;
        auto* drag = new QDrag(this);
        drag->setMimeData(createMimeDataFromSelection());
        const Qt::DropAction action = drag->exec(readOnly_ ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction);
        if (action == Qt::MoveAction && drag->target() != viewport() && drag->target() != this && !readOnly_)
            deleteTo(cursor_.position());
        return;
    }
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return;
    moveTo(positionAt(point), QTextCursor::KeepAnchor);
    if (point.y() < 0 || point.y() > viewport()->height()) {
        if (!scrollTimer_.isActive()) scrollTimer_.start(50, this);
    } else {
        scrollTimer_.stop();
    }
}

void CodeTextView::autoScroll() {
    QScrollBar* bar = verticalScrollBar();
    if (lastMouse_.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (lastMouse_.y() > viewport()->height())
        bar->setValue(bar->value() + 1);
    else
        return scrollTimer_.stop();
    const QPoint inside(lastMouse_.x(), std::clamp(lastMouse_.y(), 0, viewport()->height() - 1));
    moveTo(positionAt(inside), QTextCursor::KeepAnchor);
}

void CodeTextView::mouseReleaseEvent(QMouseEvent* event) {
    scrollTimer_.stop();
    if (mayDrag_ && event->button() == Qt::LeftButton)
        moveTo(positionAt(event->position().toPoint()), QTextCursor::MoveAnchor);
    mayDrag_ = false;
    if (selecting_) setPrimarySelection();
    selecting_ = false;
}

void CodeTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    const QPoint point = event->position().toPoint();
    const auto [start, end] = wordAt(positionAt(point));
    applyCursor(cursorOver(start, end));
    setPrimarySelection();
    lastDoubleClick_ = QDateTime::currentMSecsSinceEpoch();
    doubleClickPoint_ = point;
    selecting_ = false;
}

void CodeTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool selection = cursor_.hasSelection();
    if (!readOnly_) {
        menu.addAction(tr("&Undo"), QKeySequence::Undo, this, &CodeTextView::undo)
            ->setEnabled(document_->isUndoAvailable());
        menu.addAction(tr("&Redo"), QKeySequence::Redo, this, &CodeTextView::redo)
            ->setEnabled(document_->isRedoAvailable());
        menu.addSeparator();
        menu.addAction(tr("Cu&t"), QKeySequence::Cut, this, &CodeTextView::cut)->setEnabled(selection);
    }
    menu.addAction(tr("&Copy"), QKeySequence::Copy, this, &CodeTextView::copy)->setEnabled(selection);
    if (!readOnly_) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        menu.addAction(tr("&Paste"), QKeySequence::Paste, this, &CodeTextView::paste)
            ->setEnabled(data && data->hasText());
        menu.addAction(tr("Delete"), this, [this] { deleteTo(cursor_.position()); })->setEnabled(selection);
    }
    menu.addSeparator();
    menu.addAction(tr("Select All"), QKeySequence::SelectAll, this, &CodeTextView::selectAll)
        ->setEnabled(!shown_.isEmpty());
    menu.exec(event->globalPos());
}

// Drops ------------------------------------------------------------------------------------------------

void CodeTextView::dragEnterEvent(QDragEnterEvent* event) {
    if (readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    event->acceptProposedAction();
}

void CodeTextView::dragMoveEvent(QDragMoveEvent* event) {
    if (readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    dropPosition_ = positionAt(event->position().toPoint());
    // A selection is not dropped into itself.
    const bool own = event->source() == this || event->source() == viewport();
    if (own && dropPosition_ > cursor_.selectionStart() && dropPosition_ < cursor_.selectionEnd())
        return event->ignore();
    event->acceptProposedAction();
}

void CodeTextView::dropEvent(QDropEvent* event) {
    if (readOnly_ || !event->mimeData()->hasText()) return event->ignore();
    const int at = positionAt(event->position().toPoint());
    const bool own = event->source() == this || event->source() == viewport();
    if (own && at > cursor_.selectionStart() && at < cursor_.selectionEnd()) return event->ignore();
    QString text = event->mimeData()->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const bool move = own && event->dropAction() == Qt::MoveAction;
    edit([&](QTextCursor& cursor) {
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

// Input methods ----------------------------------------------------------------------------------------

void CodeTextView::inputMethodEvent(QInputMethodEvent* event) {
    if (readOnly_) return event->ignore();
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        edit([&](QTextCursor& cursor) {
            cursor.beginEditBlock();
            if (event->replacementLength() > 0) {
                const int start = cursor.position() + event->replacementStart();
                cursor.setPosition(std::clamp(start, 0, int(shown_.size())));
                cursor.setPosition(std::clamp(start + event->replacementLength(), 0, int(shown_.size())),
                                   QTextCursor::KeepAnchor);
            }
            cursor.insertText(event->commitString());
            cursor.endEditBlock();
        });
    }
    event->accept();
}

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
    } else if (event->timerId() == scrollTimer_.timerId()) {
        autoScroll();
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
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, SystemColors::primary(p));
    QColor placeholder = SystemColors::tertiary(p);
    p.setColor(QPalette::PlaceholderText, placeholder);
    setPalette(p);
    setProperty("applyingColors", false);
}
