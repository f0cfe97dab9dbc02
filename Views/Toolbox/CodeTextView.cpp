#include "Views/Toolbox/CodeTextView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Toolbox/CodeTextViewController.h"
#include "Views/Toolbox/SlimScrollBars.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    setPlainText(text);
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

void CodeTextView::setEditable(bool editable) {
    setReadOnly(!editable);
    setTextInteractionFlags(editable ? Qt::TextEditorInteraction
                                     : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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
