#include "Platform/Ui/StatusBar.h"

#include "Platform/Ui/StatusBarBackend.h"
#include "Platform/Ui/StripStatusBackend.h"
#include "Platform/Ui/TrayStatusBackend.h"

#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>

StatusItem::StatusItem(StatusBar* bar, StatusBarBackend* backend)
    : QObject(bar), bar_(bar), backend_(backend) {}

StatusItem::~StatusItem()
{
    if (bar_)
        bar_->forget(this);
}

void StatusItem::update()
{
    if (backend_)
        backend_->updateItem(this);
    emit changed();
}

void StatusItem::setImage(const QImage& image)
{
    // Two images of equal pixels but different scale must still relayout, so compare both.
    if (image.cacheKey() == image_.cacheKey() && image.devicePixelRatio() == image_.devicePixelRatio())
        return;
    image_ = image;
    update();
}

void StatusItem::setToolTip(const QString& text)
{
    if (text == toolTip_)
        return;
    toolTip_ = text;
    update();
}

void StatusItem::setVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    update();
}

QRect StatusItem::screenRect() const
{
    if (!visible_ || !backend_)
        return {};
    return backend_->screenRect(this);
}

StatusBar& StatusBar::system()
{
    static StatusBar* const bar = new StatusBar(Kind::automatic);
    return *bar;
}

StatusBar::StatusBar(Kind kind, QObject* parent) : QObject(parent), kind_(kind)
{
    if (kind_ == Kind::automatic)
        kind_ = QSystemTrayIcon::isSystemTrayAvailable() ? Kind::tray : Kind::strip;
    if (kind_ == Kind::tray)
        backend_ = std::make_unique<TrayStatusBackend>();
    else
        backend_ = std::make_unique<StripStatusBackend>();
}

StatusBar::~StatusBar()
{
    const std::vector<StatusItem*> items = std::move(items_);
    items_.clear();
    for (StatusItem* item : items) {
        backend_->removeItem(item);
        item->bar_ = nullptr;
        item->backend_ = nullptr;
        delete item;
    }
}

StatusItem* StatusBar::addItem()
{
    auto* item = new StatusItem(this, backend_.get());
    items_.push_back(item);
    backend_->addItem(item);
    return item;
}

void StatusBar::removeItem(StatusItem* item)
{
    if (std::find(items_.begin(), items_.end(), item) == items_.end())
        return;
    delete item;  // its destructor calls forget()
}

void StatusBar::forget(StatusItem* item)
{
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end())
        return;
    items_.erase(it);
    backend_->removeItem(item);
    item->bar_ = nullptr;
    item->backend_ = nullptr;
}

QWidget* StatusBar::stripWindow() const
{
    return backend_->window();
}

bool StatusBar::containsScreenPoint(const QPoint& globalPos) const
{
    return backend_->containsScreenPoint(globalPos);
}
