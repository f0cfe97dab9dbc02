#include "Platform/Ui/WindowFit.h"

#include "Platform/Gui/Displays.h"
#include "Platform/Gui/Screens.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// A usual title bar and border until one of our windows has been framed.
QMargins g_lastFrame(4, 32, 4, 4);

bool isDecorated(const QWidget* window) {
    const Qt::WindowFlags flags = window->windowFlags();
    const Qt::WindowType type = window->windowType();
    if (flags & (Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)) return false;
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen;
}

void fit(QWidget* window, const QMargins& frame, QRect wanted = {});

// What fitting keeps for a window, owned by the window: the minimum and maximum its owner gave it,
// the size a fit took from it, and the refit that waits for the window manager's frame. A fit on a
// small screen lowers the window's limits and size, and one on a larger screen gives them back; a
// minimum or maximum other than the one the last fit set is the owner's new one.
class Fitting final : public QObject {
public:
    static Fitting& of(QWidget* window) {
        for (QObject* child : window->children())
            if (auto* fitting = dynamic_cast<Fitting*>(child)) return *fitting;
        return *new Fitting(window);
    }

    QSize designedMinimum() {
        const QSize minimum = window_->minimumSize(), maximum = window_->maximumSize();
        if (!set_ || minimum != set_->first || maximum != set_->second) {
            designed_ = minimum;
            designedMaximum_ = maximum;
        }
        return designed_;
    }
    void setMinimum(const QSize& minimum) {
        // A window made one size stays one size: a window manager frames a resizable one otherwise,
        // with handles the fit left no room for.
        const QSize maximum = designedMaximum_ == designed_ ? minimum : designedMaximum_;
        set_ = std::pair(minimum, maximum);
        window_->setMinimumSize(minimum);
        window_->setMaximumSize(maximum);
    }

    // The size a fit on a small screen took from the window, given back by a later fit where it
    // has room, unless the window was resized since.
    QSize sizeBeforeShrink(const QSize& wanted) const {
        return shrunk_ && window_->size() == shrunk_->second ? wanted.expandedTo(shrunk_->first) : wanted;
    }
    // While a fit has taken size or minimum from the window, a change of the screens fits it again
    // where it shows, to give them back.
    void noteFit(const QSize& wanted, const QSize& given) {
        if (given.width() < wanted.width() || given.height() < wanted.height())
            shrunk_ = std::pair(wanted, given);
        else
            shrunk_.reset();
        const bool waits = shrunk_ || (set_ && set_->first != designed_);
        if (waits && !screens_)
            screens_ = connect(&Displays::shared(), &Displays::changed, this, [this] {
                if (window_->isVisible()) WindowFit::fitToWorkArea(window_);
            });
        else if (!waits && screens_)
            disconnect(std::exchange(screens_, {}));
    }

    // Fits the window again once the window manager has put its frame around it: its first
    // exposure with a frame (a window placed where asked is never moved, so no move says it). It
    // fits what was asked for, not what the guess left, so a frame smaller than guessed gives the
    // room back.
    void refitWhenFramed(const QRect& wanted) {
        if (handle_) return;
        handle_ = window_->windowHandle();
        wanted_ = wanted;
        if (handle_) handle_->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != handle_ || event->type() != QEvent::Expose || !window_->isVisible()) return false;
        const QMargins frame = handle_->frameMargins();
        if (frame.isNull()) return false;  // not framed (yet)
        g_lastFrame = frame;
        handle_->removeEventFilter(this);
        handle_ = nullptr;
        fit(window_, frame, wanted_);
        return false;
    }

private:
    explicit Fitting(QWidget* window) : QObject(window), window_(window) {}
    QWidget* window_;  // owns this
    QSize designed_, designedMaximum_;
    std::optional<std::pair<QSize, QSize>> set_;  // the minimum and maximum the last fit set
    QPointer<QWindow> handle_;
    QRect wanted_;
    std::optional<std::pair<QSize, QSize>> shrunk_;  // the size wanted, the size given
    QMetaObject::Connection screens_;
};

// Fits `wanted` (the window's geometry unless given), at least its designed minimum where the
// screen has room for it.
void fit(QWidget* window, const QMargins& frame, QRect wanted) {
    if (wanted.isNull()) wanted = window->geometry();
    const QRect area = WindowFit::workArea(wanted);
    if (area.isEmpty()) return;
    Fitting& fitting = Fitting::of(window);
    const QSize minimum = fitting.designedMinimum();
    // Grown back towards that minimum, and the size it had, where a smaller screen shrank it before.
    wanted.setSize(fitting.sizeBeforeShrink(wanted.size()).expandedTo(minimum));
    const QRect client = WindowFit::fitted(wanted, frame, area);
    fitting.setMinimum(minimum.boundedTo(client.size()));
    fitting.noteFit(wanted.size(), client.size());
    if (client != window->geometry()) window->setGeometry(client);
}

// Looks again at a window when a change of the screens cuts it: fits it, or calls its cut.
class ScreenFollower final : public QObject {
public:
    static void attach(QWidget* window, std::function<void()> cut) {
        ScreenFollower* follower = nullptr;
        for (QObject* child : window->children())
            if ((follower = dynamic_cast<ScreenFollower*>(child))) break;
        if (!follower) follower = new ScreenFollower(window);
        follower->cut_ = std::move(cut);
        static const bool connected = [] {
            known() = screens();
            QObject::connect(&Displays::shared(), &Displays::changed, qApp, &ScreenFollower::screensChanged);
            return true;
        }();
        Q_UNUSED(connected);
    }
    ~ScreenFollower() override { followers().removeAll(this); }

private:
    explicit ScreenFollower(QWidget* window) : QObject(window), window_(window) { followers().append(this); }

    static QList<ScreenFollower*>& followers() {
        static QList<ScreenFollower*> list;
        return list;
    }
    // The screens as last seen.
    static QList<QRect>& known() {
        static QList<QRect> list;
        return list;
    }
    static QList<QRect> screens() {
        QList<QRect> list;
        for (QScreen* screen : QGuiApplication::screens()) list.append(screen->geometry());
        return list;
    }

    static void screensChanged() {
        const QList<QRect> before = known();
        known() = screens();
        if (before == known()) return;
        // A cut may close and delete windows, its own and others.
        QList<QPointer<ScreenFollower>> all;
        for (ScreenFollower* follower : std::as_const(followers())) all.append(follower);
        for (const QPointer<ScreenFollower>& follower : all) {
            if (!follower || !follower->window_->isVisible()) continue;
            if (!WindowFit::cutByChange(follower->window_->frameGeometry(), before, known())) continue;
            if (follower->cut_)
                follower->cut_();
            else
                WindowFit::fitToWorkArea(follower->window_);
        }
    }

    QWidget* window_;  // owns this
    std::function<void()> cut_;
};

}  // namespace

namespace WindowFit {

QRect fitted(const QRect& client, const QMargins& frame, const QRect& area) {
    const QRect inner = area.marginsRemoved(frame);
    QRect r = client;
    r.setWidth(std::max(1, std::min(r.width(), inner.width())));
    r.setHeight(std::max(1, std::min(r.height(), inner.height())));
    r.moveLeft(std::clamp(r.left(), inner.left(), std::max(inner.left(), inner.right() + 1 - r.width())));
    r.moveTop(std::clamp(r.top(), inner.top(), std::max(inner.top(), inner.bottom() + 1 - r.height())));
    return r;
}

QRect workArea(const QRect& client) {
    QScreen* best = nullptr;
    qint64 bestOverlap = -1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect overlap = screen->geometry().intersected(client);
        const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (area > bestOverlap && (area > 0 || screen == QGuiApplication::primaryScreen())) {
            best = screen;
            bestOverlap = area;
        }
    }
    if (!best) best = QGuiApplication::primaryScreen();
    return Screens::workArea(best);
}

bool cutByChange(const QRect& frame, const QList<QRect>& screensBefore, const QList<QRect>& screensNow) {
    // Across two screens side by side counts as on them; a window the user left partly off stays.
    auto partlyOff = [&frame](const QList<QRect>& screens) {
        QRegion off(frame);
        for (const QRect& s : screens) off -= s;
        return !off.isEmpty();
    };
    return !frame.isEmpty() && !partlyOff(screensBefore) && partlyOff(screensNow);
}

void followScreens(QWidget* window) {
    if (window) ScreenFollower::attach(window, {});
}

void whenCutByScreens(QWidget* window, std::function<void()> cut) {
    if (window) ScreenFollower::attach(window, std::move(cut));
}

void fitToWorkArea(QWidget* window) {
    if (!window) return;
    if (!isDecorated(window)) {
        fit(window, QMargins());
        return;
    }
    QWindow* handle = window->windowHandle();
    const QMargins known = window->isVisible() && handle ? handle->frameMargins() : QMargins();
    if (!known.isNull()) {
        g_lastFrame = known;
        fit(window, known);
        return;
    }
    const QRect wanted = window->geometry();
    // Without a window manager no frame will come.
    xcb_connection_t* c = XServer::connection();
    fit(window, c && !WindowManagerCheck::runs(c, XServer::root()) ? QMargins() : g_lastFrame);
    window->winId();  // the native window, whose exposure the refit waits for
    Fitting::of(window).refitWhenFramed(wanted);
}

}  // namespace WindowFit
