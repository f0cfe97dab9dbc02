#include "Platform/Ui/StripStatusBackend.h"

#include "Platform/Ui/BarStripWindow.h"

StripStatusBackend::StripStatusBackend() : window_(new BarStripWindow) {}

StripStatusBackend::~StripStatusBackend()
{
    if (window_) {
        window_->hide();
        // The bar may go away from inside one of the strip's own click handlers.
        window_->deleteLater();
    }
}

void StripStatusBackend::addItem(StatusItem* item)
{
    if (window_)
        window_->addItem(item);
}

void StripStatusBackend::removeItem(StatusItem* item)
{
    if (window_)
        window_->removeItem(item);
}

void StripStatusBackend::updateItem(StatusItem*)
{
    if (window_)
        window_->relayout();
}

QRect StripStatusBackend::screenRect(const StatusItem* item) const
{
    return window_ ? window_->itemScreenRect(item) : QRect();
}

bool StripStatusBackend::containsScreenPoint(const QPoint& globalPos) const
{
    return window_ && window_->isVisible() && window_->geometry().contains(globalPos);
}

QWidget* StripStatusBackend::window() const
{
    return window_;
}
