#include "Views/Monitor/NumericTextCell.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Shared/Motion.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

NumericTextCell::~NumericTextCell() {
    if (animator_) animator_->stop();
}

bool NumericTextCell::isAnimating() const { return animator_ && progress_ < 1; }

void NumericTextCell::setText(QWidget* owner, const QString& text, bool animated) {
    if (text == text_) return;
    if (animator_) animator_->stop();
    previous_ = text_;
    text_ = text;
    if (!animated || !owner || !owner->isVisible() || previous_.isEmpty()) {
        progress_ = 1;
        if (owner) owner->update();
        return;
    }
    progress_ = 0;
    animator_ = Motion::animate(owner, Motion::value(), [this, owner](double p) {
        progress_ = p;
        owner->update();
    });
}

void NumericTextCell::paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                            const QColor& color) const {
    if (progress_ >= 1 || previous_.isEmpty()) {
        painter.setPen(color);
        painter.drawText(rect, int(alignment), text_);
        return;
    }
    const double p = std::clamp(progress_, 0.0, 1.0);
    const double shift = rect.height() * 0.55;
    painter.save();
    painter.setClipRect(rect.adjusted(0, -2, 0, 2), Qt::IntersectClip);
    painter.setPen(SystemColors::withOpacity(color, 1 - p));
    painter.drawText(rect.translated(0, -shift * p), int(alignment), previous_);
    painter.setPen(SystemColors::withOpacity(color, p));
    painter.drawText(rect.translated(0, shift * (1 - p)), int(alignment), text_);
    painter.restore();
}
