#include "Views/Shared/SymbolButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"

#include <QPainter>

#include <cmath>

namespace {
Symbols::Weight symbolWeight(QFont::Weight w) {
    if (w >= QFont::Bold) return Symbols::Weight::bold;
    if (w >= QFont::DemiBold) return Symbols::Weight::semibold;
    if (w >= QFont::Medium) return Symbols::Weight::medium;
    return Symbols::Weight::regular;
}
}  // namespace

SymbolButton::SymbolButton(QString symbol, double pointSize, QFont::Weight weight, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), pointSize_(pointSize), weight_(weight) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void SymbolButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    update();
}
void SymbolButton::setColor(std::optional<QColor> color) {
    color_ = color;
    update();
}
void SymbolButton::setTextFont(const QFont& font) {
    setFont(font);
    updateGeometry();
}
void SymbolButton::setRotation(double degrees) {
    rotation_ = degrees;
    update();
}
void SymbolButton::setContentOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

QSize SymbolButton::sizeHint() const {
    if (minimumSize() == maximumSize() && !minimumSize().isEmpty()) return minimumSize();
    if (symbol_.isEmpty()) {
        const QFontMetrics m(font());
        return QSize(m.horizontalAdvance(text()) + 2, m.height());
    }
    const int side = int(std::ceil(pointSize_ * 1.35));
    return QSize(side, side);
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_ * (isEnabled() ? 1.0 : 0.4));
    const QColor color = color_.value_or(SystemColors::secondary(palette()));
    if (symbol_.isEmpty()) {
        p.setPen(color);
        p.drawText(rect(), Qt::AlignCenter, text());
        return;
    }
    // The symbol font draws its glyphs a little smaller than text of the same size.
    Symbols::draw(p, QRectF(rect()), symbol_, color, pointSize_ * 1.2, symbolWeight(weight_), rotation_);
}
