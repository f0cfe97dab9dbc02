#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextOption>

#include <map>
#include <memory>
#include <utility>
#include <vector>

class QAbstractScrollArea;
class QAbstractTextDocumentLayout;
class QPainter;
class QTextCharFormat;
class QTextDocument;
class QTextLayout;

// How the code text view lays out its text: each line in pieces of at most
// CodeTextView::displayPieceLength characters, and only the pieces it is asked for. Each piece counts
// its rows in its block; a piece not laid out at the current width counts an estimate. Rows are
// those of the whole text; x is measured from the text's left edge.
class CodeTextLayout {
public:
    // One piece of one line: the block, the piece's number in it, where it starts in the block and how
    // long it is, and the row of the whole text its first row is.
    struct Piece {
        QTextBlock block;
        int index = 0;
        int start = 0;
        int length = 0;
        int firstRow = 0;
        bool isValid() const { return block.isValid(); }
        int position() const { return block.position() + start; }
    };

    // The text is the document's with line feeds, kept by the view; the view gives the font and width.
    CodeTextLayout(QTextDocument* document, const QString& text, const QAbstractScrollArea& view);
    ~CodeTextLayout();

    // A layout for the document that does nothing: the view lays out only what it shows.
    static QAbstractTextDocumentLayout* documentLayout(QTextDocument* document);

    static int pieceStartIn(QStringView line, int index);
    static int pieceCountOf(QStringView line);

    QTextOption::WrapMode wrapMode() const { return wrapMode_; }
    void setWrapMode(QTextOption::WrapMode mode) { wrapMode_ = mode; }

    qreal rowHeight() const;
    qreal textWidth() const;
    // The width the estimates were made for.
    qreal estimatedWidth() const { return estimatedWidth_; }
    void estimateBlock(const QTextBlock& block, bool keep = false);
    void estimateAll();
    int rowCount() const;
    // Set when laying out counted a piece's rows anew.
    bool rowsChanged() const { return rowsChanged_; }
    void clearRowsChanged() { rowsChanged_ = false; }

    Piece pieceAtRow(int row) const;
    Piece pieceAt(int position) const;
    Piece nextPiece(const Piece& piece) const;
    QTextLayout* layoutOf(const Piece& piece) const;
    void dropLayouts();
    // Drops the layouts an edit at `position` of the given block can change: that block's pieces from
    // the one holding the character before `position` on, and every later block's.
    void dropLayoutsFrom(const QTextBlock& block, int position);

    std::pair<int, qreal> caretPoint(int position) const;
    int positionAt(int row, qreal x) const;
    // The start or end of the row the position is on.
    int lineEdge(int position, bool end) const;

    // Draws the pieces from the given first row down to the bottom edge, the selection highlighted
    // and the caret (when not negative) drawn.
    void draw(QPainter& painter, int firstRow, int bottom, const QRect& clip, std::pair<int, int> selection,
              const QTextCharFormat& selected, int caret) const;

private:
    int estimatedRows(int length) const;
    int rowsOf(const QTextBlock& block, int piece) const;
    void setRows(const QTextBlock& block, int piece, int rows) const;

    QTextDocument* document_;
    const QString& text_;
    const QAbstractScrollArea& view_;
    QTextOption::WrapMode wrapMode_ = QTextOption::WrapAtWordBoundaryOrAnywhere;
    qreal estimatedWidth_ = -1;
    int perRow_ = 1;  // characters of the font's width a row holds, for estimates
    mutable bool rowsChanged_ = false;
    mutable std::map<std::pair<int, int>, std::unique_ptr<QTextLayout>> layouts_;
};
