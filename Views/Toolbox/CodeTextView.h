#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPointer>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class CodeTextLayout;
class CodeTextMouse;
class CodeTextViewController;
class QMimeData;

// The toolbox's plain-text editor: monospaced 12 px, unstyled, wrapping at its width (no horizontal
// scrolling), an 8 px inset, no background of its own, undo on. It shows its bound text (setText) and
// reports each edit of the user's (edited, textEdited); a read-only view still selects and copies. While empty
// it shows its placeholder in the placeholder colour where the first character would stand.
//
// The text lives in a QTextDocument (edits, undo, cursors, search), but the view lays it out itself:
// each line in pieces of at most displayPieceLength characters, and only the pieces on screen. A
// minified JSON document is one line of megabytes; laid out whole, as Qt's editors do after every
// change, each keystroke in it would hold up the window for a fraction of a second or more.
class CodeTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double fontSize = 12;
    static constexpr int inset = 8;

    explicit CodeTextView(bool editable = true, const QString& placeholder = QString(),
                          CodeTextViewController* controller = nullptr, QWidget* parent = nullptr);
    ~CodeTextView() override;

    // Shows the bound text. Text equal to what the view last showed or reported changes nothing, so
    // a host that writes back what the user typed never moves the caret; other text replaces the
    // contents and, while editable, keeps the selection clamped to the new length.
    void setText(const QString& text);
    // The bound text as the view last showed or reported it.
    const QString& text() const { return boundIsShown_ ? shown_ : bound_; }
    QString toPlainText() const { return text(); }

    bool isEditable() const { return !readOnly_; }
    void setEditable(bool editable);
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { setEditable(!readOnly); }
    QString placeholder() const { return placeholder_; }
    void setPlaceholder(const QString& placeholder);
    QString placeholderText() const { return placeholder_; }
    void setPlaceholderText(const QString& placeholder) { setPlaceholder(placeholder); }
    void setController(CodeTextViewController* controller);

    // The text and its undo history. Its own layout does nothing: the view lays out what it shows.
    QTextDocument* document() const { return document_; }
    int blockCount() const { return document_->blockCount(); }
    QTextCursor textCursor() const { return cursor_; }
    void setTextCursor(const QTextCursor& cursor);
    bool moveCursor(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode = QTextCursor::MoveAnchor);
    void ensureCursorVisible();
    // The caret's rectangle in viewport coordinates, or that of the given cursor's position.
    QRect cursorRect() const;
    QRect cursorRect(const QTextCursor& cursor) const;
    // A cursor at the text position nearest the viewport point.
    QTextCursor cursorForPosition(const QPoint& point) const;
    // Selects the next match after the caret (before it, searching backward) and brings it into sight.
    bool find(const QString& text, QTextDocument::FindFlags options = QTextDocument::FindFlags());
    void insertPlainText(const QString& text);

    QTextOption::WrapMode wordWrapMode() const;
    void setWordWrapMode(QTextOption::WrapMode mode);

    // Lines longer than this are laid out in pieces of this length (a piece never splits a surrogate
    // pair), so that one huge line never has to be laid out at once. Each piece starts on a new row.
    static constexpr int displayPieceLength = 4096;
    // Where the pieces of a line of the given text start, the first at 0.
    static std::vector<int> pieceStarts(QStringView line);

    // Text with a run longer than this without white space (a hex or Base64 blob, minified JSON) wraps
    // anywhere: wrapping at word boundaries searches the whole run for each line.
    static constexpr qsizetype longestWordWrapped = 2000;
    static bool hasLongUnbrokenRun(QStringView text);
    // QChar::isSpace, with printable ASCII and everything above U+3000 (no space there) answered at once.
    static bool isBlank(char16_t c) {
        if ((c > 0x20 && c < 0x7f) || c > 0x3000) return false;
        return QChar::isSpace(char32_t(c));
    }

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();
    void clear() { setText(QString()); }

signals:
    // An edit of the user's (typing, pasting, undo, an insert()) as what it changed: `removed`
    // characters of text() at `position` became `added`. One edit may come in several, in order, and
    // all come before textEdited. A host that keeps its own copy of a large text applies these, so
    // that a key typed into megabytes copies nothing whole.
    void edited(int position, int removed, const QString& added);
    // The whole text after an edit of the user's.
    void textEdited(const QString& text);
    void cursorPositionChanged();
    void selectionChanged();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void timerEvent(QTimerEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMimeData* createMimeDataFromSelection() const;

private:
    // The keyboard and the mouse drive the editing below.
    friend class CodeTextKeys;
    friend class CodeTextMouse;

    void applyColors();
    QString documentText() const;
    QString documentText(int position, int length) const;
    void chooseWrapMode();
    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();

    void estimateAll();
    int visibleRows() const;
    void updateScrollBar();
    // The top of a row of the whole text in the viewport, and the text position at a viewport point.
    int rowTop(int row) const;
    int positionAt(const QPoint& viewportPoint) const;
    int verticalTarget(int position, int rows);

    QTextCursor cursorOver(int anchor, int position) const;
    void moveTo(int position, QTextCursor::MoveMode mode, bool keepX = false);
    void applyCursor(const QTextCursor& cursor, bool keepX = false);
    void edit(const std::function<void(QTextCursor&)>& change);
    void insertText(const QString& text);
    void insertFromMimeData(const QMimeData* source);
    void deleteTo(int position);
    void restartBlink();
    void setPrimarySelection();

    QTextDocument* document_ = nullptr;
    QTextCursor cursor_;
    QString bound_;  // the host's text where it differs from shown_ (its line ends, say)
    bool boundIsShown_ = true;
    QString shown_;  // the document's text with line feeds, for layout and positions
    qsizetype longRuns_ = 0;  // runs in shown_ that make it wrap anywhere, kept up to date edit by edit
    // The edits not yet reported, or a whole new text (wholeEdit_) replacing the reported one's length.
    struct Edit {
        int position;
        int removed;
        QString added;
    };
    std::vector<Edit> edits_;
    bool wholeEdit_ = false;
    int reportedLength_ = 0;
    QString placeholder_;
    bool readOnly_ = false;
    bool settingText_ = false;
    bool changed_ = false;
    int lastChangeEnd_ = 0;
    int lastBlockCount_ = 1;
    std::unique_ptr<CodeTextLayout> layout_;  // after the text it lays out
    std::unique_ptr<CodeTextMouse> mouse_;

    qreal preferredX_ = -1;
    bool caretOn_ = false;
    QBasicTimer blink_;
};
