#include "Platform/Ui/TrayStatusBackend.h"

#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>

namespace {
// Stands in for the icon's rectangle where the tray host does not tell it (StatusNotifierItem).
constexpr int kFallbackSide = 24;

// An icon drawn at whatever size the tray paints it, so that a reading stays sharp at 22 or 24 px.
class SquareDrawingEngine : public QIconEngine {
public:
    explicit SquareDrawingEngine(StatusItem::SquareDrawing drawing) : drawing_(std::move(drawing)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(rect.width(), rect.height());
        const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->save();
        drawing_(*painter, square);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        scale = scale > 0 ? scale : 1.0;
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        painter.end();
        return QPixmap::fromImage(image);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }

    QIconEngine* clone() const override { return new SquareDrawingEngine(drawing_); }
    QString key() const override { return QStringLiteral("SquareDrawingEngine"); }

private:
    StatusItem::SquareDrawing drawing_;
};

void releaseIcon(QSystemTrayIcon* icon)
{
    QObject::disconnect(icon, nullptr, nullptr, nullptr);
    icon->hide();
    icon->setParent(nullptr);
    // Removal may come from inside the icon's own activation handler.
    icon->deleteLater();
}
}  // namespace

namespace {
// Reports the moves and resizes of the windows Qt docks in the tray for our icons, and of the
// tray's windows that hold them: the tray moves its sockets, not our windows in them.
class IconWindowWatcher : public QObject {
public:
    explicit IconWindowWatcher(std::function<void()> moved) : moved_(std::move(moved))
    {
        XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
            heard(event);
            return false;
        });
    }

    void watch(QWidget* icon)
    {
        icon->installEventFilter(this);
        icons_.append(icon);
        followHolders();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            report();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void report()
    {
        if (moved_)
            moved_();
    }

    bool isIcon(xcb_window_t window) const
    {
        return std::any_of(icons_.begin(), icons_.end(), [window](const QPointer<QWidget>& icon) {
            return icon && icon->testAttribute(Qt::WA_WState_Created) && xcb_window_t(icon->winId()) == window;
        });
    }

    // Once Qt has taken in the event too: it tells where a docked icon is only once it knows it
    // is docked (XEMBED_EMBEDDED_NOTIFY).
    void reportSoon()
    {
        if (reportPending_)
            return;
        reportPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                reportPending_ = false;
                report();
            },
            Qt::QueuedConnection);
    }

    void heard(const xcb_generic_event_t* event)
    {
        switch (event->response_type & ~0x80) {
        case XCB_REPARENT_NOTIFY: {
            // Docked, or taken out, or a holder put in another: other windows hold it now.
            const xcb_window_t window = reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window;
            if (holders_.contains(window) || isIcon(window)) {
                followHolders();
                reportSoon();
            }
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            // A holder moved, or the tray moved our window inside it (which Qt does not report).
            const xcb_window_t window = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
            if (holders_.contains(window) || isIcon(window))
                reportSoon();
            break;
        }
        case XCB_CLIENT_MESSAGE:
            // The tray's word that it has docked the icon (XEmbed).
            if (isIcon(reinterpret_cast<const xcb_client_message_event_t*>(event)->window))
                reportSoon();
            break;
        case XCB_DESTROY_NOTIFY:
            holders_.remove(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
            break;
        default:
            break;
        }
    }

    // Hears of the moves of every window between our icons and the root.
    void followHolders()
    {
        xcb_connection_t* c = XServer::connection();
        if (!c)
            return;
        icons_.removeAll(nullptr);
        const xcb_window_t root = XServer::root();
        QSet<xcb_window_t> holders;
        for (const QPointer<QWidget>& icon : std::as_const(icons_)) {
            if (!icon->testAttribute(Qt::WA_WState_Created))
                continue;
            xcb_window_t window = xcb_window_t(icon->winId());
            for (int depth = 0; depth < 8; ++depth) {
                XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
                if (!tree || tree->parent == XCB_NONE || tree->parent == root)
                    break;
                window = tree->parent;
                holders.insert(window);
            }
        }
        for (const xcb_window_t window : std::as_const(holders_))
            if (!holders.contains(window))
                XServer::hear(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, false);
        for (const xcb_window_t window : std::as_const(holders))
            if (!holders_.contains(window))
                XServer::hear(window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, true);
        holders_ = holders;
    }

    std::function<void()> moved_;
    bool reportPending_ = false;
    QList<QPointer<QWidget>> icons_;
    QSet<xcb_window_t> holders_;  // other programs' windows, which go when they like
};
}  // namespace

TrayStatusBackend::TrayStatusBackend(std::function<void()> moved)
    : iconWatcher_(std::make_unique<IconWindowWatcher>(std::move(moved)))
{
}

TrayStatusBackend::~TrayStatusBackend()
{
    iconWatcher_.reset();
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
    entries_.push_back({item, icon, 0, {}, false, true});
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
    if (item->squareDrawing()) {
        if (e->stale || !e->drawn || e->drawingKey != item->squareDrawingKey()) {
            e->icon->setIcon(QIcon(new SquareDrawingEngine(item->squareDrawing())));
            e->drawingKey = item->squareDrawingKey();
            e->drawn = true;
            e->stale = false;
        }
    } else {
        const QImage image = item->image();
        if (e->stale || e->drawn || e->imageKey != image.cacheKey()) {
            e->icon->setIcon(QIcon(QPixmap::fromImage(squareImage(image))));
            e->imageKey = image.cacheKey();
            e->drawn = false;
            e->stale = false;
        }
    }
    if (e->icon->toolTip() != item->toolTip())
        e->icon->setToolTip(item->toolTip());
    if (!item->isVisible()) {
        e->icon->hide();
    } else if (!e->icon->isVisible() && !showPending_) {
        showPending_ = true;
        QMetaObject::invokeMethod(&context_, [this] { showPending(); }, Qt::QueuedConnection);
    }
}

void TrayStatusBackend::showPending()
{
    showPending_ = false;
    // In the order the items were made: a tray that puts each new icon before the others (as
    // trayer does) then shows the first-made rightmost, as on a menu bar.
    for (Entry& e : entries_) {
        if (e.item->isVisible() && !e.icon->isVisible())
            e.icon->show();
    }
    watchIconWindows();
}

void TrayStatusBackend::watchIconWindows()
{
    // Qt docks each icon as a window of its own, which QSystemTrayIcon does not expose.
    static const char* const watched = "QuorvinTrayIconWatched";
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && !widget->property(watched).toBool()) {
            widget->setProperty(watched, true);
            static_cast<IconWindowWatcher*>(iconWatcher_.get())->watch(widget);
        }
    }
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
