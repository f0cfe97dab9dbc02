#include "Views/Toolbox/CodeTextLayout.h"

#include "Views/Toolbox/CodeTextView.h"

#include <QAbstractScrollArea>
#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>
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

}  // namespace

CodeTextLayout::CodeTextLayout(QTextDocument* document, const QString& text, const QAbstractScrollArea& view)
    : document_(document), text_(text), view_(view) {}

CodeTextLayout::~CodeTextLayout() = default;

QAbstractTextDocumentLayout* CodeTextLayout::documentLayout(QTextDocument* document) { return new NoLayout(document); }

int CodeTextLayout::pieceStartIn(QStringView line, int index) {
    int start = index * pieceLength;
    if (start > 0 && start < line.size() && line[start].isLowSurrogate()) ++start;
    return start;
}

int CodeTextLayout::pieceCountOf(QStringView line) {
    const int length = int(line.size());
    if (length <= pieceLength) return 1;
    int count = (length - 1) / pieceLength + 1;
    if (pieceStartIn(line, count - 1) >= length) --count;
    return count;
}

qreal CodeTextLayout::rowHeight() const { return std::ceil(QFontMetricsF(view_.font()).height()); }

qreal CodeTextLayout::textWidth() const {
    return std::max<qreal>(1, view_.viewport()->width() - 2 * CodeTextView::inset);
}

int CodeTextLayout::estimatedRows(int length) const { return std::max(1, (length + perRow_ - 1) / perRow_); }

int CodeTextLayout::rowsOf(const QTextBlock& block, int piece) const {
    if (auto* data = static_cast<PieceRows*>(block.userData()); data && piece < int(data->rows.size()))
        return data->rows[size_t(piece)];
    return block.lineCount();
}

void CodeTextLayout::setRows(const QTextBlock& block, int piece, int rows) const {
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

void CodeTextLayout::estimateBlock(const QTextBlock& block, bool keep) {
    QTextBlock b = block;
    const QStringView line = QStringView(text_).mid(b.position(), b.length() - 1);
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

void CodeTextLayout::estimateAll() {
    estimatedWidth_ = textWidth();
    const qreal advance = std::max<qreal>(1, QFontMetricsF(view_.font()).horizontalAdvance(QLatin1Char('x')));
    perRow_ = std::max(1, int(estimatedWidth_ / advance));
    dropLayouts();
    for (QTextBlock b = document_->begin(); b.isValid(); b = b.next()) estimateBlock(b);
}

int CodeTextLayout::rowCount() const { return std::max(1, document_->lineCount()); }

CodeTextLayout::Piece CodeTextLayout::pieceAtRow(int row) const {
    row = std::clamp(row, 0, rowCount() - 1);
    QTextBlock block = document_->findBlockByLineNumber(row);
    if (!block.isValid()) block = document_->lastBlock();
    Piece piece{block, 0, 0, 0, block.firstLineNumber()};
    const QStringView line = QStringView(text_).mid(block.position(), block.length() - 1);
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

CodeTextLayout::Piece CodeTextLayout::pieceAt(int position) const {
    position = std::clamp(position, 0, int(text_.size()));
    const QTextBlock block = document_->findBlock(position);
    const QStringView line = QStringView(text_).mid(block.position(), block.length() - 1);
    const int count = pieceCountOf(line);
    const int relative = position - block.position();
    int index = std::min(relative / pieceLength, count - 1);
    if (relative < pieceStartIn(line, index)) --index;
    Piece piece{block, index, pieceStartIn(line, index), 0, block.firstLineNumber()};
    piece.length = (index + 1 < count ? pieceStartIn(line, index + 1) : int(line.size())) - piece.start;
    for (int i = 0; i < index; ++i) piece.firstRow += rowsOf(block, i);
    return piece;
}

CodeTextLayout::Piece CodeTextLayout::nextPiece(const Piece& piece) const {
    const QStringView line = QStringView(text_).mid(piece.block.position(), piece.block.length() - 1);
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
    const QStringView nextLine = QStringView(text_).mid(next.position(), next.length() - 1);
    const int end = pieceCountOf(nextLine) > 1 ? pieceStartIn(nextLine, 1) : int(nextLine.size());
    return Piece{next, 0, 0, end, firstRow};
}

QTextLayout* CodeTextLayout::layoutOf(const Piece& piece) const {
    auto& slot = layouts_[{piece.block.blockNumber(), piece.index}];
    if (slot) return slot.get();
    if (layouts_.size() > 256) {
        // Far more than a screenful: start again with only this one.
        layouts_.clear();
        return layoutOf(piece);
    }
    auto layout = std::make_unique<QTextLayout>(text_.mid(piece.position(), piece.length), view_.font());
    QTextOption option;
    option.setWrapMode(wrapMode_);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal width = textWidth();
    const qreal height = rowHeight();
    const qreal ascent = QFontMetricsF(view_.font()).ascent();
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

void CodeTextLayout::dropLayouts() { layouts_.clear(); }

void CodeTextLayout::dropLayoutsFrom(const QTextBlock& block, int position) {
    // Piece i ends where piece i + 1 starts, at (i + 1) * pieceLength or one later (a surrogate pair's
    // second half stays with its first): it is untouched while that character stands before the edit.
    const int relative = std::max(0, position - block.position() - 1);
    layouts_.erase(layouts_.lower_bound({block.blockNumber(), relative / pieceLength}), layouts_.end());
}


std::pair<int, qreal> CodeTextLayout::caretPoint(int position) const {
    const Piece piece = pieceAt(position);
    QTextLayout* layout = layoutOf(piece);
    const int relative = position - piece.position();
    const QTextLine line = layout->lineForTextPosition(relative);
    if (!line.isValid()) return {piece.firstRow, 0};
    return {piece.firstRow + line.lineNumber(), line.cursorToX(relative)};
}

int CodeTextLayout::positionAt(int row, qreal x) const {
    if (row < 0) return 0;
    if (row >= rowCount()) return int(text_.size());
    const Piece piece = pieceAtRow(row);
    QTextLayout* layout = layoutOf(piece);
    const int inPiece = std::clamp(row - piece.firstRow, 0, layout->lineCount() - 1);
    const QTextLine line = layout->lineAt(inPiece);
    if (!line.isValid()) return piece.position();
    int relative = line.xToCursor(x);
    // Past the end of a row wrapped at a space: before that space, not at the start of the next row.
    const int end = line.textStart() + line.textLength();
    if (inPiece + 1 < layout->lineCount() && relative >= end && end > line.textStart() &&
        text_[piece.position() + end - 1].isSpace())
        relative = end - 1;
    return piece.position() + relative;
}


int CodeTextLayout::lineEdge(int position, bool end) const {
    const Piece piece = pieceAt(position);
    QTextLayout* layout = layoutOf(piece);
    const QTextLine line = layout->lineForTextPosition(position - piece.position());
    if (!line.isValid()) return position;
    if (!end) return piece.position() + line.textStart();
    int edge = piece.position() + line.textStart() + line.textLength();
    const bool lastOfPiece = line.lineNumber() + 1 == layout->lineCount();
    const bool lastOfBlock = lastOfPiece && piece.start + piece.length >= piece.block.length() - 1;
    // A wrapped row ends before the space that broke it, not at the start of the next row.
    if (!lastOfBlock && !lastOfPiece && edge > 0 && text_[edge - 1].isSpace()) --edge;
    return edge;
}


void CodeTextLayout::draw(QPainter& painter, int firstRow, int bottom, const QRect& clip, std::pair<int, int> selection,
                          const QTextCharFormat& selected, int caret) const {
    const qreal height = rowHeight();
    const int inset = CodeTextView::inset;
    const Piece caretPiece = caret >= 0 ? pieceAt(caret) : Piece{};
    for (Piece piece = pieceAtRow(firstRow); piece.isValid();) {
        // A piece below the viewport is not laid out.
        const qreal top = inset + (piece.firstRow - firstRow) * height;
        if (top > bottom) break;
        QTextLayout* layout = layoutOf(piece);
        const QPointF origin(inset, top);
        QList<QTextLayout::FormatRange> ranges;
        const int start = piece.position();
        const int from = std::max(selection.first, start);
        const int to = std::min(selection.second, start + piece.length);
        if (to > from) ranges.append({from - start, to - from, selected});
        layout->draw(&painter, origin, ranges, clip);
        if (caret >= 0 && caretPiece.block == piece.block && caretPiece.index == piece.index)
            layout->drawCursor(&painter, origin, caret - start, 1);
        // Rows counted anew while laying out move what follows: go on from the counts as they now stand.
        piece = nextPiece(piece);
    }
}
