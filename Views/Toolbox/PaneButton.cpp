#include "Views/Toolbox/PaneButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSymbolGap = 5;
}

PaneButton::PaneButton(const QString& title, const QString& symbol, Look look, ControlSize size, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), look_(look), size_(size) {
    setText(title);
    setAccessibleName(title.isEmpty() ? symbol : title);
    setFont(SystemFont::font(fontSize(), look == Look::prominent ? QFont::Medium : QFont::Normal));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PaneButton::setTitle(const QString& title, bool animated) {
    if (title == text()) return;
    previousTitle_ = text();
    setText(title);
    setAccessibleName(title);
    updateGeometry();
    if (animator_) animator_->stop();
    if (!animated) {
        fade_ = 1;
        update();
        return;
    }
    fade_ = 0;
    animator_ = Motion::animate(this, Motion::state(), [this](double p) {
        fade_ = std::clamp(p, 0.0, 1.0);
        update();
    });
}

int PaneButton::controlHeight() const {
    switch (size_) {
    case ControlSize::small: return 20;
    case ControlSize::regular: return 24;
    case ControlSize::large: return 30;
    }
    return 24;
}

double PaneButton::fontSize() const { return size_ == ControlSize::small ? 11 : 13; }

double PaneButton::contentWidth(const QString& title) const {
    const QFontMetricsF metrics(font());
    double width = title.isEmpty() ? 0 : metrics.horizontalAdvance(title);
    if (!symbol_.isEmpty()) width += fontSize() + 2 + (title.isEmpty() ? 0 : kSymbolGap);
    return width;
}

QSize PaneButton::sizeHint() const {
    const double padding = look_ == Look::borderless ? 4 : (size_ == ControlSize::small ? 8 : 14);
    const double width = std::max(contentWidth(text()), contentWidth(previousTitle_) * (1 - fade_));
    return QSize(int(std::ceil(width + 2 * padding)), controlHeight());
}

void PaneButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PaneButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PaneButton::paintContent(QPainter& painter, const QString& title, const QColor& ink) const {
    const double width = contentWidth(title);
    double x = (QWidget::width() - width) / 2;
    const QRectF area(rect());
    if (!symbol_.isEmpty()) {
        const double side = fontSize() + 2;
        Symbols::draw(painter, QRectF(x, area.center().y() - side / 2, side, side), symbol_, ink, fontSize(),
                      look_ == Look::prominent ? Symbols::Weight::medium : Symbols::Weight::regular);
        x += side + kSymbolGap;
    }
    if (title.isEmpty()) return;
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(QRectF(x, 0, area.width() - x, area.height()), Qt::AlignLeft | Qt::AlignVCenter, title);
}

void PaneButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool dark = SystemColors::isDark(pal);
    const bool enabled = isEnabled();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = size_ == ControlSize::small ? 5 : 7;
    QColor ink = SystemColors::primary(pal);
    switch (look_) {
    case Look::prominent: {
        QColor fill = enabled ? SystemColors::accent(pal) : SystemColors::quaternary(pal);
        if (enabled && isDown()) fill = fill.darker(118);
        else if (enabled && hovered_) fill = fill.lighter(106);
        painter.fillPath(ContinuousCorners::roundedRect(frame, radius), fill);
        ink = enabled ? QColor(Qt::white) : SystemColors::tertiary(pal);
        break;
    }
    case Look::bordered: {
        const double base = dark ? 0.14 : 0.06;
        const double alpha = !enabled ? base * 0.6 : isDown() ? base * 2.2 : hovered_ ? base * 1.5 : base;
        const QPainterPath path = ContinuousCorners::roundedRect(frame, radius);
        painter.fillPath(path, SystemColors::withOpacity(SystemColors::primary(pal), alpha));
        painter.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(pal), dark ? 0.12 : 0.14), 1));
        painter.drawPath(path);
        if (!enabled) ink = SystemColors::tertiary(pal);
        break;
    }
    case Look::borderless:
        ink = !enabled ? SystemColors::tertiary(pal) : isDown() ? SystemColors::primary(pal) : SystemColors::secondary(pal);
        break;
    }
    if (hasFocus() && look_ != Look::borderless) {
        painter.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.5), 2));
        painter.drawPath(ContinuousCorners::roundedRect(frame.adjusted(-0.5, -0.5, 0.5, 0.5), radius + 1));
    }
    if (fade_ < 1 && !previousTitle_.isEmpty()) {
        painter.setOpacity(1 - fade_);
        paintContent(painter, previousTitle_, ink);
        painter.setOpacity(fade_);
    }
    paintContent(painter, text(), ink);
}
