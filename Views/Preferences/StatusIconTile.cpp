#include "Views/Preferences/StatusIconTile.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/PressableButtonStyle.h"

#include <QPainter>

StatusIconTile::StatusIconTile(QString id, QImage image, const QString& toolTip, QWidget* parent)
    : QAbstractButton(parent), id_(std::move(id)), image_(std::move(image)), hover_(this, 0.0, [this] { update(); }) {
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(toolTip);
    setAccessibleName(toolTip);
    setCheckable(true);
    PressableButtonStyle::apply(this, 0.96);
}

void StatusIconTile::setSelected(bool selected) {
    selected_ = selected;
    setChecked(selected);  // read out as the selected choice
    update();
}

double StatusIconTile::fillOpacity() const { return selected_ ? 0.22 : 0.05 + 0.04 * hover_.value(); }

void StatusIconTile::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    hovered_ = true;
    hover_.animateTo(1.0, Motion::state());
}

void StatusIconTile::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hovered_ = false;
    hover_.animateTo(0.0, Motion::state());
}

void StatusIconTile::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF square(0, 0, side, side);
    const QColor fill = selected_ ? SystemColors::accent(pal) : SystemColors::primary(pal);
    p.fillPath(ContinuousCorners::roundedRect(square, cornerRadius), SystemColors::withOpacity(fill, fillOpacity()));
    if (!image_.isNull()) {
        // The template in the primary colour, at its own size and pixel for pixel.
        QImage tinted = image_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        {
            QPainter ink(&tinted);
            ink.setCompositionMode(QPainter::CompositionMode_SourceIn);
            ink.fillRect(tinted.rect(), SystemColors::primary(pal));
        }
        const QSizeF size = QSizeF(image_.size()) / image_.devicePixelRatio();
        const QPointF origin(std::round((side - size.width()) / 2), std::round((side - size.height()) / 2));
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRectF(origin, size), tinted);
    }
    if (selected_) {
        p.setPen(QPen(SystemColors::accent(pal), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(ContinuousCorners::roundedRect(square.adjusted(0.75, 0.75, -0.75, -0.75), cornerRadius - 0.75));
    }
    if (hasFocus()) {
        p.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.5), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(ContinuousCorners::roundedRect(square.adjusted(2, 2, -2, -2), cornerRadius - 2));
    }
}
