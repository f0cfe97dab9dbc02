// Our floating windows go back above another program's ordinary window that covers them, but
// never above its override-redirect windows (a screen locker, a menu) or a window full-screen on
// their screen, with and without a window manager.
#include "Platform/X11/StaysOnTop.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/Xutil.h>

namespace {

// fullScreenBehind: a full-screen window with an ordinary window mapped over it (one switched away
// from), no barrier then; fullScreenAskedOnly: the ordinary window asks for full screen but does not
// cover the screen, no barrier either; dragIcon: a window typed as a drag-and-drop icon that is not
// override-redirect.
enum class Barrier {
    none,
    menu,
    fullScreenOverride,
    fullScreenManaged,
    fullScreenBehind,
    fullScreenAskedOnly,
    dragIcon
};

struct Neighbourhood {
    const char* name;
    bool windowManager;
    Barrier barrier;
    // The root still names the check window of a window manager that has gone.
    bool windowManagerGone = false;
};

// The window one of ours must stay below: a notification over the strip only or over the pet only,
// a full-screen window (with an ordinary window near the pet only), the window manager's own menu
// over the pet.
enum class Ceiling { notificationOverStrip, notificationOverPet, fullScreen, windowManagerMenu };
// How the ordinary window comes over ours: mapped after the ceiling, mapped before it, or mapped
// before it and raised after it.
enum class Arrival { mappedAfter, mappedBefore, raisedAfter };

struct Crowd {
    const char* name;
    bool windowManager;
    Ceiling ceiling;
    Arrival arrival;
    bool stripOverPet;  // the strip mapped after the pet
};

// Another program's windows, on a connection of its own.
class OtherProgram {
public:
    OtherProgram() : display_(XOpenDisplay(nullptr)) {}
    ~OtherProgram() {
        if (display_) XCloseDisplay(display_);
    }
    Display* display() const { return display_; }

    Window map(const QRect& r, bool overrideRedirect, bool fullScreen = false, const char* type = nullptr) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = overrideRedirect;
        attributes.background_pixel = 0x3366cc;
        const Window w =
            XCreateWindow(display_, DefaultRootWindow(display_), r.x(), r.y(), r.width(), r.height(), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        // Where it asks to be: a window manager keeps the place.
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = r.x();
        hints.y = r.y();
        hints.width = r.width();
        hints.height = r.height();
        XSetWMNormalHints(display_, w, &hints);
        if (fullScreen) {
            const Atom state = XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False);
            XChangeProperty(display_, w, XInternAtom(display_, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&state), 1);
        }
        if (type) {
            const Atom kind = XInternAtom(display_, type, False);
            XChangeProperty(display_, w, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(&kind), 1);
        }
        XMapRaised(display_, w);
        XSync(display_, False);
        return w;
    }

    // Moved a little and raised, as a window already shown is.
    void raise(Window w, const QPoint& to) {
        XWindowChanges changes{};
        changes.x = to.x();
        changes.y = to.y();
        changes.stack_mode = Above;
        XConfigureWindow(display_, w, CWX | CWY | CWStackMode, &changes);
        XSync(display_, False);
    }

private:
    Display* display_;
};

// Shown where the window manager (if any) wants it: framed unless override-redirect, and viewable.
bool shown(Window w, bool windowManager) {
    Display* d = X11Test::display();
    XWindowAttributes own{}, top{};
    const Window frame = X11Test::topLevel(w);
    return XGetWindowAttributes(d, w, &own) && (!windowManager || own.override_redirect || frame != w) &&
           XGetWindowAttributes(d, frame, &top) && top.map_state == IsViewable;
}

template <typename Param>
class WithWindowManager : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr);
        if (!this->GetParam().windowManager) return;
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (openbox.isEmpty()) GTEST_SKIP() << "openbox is not installed";
        windowManager_ = X11Test::startWindowManager(openbox);
        ASSERT_TRUE(windowManager_);
    }
    void TearDown() override {
        if (!windowManager_) return;
        windowManager_->terminate();
        windowManager_->waitForFinished(3000);
    }

    std::unique_ptr<QProcess> windowManager_;
};

class StaysOnTopX11 : public WithWindowManager<Neighbourhood> {
protected:
    void SetUp() override {
        WithWindowManager::SetUp();
        if (GetParam().windowManagerGone) X11Test::leaveGoneWindowManagerCheck();
    }
    void TearDown() override {
        if (GetParam().windowManagerGone)
            XDeleteProperty(X11Test::display(), DefaultRootWindow(X11Test::display()),
                            XInternAtom(X11Test::display(), "_NET_SUPPORTING_WM_CHECK", False));
        WithWindowManager::TearDown();
    }
};

class StaysOnTopCeilingX11 : public WithWindowManager<Crowd> {};

// The window manager's menu shown on the root; none while it shows none.
Window shownWindowManagerMenu() {
    Display* d = X11Test::display();
    const Atom menu = XInternAtom(d, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    for (const Window w : X11Test::rootStack()) {
        XWindowAttributes attributes{};
        const std::vector<unsigned long> types = X11Test::propertyValues(w, "_NET_WM_WINDOW_TYPE", XA_ATOM);
        if (std::find(types.begin(), types.end(), menu) != types.end() && XGetWindowAttributes(d, w, &attributes) &&
            attributes.map_state == IsViewable)
            return w;
    }
    return None;
}

// Like the bar strip (managed, at the top right, brought back by the root's reports) and the pet
// (unmanaged, brought back as it moves), not shown yet.
struct StripAndPet {
    QWidget strip{nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus};
    QWidget pet{nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint};
    StaysOnTop* stripKeeper = nullptr;

    explicit StripAndPet(const QRect& screen) {
        strip.setGeometry(screen.right() - 300, 0, 300, 24);
        strip.winId();
        stripKeeper = new StaysOnTop(strip.windowHandle(), StaysOnTop::Watch::covering);
        pet.setGeometry(screen.right() - 400, 0, 44, 24);
    }
};

}  // namespace

TEST_P(StaysOnTopX11, RisesOnlyAboveOrdinaryWindows) {
    const Neighbourhood hood = GetParam();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    StripAndPet ours(screen);
    QWidget &strip = ours.strip, &pet = ours.pet;
    StaysOnTop* stripKeeper = ours.stripKeeper;
    strip.show();
    pet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pet));
    auto* petKeeper = new StaysOnTop(pet.windowHandle(), StaysOnTop::Watch::ownChanges);
    // A window manager keeps the strip in its layer: only the pet is ours to keep then.
    std::vector<std::pair<QWidget*, StaysOnTop*>> kept{{&pet, petKeeper}};
    if (!hood.windowManager) kept.emplace_back(&strip, stripKeeper);
    auto id = [](QWidget* w) { return Window(w->winId()); };

    OtherProgram program;
    ASSERT_NE(program.display(), nullptr);
    const Window behind = hood.barrier == Barrier::fullScreenBehind ? program.map(screen, false, true) : None;
    const Window ordinary =
        program.map(QRect(screen.right() - 500, 0, 500, 200), false, hood.barrier == Barrier::fullScreenAskedOnly);
    Window barrier = None;
    switch (hood.barrier) {
    case Barrier::none:
    case Barrier::fullScreenBehind:
    case Barrier::fullScreenAskedOnly: break;
    case Barrier::menu: barrier = program.map(QRect(screen.right() - 420, 10, 200, 150), true); break;
    case Barrier::fullScreenOverride: barrier = program.map(screen, true); break;
    case Barrier::fullScreenManaged: barrier = program.map(screen, false, true); break;
    case Barrier::dragIcon:
        barrier = program.map(QRect(screen.right() - 420, 10, 200, 150), false, false, "_NET_WM_WINDOW_TYPE_DND");
        break;
    }
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return shown(ordinary, hood.windowManager) && (barrier == None || shown(barrier, hood.windowManager)) &&
               (behind == None || shown(behind, hood.windowManager));
    }));
    if (behind != None) {
        ASSERT_TRUE(TestSupport::waitFor([&] {
            return X11Test::serverGeometry(X11Test::topLevel(behind)) == screen &&
                   X11Test::stackedBelow(X11Test::topLevel(behind), X11Test::topLevel(ordinary));
        })) << "the ordinary window is not over the full-screen one";
    }
    if (hood.barrier == Barrier::fullScreenManaged && hood.windowManager) {
        ASSERT_TRUE(TestSupport::waitFor([&] { return X11Test::serverGeometry(X11Test::topLevel(barrier)) == screen; }))
            << "the window manager did not make the window full-screen";
    }

    // Each looks at the stack: below the barrier, and above the ordinary window where that is below
    // the barrier (a window manager may stack a full-screen window that has no focus under others).
    auto placed = [&](QWidget* window) {
        const Window other = X11Test::topLevel(ordinary);
        if (barrier == None) return X11Test::stackedBelow(other, id(window));
        const Window top = X11Test::topLevel(barrier);
        return X11Test::stackedBelow(id(window), top) &&
               (X11Test::stackedBelow(id(window), other) == X11Test::stackedBelow(top, other));
    };
    auto where = [&](QWidget* window) {
        const std::vector<Window> order = X11Test::rootStack();
        auto at = [&](Window w) { return int(std::find(order.begin(), order.end(), w) - order.begin()); };
        return QString::asprintf("%s at %d, ordinary at %d, barrier at %d", window == &pet ? "pet" : "strip",
                                 at(id(window)), at(X11Test::topLevel(ordinary)),
                                 barrier == None ? -1 : at(X11Test::topLevel(barrier)))
            .toStdString();
    };
    // (A window manager may restack its windows as the focus moves: the pet looks again as it walks.)
    auto settled = [&](QWidget* window) {
        return TestSupport::waitFor([&] {
            petKeeper->changed();
            return placed(window);
        });
    };
    for (const auto& [window, keeper] : kept) keeper->raise();
    for (const auto& [window, keeper] : kept) EXPECT_TRUE(settled(window)) << where(window);

    if (barrier != None || behind != None) {
        // Mapped again, on top of all: back below the barrier, still above the ordinary window.
        for (const auto& [window, keeper] : kept) {
            window->hide();
            window->show();
        }
        for (const auto& [window, keeper] : kept) EXPECT_TRUE(settled(window)) << where(window);
        return;
    }

    // A window manager stacks the windows it manages among themselves, under an unmanaged one mapped
    // before them.
    if (hood.windowManager) return;
    // The strip: the ordinary window moved and raised over it again, with no new map. (A shown pet
    // looks for it.)
    pet.hide();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        XWindowAttributes root{};
        XGetWindowAttributes(X11Test::display(), DefaultRootWindow(X11Test::display()), &root);
        return (root.your_event_mask & SubstructureNotifyMask) != 0;
    }));
    program.raise(ordinary, QPoint(screen.right() - 510, 0));
    EXPECT_TRUE(TestSupport::waitFor([&] { return X11Test::stackedBelow(ordinary, id(&strip)); }, 5000));
    // The pet, still for more than the interval since it was shown, looks again at its next change.
    pet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pet));
    QElapsedTimer still;
    still.start();
    ASSERT_TRUE(TestSupport::waitFor([&] { return still.elapsed() > StaysOnTop::intervalMs; }));
    const Window later = program.map(QRect(screen.right() - 420, 0, 100, 100), false);
    EXPECT_TRUE(TestSupport::waitFor(
        [&] {
            petKeeper->changed();
            return X11Test::stackedBelow(later, id(&pet));
        },
        5000));
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, StaysOnTopX11,
    ::testing::Values(Neighbourhood{"Ordinary", false, Barrier::none}, Neighbourhood{"Menu", false, Barrier::menu},
                      Neighbourhood{"FullScreenOverride", false, Barrier::fullScreenOverride},
                      Neighbourhood{"FullScreenManaged", false, Barrier::fullScreenManaged},
                      Neighbourhood{"FullScreenBehindOrdinary", false, Barrier::fullScreenBehind},
                      Neighbourhood{"AsksFullScreenWithoutCoveringIt", false, Barrier::fullScreenAskedOnly},
                      Neighbourhood{"DragIcon", false, Barrier::dragIcon},
                      Neighbourhood{"OrdinaryAfterWindowManagerGone", false, Barrier::none, true},
                      Neighbourhood{"MenuAfterWindowManagerGone", false, Barrier::menu, true},
                      Neighbourhood{"OrdinaryUnderOpenbox", true, Barrier::none},
                      Neighbourhood{"MenuUnderOpenbox", true, Barrier::menu},
                      Neighbourhood{"FullScreenOverrideUnderOpenbox", true, Barrier::fullScreenOverride},
                      Neighbourhood{"FullScreenManagedUnderOpenbox", true, Barrier::fullScreenManaged},
                      Neighbourhood{"FullScreenBehindOrdinaryUnderOpenbox", true, Barrier::fullScreenBehind}),
    [](const ::testing::TestParamInfo<Neighbourhood>& info) { return std::string(info.param.name); });

// Each of ours keeps its own ceiling: restacking one never lifts another over a window it must stay
// below, and each still goes above the ordinary window that covers it where its ceiling allows.
TEST_P(StaysOnTopCeilingX11, EachKeepsItsOwnCeiling) {
    const Crowd crowd = GetParam();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    StripAndPet ours(screen);
    QWidget &strip = ours.strip, &pet = ours.pet;
    StaysOnTop* stripKeeper = ours.stripKeeper;
    for (QWidget* w : crowd.stripOverPet ? std::vector<QWidget*>{&pet, &strip} : std::vector<QWidget*>{&strip, &pet}) {
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    }
    auto* petKeeper = new StaysOnTop(pet.windowHandle(), StaysOnTop::Watch::ownChanges);
    std::vector<std::pair<QWidget*, StaysOnTop*>> kept{{&pet, petKeeper}};
    if (!crowd.windowManager) kept.emplace_back(&strip, stripKeeper);
    auto id = [](QWidget* w) { return Window(w->winId()); };

    OtherProgram program;
    ASSERT_NE(program.display(), nullptr);
    // Wide over both of ours, or near the pet only beside a full-screen window.
    const QRect ordinaryPlace = crowd.ceiling == Ceiling::fullScreen ? QRect(screen.right() - 459, 0, 100, 100)
                                                                     : QRect(screen.right() - 1279, 0, 1280, 120);
    auto mapCeiling = [&]() -> Window {
        switch (crowd.ceiling) {
        case Ceiling::notificationOverStrip: return program.map(QRect(screen.right() - 279, 0, 280, 80), true);
        case Ceiling::notificationOverPet: return program.map(QRect(screen.right() - 459, 0, 100, 80), true);
        case Ceiling::fullScreen: return program.map(screen, false, true);
        case Ceiling::windowManagerMenu:
            // Its root menu, opened on the desktop beside the pet. (It may go under the pet at once:
            // openbox stacks it among its own windows only.)
            X11Test::click(QPoint(screen.right() - 459, 2), 3);
            TestSupport::waitFor([] { return shownWindowManagerMenu() != None; });
            return shownWindowManagerMenu();
        }
        return None;
    };
    Window ordinary = None, ceiling = None;
    if (crowd.arrival == Arrival::mappedAfter) ceiling = mapCeiling();
    ordinary = program.map(ordinaryPlace, false);
    if (crowd.arrival != Arrival::mappedAfter) ceiling = mapCeiling();
    ASSERT_NE(ceiling, None);
    // (The window manager's menu is neither override-redirect nor framed.)
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return shown(ordinary, crowd.windowManager) &&
               (crowd.ceiling == Ceiling::windowManagerMenu || shown(ceiling, crowd.windowManager));
    }));
    if (crowd.arrival == Arrival::raisedAfter) program.raise(ordinary, ordinaryPlace.topLeft());

    auto ordinaryOver = [&](QWidget* w) { return w == &pet || crowd.ceiling != Ceiling::fullScreen; };
    const Window top = X11Test::topLevel(ceiling);
    // A full-screen window is no ceiling for one of ours with an ordinary window over both.
    auto underCeiling = [&](QWidget* w) {
        switch (crowd.ceiling) {
        case Ceiling::notificationOverStrip: return w == &strip;
        case Ceiling::notificationOverPet:
        case Ceiling::windowManagerMenu: return w == &pet;
        case Ceiling::fullScreen: return !(ordinaryOver(w) && X11Test::stackedBelow(top, X11Test::topLevel(ordinary)));
        }
        return false;
    };
    // Below its ceiling (and above the ordinary window where that is below the ceiling), else above
    // the ordinary window.
    auto placed = [&](QWidget* w) {
        const Window other = X11Test::topLevel(ordinary);
        if (!underCeiling(w)) return X11Test::stackedBelow(other, id(w));
        return X11Test::stackedBelow(id(w), top) &&
               (!ordinaryOver(w) || X11Test::stackedBelow(id(w), other) == X11Test::stackedBelow(top, other));
    };
    auto name = [&](QWidget* w) { return std::string(w == &pet ? "the pet" : "the strip"); };
    std::string lifted;
    auto checkCeilings = [&](const char* after) {
        for (QWidget* w : {&pet, &strip}) {
            if (lifted.empty() && std::any_of(kept.begin(), kept.end(), [&](auto& k) { return k.first == w; }) &&
                underCeiling(w) && !X11Test::stackedBelow(id(w), top))
                lifted = name(w) + " is over its ceiling after " + after;
        }
    };
    for (const auto& [window, keeper] : kept) {
        keeper->raise();
        checkCeilings(window == &pet ? "the pet's restack" : "the strip's restack");
    }
    for (const auto& [window, keeper] : kept) {
        const std::string misplaced = name(window) + " is misplaced";
        EXPECT_TRUE(TestSupport::waitFor([&] {
            petKeeper->changed();
            checkCeilings("a look");
            return placed(window);
        })) << misplaced;
    }
    EXPECT_EQ(lifted, "");
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, StaysOnTopCeilingX11,
    ::testing::Values(
        Crowd{"NotificationOverStripThenOrdinary", false, Ceiling::notificationOverStrip, Arrival::mappedAfter, true},
        Crowd{"NotificationOverStripThenOrdinaryRaised", false, Ceiling::notificationOverStrip, Arrival::raisedAfter,
              true},
        Crowd{"OrdinaryThenNotificationOverStrip", false, Ceiling::notificationOverStrip, Arrival::mappedBefore, true},
        Crowd{"NotificationOverPetThenOrdinary", false, Ceiling::notificationOverPet, Arrival::mappedAfter, false},
        Crowd{"NotificationOverPetThenOrdinaryRaised", false, Ceiling::notificationOverPet, Arrival::raisedAfter,
              false},
        Crowd{"FullScreenThenOrdinaryNearPet", false, Ceiling::fullScreen, Arrival::mappedAfter, true},
        Crowd{"OrdinaryNearPetThenFullScreen", false, Ceiling::fullScreen, Arrival::mappedBefore, true},
        Crowd{"NotificationOverStripThenOrdinaryUnderOpenbox", true, Ceiling::notificationOverStrip,
              Arrival::mappedAfter, true},
        Crowd{"NotificationOverPetThenOrdinaryUnderOpenbox", true, Ceiling::notificationOverPet, Arrival::mappedAfter,
              false},
        Crowd{"WindowManagerMenuThenOrdinaryUnderOpenbox", true, Ceiling::windowManagerMenu, Arrival::mappedAfter,
              false}),
    [](const ::testing::TestParamInfo<Crowd>& info) { return std::string(info.param.name); });
