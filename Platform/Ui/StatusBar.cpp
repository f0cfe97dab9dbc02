#include "Platform/Ui/StatusBar.h"

#include "Platform/Ui/BarStripWindow.h"
#include "Platform/Ui/StatusBarBackend.h"
#include "Platform/Ui/StripStatusBackend.h"
#include "Platform/Ui/TrayStatusBackend.h"
#include "Platform/X11/SelectionOwnerWatcher.h"
#include "Platform/X11/SystemTrayColors.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QWidget>

#include <algorithm>
#include <optional>
#include <utility>

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

void StatusItem::setSquareDrawing(const QString& key, SquareDrawing drawing)
{
    if (!drawing && !squareDrawing_)
        return;
    if (drawing && squareDrawing_ && key == squareKey_)
        return;
    squareKey_ = drawing ? key : QString();
    squareDrawing_ = std::move(drawing);
    update();
}

void StatusItem::setToolTip(const QString& text)
{
    if (text == toolTip_)
        return;
    const QString shown = toolTip_;
    toolTip_ = text;
    update();
    // A tooltip up over this item was read when the pointer came to rest: it follows the reading
    // so that it says what the icon under it shows.
    if (shown.isEmpty() || !QToolTip::isVisible() || QToolTip::text() != shown)
        return;
    const QPoint pointer = QCursor::pos();
    QWidget* under = QApplication::widgetAt(pointer);
    const QRect area = screenRect();
    if (under && !area.isEmpty())
        QToolTip::showText(pointer, text, under, QRect(under->mapFromGlobal(area.topLeft()), area.size()));
    else
        QToolTip::showText(pointer, text);
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
    Kind start = kind;
    if (kind == Kind::automatic) {
        auto* watcher = new SelectionOwnerWatcher(SelectionOwnerWatcher::forDefaultScreen("_NET_SYSTEM_TRAY_S"), this);
        // A tray without the XEmbed selection is a D-Bus one: it stays, nothing to follow.
        if (watcher->isWatching() && (watcher->hasOwner() || !QSystemTrayIcon::isSystemTrayAvailable())) {
            trayWatcher_ = watcher;
            connect(watcher, &SelectionOwnerWatcher::ownerChanged, this, &StatusBar::trayOwnerChanged);
            start = watcher->hasOwner() ? Kind::tray : Kind::strip;
            if (std::optional<QColor> color = SystemTrayColors::foreground(watcher->owner()))
                trayInk_ = *color;
            announcedInk_ = trayInk_.isValid();
        } else {
            delete watcher;
            start = QSystemTrayIcon::isSystemTrayAvailable() ? Kind::tray : Kind::strip;
        }
    }
    useBackend(start);
    if (kind_ == Kind::tray)
        scheduleBackgroundLook(0);
}

void StatusBar::useBackend(Kind kind)
{
    if (backend_ && kind == kind_)
        return;
    // The items leave the old backend while it is still the bar's, and come to the new one once it
    // is: whoever reads the bar meanwhile finds it whole. The moves and hides the switch causes are
    // reported once, when it is done.
    switching_ = true;
    std::unique_ptr<StatusBarBackend> next;
    if (kind == Kind::tray)
        next = std::make_unique<TrayStatusBackend>([this] { reportPlace(); });
    else
        next = std::make_unique<StripStatusBackend>();
    if (backend_) {
        for (StatusItem* item : items_)
            backend_->removeItem(item);
    }
    std::unique_ptr<StatusBarBackend> old = std::exchange(backend_, std::move(next));
    kind_ = kind;
    if (QWidget* window = backend_->window())
        window->installEventFilter(this);
    for (StatusItem* item : items_) {
        item->backend_ = backend_.get();
        backend_->addItem(item);
    }
    const bool switched = old != nullptr;
    old.reset();
    switching_ = false;
    if (switched)
        emit placeChanged();
}

void StatusBar::reportPlace()
{
    if (!switching_)
        emit placeChanged();
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (backend_ && watched == backend_->window()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            reportPlace();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void StatusBar::trayOwnerChanged()
{
    const QColor oldInk = ink();
    const Kind oldKind = kind_;
    trayInk_ = QColor();
    trayBackground_ = QColor();
    if (std::optional<QColor> color = SystemTrayColors::foreground(trayWatcher_->owner()))
        trayInk_ = *color;
    announcedInk_ = trayInk_.isValid();
    useBackend(trayWatcher_->hasOwner() ? Kind::tray : Kind::strip);
    if (kind_ != oldKind || ink() != oldInk)
        emit appearanceChanged();
    if (kind_ == Kind::tray)
        scheduleBackgroundLook(0);
}

void StatusBar::scheduleBackgroundLook(int attempt)
{
    // Docking takes a moment; a few looks at most, then the palette's colour stays.
    constexpr int kAttempts = 5;
    if (attempt >= kAttempts)
        return;
    backgroundLook_.schedule(this, 0.3, [this, attempt] {
        if (kind_ != Kind::tray || trayBackground_.isValid())
            return;
        std::optional<QColor> background;
        for (StatusItem* item : items_) {
            if ((background = backgroundBehind(item->screenRect())))
                break;
        }
        if (!background) {
            scheduleBackgroundLook(attempt + 1);
            return;
        }
        // The readings' colours follow the background, not only the ink: always redraw. An ink
        // the tray announced stays.
        if (!announcedInk_)
            trayInk_ = inkFor(*background);
        trayBackground_ = *background;
        emit appearanceChanged();
    });
}

std::optional<QColor> StatusBar::backgroundBehind(const QRect& screenRect)
{
    if (screenRect.isEmpty())
        return std::nullopt;
    QScreen* screen = QGuiApplication::screenAt(screenRect.center());
    if (!screen)
        return std::nullopt;
    const QRect local = screenRect.translated(-screen->geometry().topLeft());
    const QImage shot = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    if (shot.isNull())
        return std::nullopt;
    // Our own drawing may fill most of the square (a tile in the ink of the moment): its outermost
    // ring of pixels is the tray's.
    if (shot.width() < 3 || shot.height() < 3)
        return dominantColor(shot);
    QImage ring(2 * (shot.width() + shot.height()) - 4, 1, QImage::Format_RGB32);
    int n = 0;
    for (int x = 0; x < shot.width(); ++x) {
        ring.setPixel(n++, 0, shot.pixel(x, 0));
        ring.setPixel(n++, 0, shot.pixel(x, shot.height() - 1));
    }
    for (int y = 1; y < shot.height() - 1; ++y) {
        ring.setPixel(n++, 0, shot.pixel(0, y));
        ring.setPixel(n++, 0, shot.pixel(shot.width() - 1, y));
    }
    return dominantColor(ring);
}

QColor StatusBar::dominantColor(const QImage& image)
{
    // The icon's own drawing covers less than half of it: the median lightness is the tray's.
    std::vector<std::pair<int, QRgb>> pixels;
    pixels.reserve(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            pixels.emplace_back(qGray(rgb), rgb);
        }
    }
    if (pixels.empty())
        return {};
    auto middle = pixels.begin() + long(pixels.size() / 2);
    std::nth_element(pixels.begin(), middle, pixels.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return QColor::fromRgb(middle->second);
}

QColor StatusBar::inkFor(const QColor& background)
{
    return background.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(0x1d, 0x1d, 0x1f);
}

QColor StatusBar::ink() const
{
    if (kind_ == Kind::strip)
        return QColor(Qt::white);
    if (trayInk_.isValid())
        return trayInk_;
    return QGuiApplication::palette().color(QPalette::WindowText);
}

QColor StatusBar::background() const
{
    if (kind_ == Kind::strip)
        return BarStripWindow::background;
    return trayBackground_;
}

StatusBar::~StatusBar()
{
    if (QWidget* window = backend_ ? backend_->window() : nullptr)
        window->removeEventFilter(this);
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
    connect(item, &StatusItem::clicked, this,
            [this, item](const QRect& rect, Qt::MouseButton button) { emit itemClicked(item, rect, button); });
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
