#include "Views/Toolbox/SymbolLabel.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/Symbols.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
constexpr double gapFactor = 0.4;  // between symbol and text, in font sizes
}

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, const QFont& font, std::optional<QColor> color,
                         QWidget* parent)
    : QWidget(parent), symbol_(symbol), text_(text), font_(font), color_(color) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::setColor(std::optional<QColor> color) {
    color_ = color;
    update();
}

QSize SymbolLabel::sizeHint() const {
    const QFontMetricsF fm(font_);
    const double size = font_.pixelSize() > 0 ? font_.pixelSize() : font_.pointSizeF();
    const double width = size * (1.15 + gapFactor) + fm.horizontalAdvance(text_);
    return QSize(int(std::ceil(width)) + 1, int(std::ceil(std::max(fm.height(), size * 1.2))));
}

void SymbolLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = color_.value_or(SystemColors::primary(palette()));
    const double size = font_.pixelSize() > 0 ? font_.pixelSize() : font_.pointSizeF();
    const double symbolSide = size * 1.15;
    Symbols::draw(p, QRectF(0, (height() - symbolSide) / 2.0, symbolSide, symbolSide), symbol_, color, symbolSide);
    p.setFont(font_);
    p.setPen(color);
    p.drawText(QRectF(symbolSide + size * gapFactor, 0, width(), height()), Qt::AlignVCenter | Qt::AlignLeft, text_);
}
