#include "Views/Shared/CopyButton.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/Motion.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

CopyButton::CopyButton(QString value, QString label, QWidget* parent)
    : QAbstractButton(parent), value_(std::move(value)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(side, side);
    setLabel(std::move(label));
    connect(this, &QAbstractButton::clicked, this, &CopyButton::copy);
}

void CopyButton::setLabel(const QString& label) {
    label_ = label;
    setToolTip(QStringLiteral("Copy ") + label_);
    setAccessibleName(QStringLiteral("Copy ") + label_);
}

QString CopyButton::symbol() const {
    return justCopied_ ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc");
}

QSize CopyButton::sizeHint() const { return QSize(side, side); }

void CopyButton::copy() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(value_);
    }
    setJustCopied(true);
    reset_.schedule(this, checkMarkSeconds, [this] { setJustCopied(false); });
}

void CopyButton::setJustCopied(bool copied) {
    if (justCopied_ == copied) return;
    justCopied_ = copied;
    if (fade_) fade_->stop();
    const double from = checkOpacity_, to = copied ? 1.0 : 0.0;
    fade_ = Motion::animate(this, Motion::state(), [this, from, to](double p) {
        checkOpacity_ = from + (to - from) * p;
        update();
    });
}

void CopyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor ink = SystemColors::secondary(palette());
    const QColor pressed = SystemColors::primary(palette());
    const QColor color = isDown() ? pressed : ink;
    const QRectF area(rect());
    const double t = std::clamp(checkOpacity_, 0.0, 1.0);
    if (t < 1) {
        p.setOpacity(1 - t);
        Symbols::draw(p, area, QStringLiteral("doc.on.doc"), color, 12);
    }
    if (t > 0) {
        p.setOpacity(t);
        Symbols::draw(p, area, QStringLiteral("checkmark"), color, 13, Symbols::Weight::semibold);
    }
}
