#include "Views/Toolbox/CodeTextView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/CodeTextViewController.h"
#include "Views/Toolbox/SlimScrollBars.h"

#include <QEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

CodeTextView::CodeTextView(bool editable, const QString& placeholder, CodeTextViewController* controller,
                           QWidget* parent)
    : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFont(SystemFont::monospaced(fontSize));
    document()->setDocumentMargin(inset);
    setUndoRedoEnabled(true);
    setTabChangesFocus(false);
    setBackgroundVisible(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    useSlimScrollBars(this);
    setEditable(editable);
    setPlaceholderText(placeholder);
    applyColors();
    if (controller) controller->setTextView(this);

    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (settingText_) return;
        bound_ = documentText();
        chooseWrapMode(bound_);
        emit textEdited(bound_);
    });
}

QString CodeTextView::documentText() const {
    // The raw text keeps no-break spaces; only block ends need turning back into line feeds.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void CodeTextView::setText(const QString& text) {
    if (text == bound_) return;
    bound_ = text;
    const QTextCursor old = textCursor();
    const int oldStart = old.selectionStart();
    const int oldLength = old.selectionEnd() - oldStart;
    settingText_ = true;
    chooseWrapMode(text);
    setPlainText(displayText(text));
    settingText_ = false;
    if (isEditable()) {
        const int length = document()->characterCount() - 1;
        const int start = std::min(oldStart, length);
        const int selected = std::min(oldLength, length - start);
        QTextCursor cursor(document());
        cursor.setPosition(start);
        cursor.setPosition(start + selected, QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    }
    viewport()->update();
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
    const QTextOption::WrapMode mode =
        hasLongUnbrokenRun(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (wordWrapMode() != mode) setWordWrapMode(mode);
}

QString CodeTextView::displayText(const QString& text) {
    breaks_.clear();
    if (isEditable() || text.size() <= displayPieceLength) return text;
    QString shown;
    bool splitting = false;
    qsizetype run = 0;  // characters since the last line end
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator) {
            run = 0;
            if (splitting) shown += c;
            continue;
        }
        if (run >= displayPieceLength && !c.isLowSurrogate()) {
            if (!splitting) {
                splitting = true;
                shown.reserve(text.size() + text.size() / displayPieceLength + 1);
                shown.append(QStringView(text).left(i));
            }
            breaks_.push_back(shown.size());
            shown += u'\n';
            run = 0;
        }
        if (splitting) shown += c;
        ++run;
    }
    return splitting ? shown : text;
}

qsizetype CodeTextView::boundPosition(qsizetype shown) const {
    const auto before = std::lower_bound(breaks_.begin(), breaks_.end(), shown) - breaks_.begin();
    return shown - before;
}

QMimeData* CodeTextView::createMimeDataFromSelection() const {
    if (breaks_.empty()) return QPlainTextEdit::createMimeDataFromSelection();
    const QTextCursor cursor = textCursor();
    const qsizetype start = boundPosition(cursor.selectionStart());
    const qsizetype end = boundPosition(cursor.selectionEnd());
    auto* data = new QMimeData;
    data->setText(bound_.mid(start, end - start));
    return data;
}

void CodeTextView::setEditable(bool editable) {
    const bool wasSplit = !breaks_.empty();
    setReadOnly(!editable);
    setTextInteractionFlags(editable ? Qt::TextEditorInteraction
                                     : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // An editor shows the text as it is.
    if (editable && wasSplit) {
        settingText_ = true;
        setPlainText(displayText(bound_));
        settingText_ = false;
    }
}

void CodeTextView::setController(CodeTextViewController* controller) {
    if (controller) controller->setTextView(this);
}

void CodeTextView::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !property("applyingColors").toBool()) applyColors();
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
