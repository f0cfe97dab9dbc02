#include "Views/Toolbox/InkLabel.h"

#include "Platform/Gui/SystemColors.h"

#include <QEvent>

InkLabel::InkLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent)
    : QLabel(text, parent), ink_(ink) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    applyColor();
}

void InkLabel::setInk(Ink ink) {
    ink_ = ink;
    applyColor();
}

void InkLabel::setColor(std::optional<QColor> color) {
    color_ = color;
    applyColor();
}

QColor InkLabel::color() const { return palette().color(QPalette::WindowText); }

void InkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) applyColor();
}

void InkLabel::applyColor() {
    QColor wanted;
    if (color_) {
        wanted = *color_;
    } else {
        // The styles are taken from the inherited palette, not from the colour set here.
        const QPalette inherited = parentWidget() ? parentWidget()->palette() : QPalette();
        switch (ink_) {
        case Ink::primary: wanted = SystemColors::primary(inherited); break;
        case Ink::secondary: wanted = SystemColors::secondary(inherited); break;
        case Ink::tertiary: wanted = SystemColors::tertiary(inherited); break;
        }
    }
    if (palette().color(QPalette::WindowText) == wanted) return;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, wanted);
    p.setColor(QPalette::Text, wanted);
    setPalette(p);
}
