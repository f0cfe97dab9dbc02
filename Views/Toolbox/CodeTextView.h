#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <vector>

class CodeTextViewController;

// The toolbox's plain-text editor: monospaced 12 px, unstyled, wrapping at its width (no horizontal
// scrolling), an 8 px inset, no background of its own, undo on. It shows its bound text (setText) and
// reports each edit of the user's (textEdited); a read-only view still selects and copies. While empty
// it shows its placeholder in the placeholder colour where the first character would stand.
class CodeTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr double fontSize = 12;
    static constexpr int inset = 8;

    explicit CodeTextView(bool editable = true, const QString& placeholder = QString(),
                          CodeTextViewController* controller = nullptr, QWidget* parent = nullptr);

    // Shows the bound text. Text equal to what the view last showed or reported changes nothing, so
    // a host that writes back what the user typed never moves the caret; other text replaces the
    // contents and, while editable, keeps the selection clamped to the new length.
    void setText(const QString& text);
    // The bound text as the view last showed or reported it.
    const QString& text() const { return bound_; }

    bool isEditable() const { return !isReadOnly(); }
    void setEditable(bool editable);
    QString placeholder() const { return placeholderText(); }
    void setPlaceholder(const QString& placeholder) { setPlaceholderText(placeholder); }
    void setController(CodeTextViewController* controller);

    // A read-only view shows lines longer than this in pieces of this length, so that one huge line
    // never has to be laid out at once; copying from the view gives the text without the extra breaks.
    static constexpr qsizetype displayPieceLength = 4096;

    // Text with a run longer than this without white space (a hex or Base64 blob, minified JSON) wraps
    // anywhere: wrapping at word boundaries searches the whole run for each line, and a few hundred
    // kilobytes of it would hold up the window for seconds.
    static constexpr qsizetype longestWordWrapped = 2000;
    static bool hasLongUnbrokenRun(QStringView text);

signals:
    // The whole text after an edit of the user's (typing, pasting, undo, an insert()).
    void textEdited(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void applyColors();
    QString documentText() const;
    void chooseWrapMode(QStringView text);

    // The text as shown: long lines broken up while read-only. breaks_ holds the positions (in the shown
    // text) of the line feeds that are not in the bound text.
    QString displayText(const QString& text);
    qsizetype boundPosition(qsizetype shown) const;

    QString bound_;
    std::vector<qsizetype> breaks_;
    bool settingText_ = false;
};
