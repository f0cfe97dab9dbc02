#include "Views/Shared/UnderlayPicture.h"

#include <QPainter>
#include <QWidget>

bool UnderlayPicture::fits() const {
    for (const QWidget* w = owner_->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (w->graphicsEffect()) return false;
    return owner_->mapTo(owner_->window(), QPoint(0, 0)) == at_;
}

bool UnderlayPicture::take() {
    drop();
    at_ = owner_->mapTo(owner_->window(), QPoint(0, 0));
    if (!fits() || owner_->size().isEmpty()) return false;
    taking_ = true;
    const QPixmap picture = owner_->window()->grab(QRect(at_, owner_->size()));
    taking_ = false;
    if (picture.isNull()) return false;
    picture_ = picture;
    owner_->setAttribute(Qt::WA_OpaquePaintEvent, true);
    return true;
}

void UnderlayPicture::drop() {
    if (picture_.isNull()) return;
    picture_ = QPixmap();
    owner_->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void UnderlayPicture::paint(QPainter& painter) const {
    if (picture_.isNull()) return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(0, 0, picture_);
    painter.restore();
}
