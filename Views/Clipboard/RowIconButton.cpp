#include "Views/Clipboard/RowIconButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/Motion.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

RowIconButton::RowIconButton(QString symbol, std::optional<QString> restingSymbol, QString help, bool isOnAccent,
                             std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), restingSymbol_(std::move(restingSymbol)),
      help_(std::move(help)), isOnAccent_(isOnAccent), action_(std::move(action)) {
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(side, side);
    setToolTip(help_);
    setAccessibleName(help_);
    setCursor(Qt::ArrowCursor);
    connect(this, &QAbstractButton::pressed, this, [this] { pressScale_.animateTo(0.88); });
    connect(this, &QAbstractButton::released, this, [this] { pressScale_.animateTo(1.0); });
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (action_) action_();
    });
}

void RowIconButton::setOnAccent(bool onAccent) {
    if (isOnAccent_ == onAccent) return;
    isOnAccent_ = onAccent;
    update();
}

QString RowIconButton::shownSymbol() const {
    if (isHovered_ || !restingSymbol_) return symbol_;
    return *restingSymbol_;
}

void RowIconButton::setContentOpacity(double opacity) {
    if (contentOpacity_ == opacity) return;
    contentOpacity_ = opacity;
    update();
}

void RowIconButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    setHovered(true);
}

void RowIconButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    setHovered(false);
}

void RowIconButton::setHovered(bool hovered) {
    if (isHovered_ == hovered) return;
    isHovered_ = hovered;
    hover_.animateTo(hovered ? 1.0 : 0.0);
}

bool RowIconButton::hitButton(const QPoint& pos) const {
    const QPointF d = QPointF(pos) - QRectF(rect()).center();
    return d.x() * d.x() + d.y() * d.y() <= (side / 2.0) * (side / 2.0);
}

void RowIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(contentOpacity_);
    const QPalette& pal = palette();
    const double h = std::clamp(hover_.value(), 0.0, 1.0);
    const QRectF box(0, 0, side, side);
    p.translate(box.center());
    p.scale(pressScale_.value(), pressScale_.value());
    p.translate(-box.center());

    const QColor circle = isOnAccent_ ? QColor(255, 255, 255, int(0.22 * 255)) : SystemColors::quaternary(pal);
    if (h > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::withOpacity(circle, h));
        p.drawEllipse(box);
    }
    QColor color;
    if (isOnAccent_)
        color = QColor(255, 255, 255, int(255 * (0.85 + 0.15 * h)));
    else
        color = SystemColors::mix(SystemColors::secondary(pal), SystemColors::primary(pal), h);
    const double scale = 1.0 + 0.08 * hover_.value();
    p.translate(box.center());
    p.scale(scale, scale);
    p.translate(-box.center());
    if (!restingSymbol_ || *restingSymbol_ == symbol_ || h <= 0 || h >= 1) {
        Symbols::draw(p, box, shownSymbol(), color, 10 * 1.2, Symbols::Weight::semibold);
        return;
    }
    // The swap replaces one symbol by the other: the outgoing one shrinks and fades as the
    // incoming one grows into place, following the hover animation.
    const double outgoing = isHovered_ ? 1.0 - h : h;  // progress of the symbol being left
    const QString from = isHovered_ ? *restingSymbol_ : symbol_;
    const QString to = shownSymbol();
    auto drawScaled = [&](const QString& name, double amount) {
        p.save();
        p.setOpacity(contentOpacity_ * amount);
        const double s = 0.6 + 0.4 * amount;
        p.translate(box.center());
        p.scale(s, s);
        p.translate(-box.center());
        Symbols::draw(p, box, name, color, 10 * 1.2, Symbols::Weight::semibold);
        p.restore();
    };
    drawScaled(from, outgoing);
    drawScaled(to, 1.0 - outgoing);
}
