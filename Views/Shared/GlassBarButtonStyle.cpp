#include "Views/Shared/GlassBarButtonStyle.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kPadding = 14;
constexpr int kMinimumWidth = 72;
const char* kProperty = "quorvinGlassBarButtonStyle";
QFont titleFont() { return SystemFont::font(12, QFont::DemiBold); }
}  // namespace

GlassBarButtonStyle::GlassBarButtonStyle(QAbstractButton* button) : QObject(button) {
    button->setAttribute(Qt::WA_Hover);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty(kProperty, QVariant::fromValue<QObject*>(this));
    const QSize size = sizeFor(button->text());
    button->setMinimumSize(size);
    button->setFixedHeight(size.height());
    button->installEventFilter(this);
}

GlassBarButtonStyle* GlassBarButtonStyle::apply(QAbstractButton* button) {
    if (!button) return nullptr;
    if (auto* existing = of(button)) return existing;
    return new GlassBarButtonStyle(button);
}

GlassBarButtonStyle* GlassBarButtonStyle::of(const QAbstractButton* button) {
    return button ? qobject_cast<GlassBarButtonStyle*>(button->property(kProperty).value<QObject*>()) : nullptr;
}

QSize GlassBarButtonStyle::sizeFor(const QString& title) {
    const int text = QFontMetrics(titleFont()).horizontalAdvance(title);
    return QSize(std::max(kMinimumWidth, text + 2 * kPadding), buttonHeight);
}

GlassBarButtonStyle::State GlassBarButtonStyle::stateOf(const QAbstractButton* button) {
    if (!button->isEnabled()) return State::disabled;
    if (button->isDown()) return State::pressed;
    if (button->underMouse()) return State::hovered;
    return State::normal;
}

void GlassBarButtonStyle::paint(QPainter& painter, const QRectF& rect, const QString& title, State state,
                                const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette.color(QPalette::ButtonText);
    double fill = 0.08;
    if (state == State::hovered) fill = 0.13;
    if (state == State::pressed) fill = 0.2;
    if (state == State::disabled) fill = 0.04;
    painter.fillPath(ContinuousCorners::capsule(rect.adjusted(0.5, 0.5, -0.5, -0.5)),
                     SystemColors::withOpacity(palette.color(QPalette::WindowText), fill));
    painter.setFont(titleFont());
    painter.setPen(SystemColors::withOpacity(ink, state == State::disabled ? 0.35 : 1.0));
    painter.drawText(rect, Qt::AlignCenter, title);
    painter.restore();
}

bool GlassBarButtonStyle::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button) return false;
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(button);
        paint(painter, QRectF(button->rect()), button->text(), stateOf(button), button->palette());
        return true;
    }
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave: button->update(); break;
    default: break;
    }
    return false;
}
