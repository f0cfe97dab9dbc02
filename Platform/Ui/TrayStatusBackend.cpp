#include "Platform/Ui/TrayStatusBackend.h"

#include "Platform/Ui/StatusBar.h"

#include <QCursor>
#include <QPainter>
#include <QSystemTrayIcon>

#include <algorithm>

namespace {
// Stands in for the icon's rectangle where the tray host does not tell it (StatusNotifierItem).
constexpr int kFallbackSide = 24;

void releaseIcon(QSystemTrayIcon* icon)
{
    QObject::disconnect(icon, nullptr, nullptr, nullptr);
    icon->hide();
    icon->setParent(nullptr);
    // Removal may come from inside the icon's own activation handler.
    icon->deleteLater();
}
}  // namespace

TrayStatusBackend::TrayStatusBackend() = default;

TrayStatusBackend::~TrayStatusBackend()
{
    for (Entry& e : entries_)
        releaseIcon(e.icon);
}

QImage TrayStatusBackend::squareImage(const QImage& image)
{
    if (image.isNull()) {
        QImage blank(16, 16, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        return blank;
    }
    const int side = std::max(image.width(), image.height());
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QImage source = image;
    source.setDevicePixelRatio(1.0);
    {
        QPainter painter(&square);
        painter.drawImage(QPoint((side - image.width()) / 2, (side - image.height()) / 2), source);
    }
    square.setDevicePixelRatio(image.devicePixelRatio());
    return square;
}

TrayStatusBackend::Entry* TrayStatusBackend::find(const StatusItem* item)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [item](const Entry& e) { return e.item == item; });
    return it == entries_.end() ? nullptr : &*it;
}

const TrayStatusBackend::Entry* TrayStatusBackend::find(const StatusItem* item) const
{
    return const_cast<TrayStatusBackend*>(this)->find(item);
}

QSystemTrayIcon* TrayStatusBackend::trayIcon(const StatusItem* item) const
{
    const Entry* e = find(item);
    return e ? e->icon : nullptr;
}

void TrayStatusBackend::addItem(StatusItem* item)
{
    if (find(item))
        return;
    // Parented to its item so that the item's owner can find it; let go before the item dies.
    auto* icon = new QSystemTrayIcon(item);
    QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                     [item, icon](QSystemTrayIcon::ActivationReason reason) {
        Qt::MouseButton button = Qt::NoButton;
        switch (reason) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:  // the second press of a quick pair is a click too
            button = Qt::LeftButton;
            break;
        case QSystemTrayIcon::Context:
            button = Qt::RightButton;
            break;
        case QSystemTrayIcon::MiddleClick:
            button = Qt::MiddleButton;
            break;
        case QSystemTrayIcon::Unknown:
            return;
        }
        QRect rect = icon->geometry();
        if (rect.isEmpty())
            rect = QRect(QCursor::pos() - QPoint(kFallbackSide / 2, kFallbackSide / 2),
                         QSize(kFallbackSide, kFallbackSide));
        emit item->clicked(rect, button);
    });
    entries_.push_back({item, icon, 0});
    updateItem(item);
}

void TrayStatusBackend::removeItem(StatusItem* item)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [item](const Entry& e) { return e.item == item; });
    if (it == entries_.end())
        return;
    releaseIcon(it->icon);
    entries_.erase(it);
}

void TrayStatusBackend::updateItem(StatusItem* item)
{
    Entry* e = find(item);
    if (!e)
        return;
    const QImage image = item->image();
    if (e->icon->icon().isNull() || e->imageKey != image.cacheKey()) {
        e->icon->setIcon(QIcon(QPixmap::fromImage(squareImage(image))));
        e->imageKey = image.cacheKey();
    }
    if (e->icon->toolTip() != item->toolTip())
        e->icon->setToolTip(item->toolTip());
    e->icon->setVisible(item->isVisible());
}

QRect TrayStatusBackend::screenRect(const StatusItem* item) const
{
    const Entry* e = find(item);
    return e && e->icon->isVisible() ? e->icon->geometry() : QRect();
}

bool TrayStatusBackend::containsScreenPoint(const QPoint& globalPos) const
{
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.icon->isVisible() && e.icon->geometry().contains(globalPos);
    });
}
