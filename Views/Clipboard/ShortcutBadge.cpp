#include "Views/Clipboard/ShortcutBadge.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

ShortcutBadge::ShortcutBadge(QString keys, bool isOnAccent, QWidget* parent)
    : QWidget(parent), keys_(std::move(keys)), isOnAccent_(isOnAccent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeFor(keys_));
}

QFont ShortcutBadge::badgeFont() { return SystemFont::monospacedDigits(11, QFont::DemiBold); }

QSize ShortcutBadge::sizeFor(const QString& keys) {
    const QFontMetricsF fm(badgeFont());
    return QSize(int(std::ceil(fm.horizontalAdvance(keys))) + 10, int(std::ceil(fm.height())) + 2);
}

void ShortcutBadge::setKeys(const QString& keys) {
    if (keys_ == keys) return;
    keys_ = keys;
    setFixedSize(sizeFor(keys_));
    update();
}

void ShortcutBadge::setOnAccent(bool onAccent) {
    if (isOnAccent_ == onAccent) return;
    isOnAccent_ = onAccent;
    update();
}

void ShortcutBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    p.fillPath(ContinuousCorners::roundedRect(box, 4),
               isOnAccent_ ? QColor(255, 255, 255, int(0.18 * 255)) : SystemColors::quaternary(palette()));
    p.setFont(badgeFont());
    p.setPen(isOnAccent_ ? QColor(255, 255, 255, int(0.95 * 255)) : SystemColors::secondary(palette()));
    p.drawText(box.adjusted(5, 1, -5, -1), Qt::AlignCenter, keys_);
}
