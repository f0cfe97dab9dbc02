#pragma once

// Include after the Qt and GoogleTest headers: Xlib defines macros that clash with them.

#include "Platform/X11/Compositing.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "TestSupport.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <xcb/xcb.h>

// Synthetic input on the real X server the *X11Tests programs run on.
namespace X11Test {

// Qt's own connection to the X server, or nullptr when Qt runs on another platform.
inline Display* display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// Presses the modifiers, then the key, and lets go in reverse order.
inline void pressKeys(const std::vector<KeySym>& modifiers, KeySym key) {
    Display* d = display();
    for (KeySym m : modifiers) XTestFakeKeyEvent(d, XKeysymToKeycode(d, m), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, key), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, key), False, CurrentTime);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, *it), False, CurrentTime);
    XFlush(d);
}

// Moves the pointer to a point of the root window and clicks there.
inline void click(const QPoint& at, unsigned button = 1) {
    Display* d = display();
    XTestFakeMotionEvent(d, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(d, button, True, CurrentTime);
    XTestFakeButtonEvent(d, button, False, CurrentTime);
    XFlush(d);
}

// Starts a compositor and waits until it has claimed the screen; null when it has not.
inline std::unique_ptr<QProcess> startCompositor(const QString& program, const QStringList& arguments = {}) {
    auto compositor = std::make_unique<QProcess>();
    compositor->start(program, arguments);
    if (!compositor->waitForStarted(3000) || !TestSupport::waitFor([] { return Compositing::isActive(); }, 5000))
        return nullptr;
    return compositor;
}

// The CARDINAL or WINDOW values of a window's property; empty where it is not set.
inline std::vector<unsigned long> propertyValues(::Window window, const char* name, Atom type = XA_CARDINAL) {
    Display* d = display();
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 16, False, type, &actual, &format, &count, &after,
                           &data) == Success &&
        data && format == 32)
        values.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
    if (data) XFree(data);
    return values;
}

// Whether a window manager says it is there: its _NET_SUPPORTING_WM_CHECK on the root names a
// window that names itself (one that has gone leaves the root's behind).
inline bool windowManagerRuns() { return WindowManagerCheck::runs(XServer::connection(), XServer::root()); }

// Leaves the root as a window manager that has gone does: naming, in its _NET_SUPPORTING_WM_CHECK,
// a check window that is no more.
inline void leaveGoneWindowManagerCheck() {
    Display* d = display();
    const ::Window check = XCreateSimpleWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, 0);
    const Atom atom = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    XChangeProperty(d, check, atom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&check), 1);
    XChangeProperty(d, DefaultRootWindow(d), atom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&check), 1);
    XDestroyWindow(d, check);
    XSync(d, False);
}

// Takes off the root what a window manager that has gone leaves there: its check and lists.
inline void clearWindowManagerLeftovers() {
    Display* d = display();
    for (const char* name : {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED", "_NET_ACTIVE_WINDOW", "_NET_CLIENT_LIST",
                             "_NET_CLIENT_LIST_STACKING", "_NET_WORKAREA"})
        XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False));
    XSync(d, False);
}

// The window's place and size as the X server has them, in root coordinates.
inline QRect serverGeometry(WId id) {
    Display* d = display();
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, ::Window(id), &attributes)) return {};
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(d, ::Window(id), DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

// Waits until a top-level window is on screen where Qt has it: exposed; where a window manager
// runs and manages it, framed, with Qt knowing the frame; and at Qt's place and size on the server
// (in the server's pixels: Qt's scaled by the device pixel ratio, one screen at the origin).
inline bool waitUntilPlaced(QWidget* window, int timeoutMs = 10000) {
    return TestSupport::waitFor(
        [&] {
            if (!window->isVisible() || !window->windowHandle() || !window->windowHandle()->isExposed()) return false;
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(display(), ::Window(window->winId()), &attributes)) return false;
            const int ratio = qRound(window->devicePixelRatio());
            const QRect frame = window->frameGeometry(), inside = window->geometry();
            if (windowManagerRuns() && !attributes.override_redirect) {
                const std::vector<unsigned long> extents =
                    propertyValues(::Window(window->winId()), "_NET_FRAME_EXTENTS");
                if (extents.size() != 4) return false;
                // Qt rounds a frame of an odd number of pixels.
                auto near = [&](unsigned long native, int margin) {
                    return std::abs(int(native) - margin * ratio) < ratio;
                };
                if (!near(extents[0], inside.left() - frame.left()) || !near(extents[2], inside.top() - frame.top()) ||
                    !near(extents[1], frame.right() - inside.right()) ||
                    !near(extents[3], frame.bottom() - inside.bottom()))
                    return false;
            }
            return serverGeometry(window->winId()) == QRect(inside.topLeft() * ratio, inside.size() * ratio);
        },
        timeoutMs);
}

// The root's children from the bottom of the stack to its top.
inline std::vector<::Window> rootStack() {
    Display* d = display();
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<::Window> order;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) && children)
        order.assign(children, children + count);
    if (children) XFree(children);
    return order;
}

// Whether both are children of the root, `lower` below `upper`.
inline bool stackedBelow(::Window lower, ::Window upper) {
    const std::vector<::Window> order = rootStack();
    const auto l = std::find(order.begin(), order.end(), lower), u = std::find(order.begin(), order.end(), upper);
    return l != order.end() && u != order.end() && l < u;
}

// The root's child that holds the window: a window manager's frame, or the window itself.
inline ::Window topLevel(::Window window) {
    Display* d = display();
    for (;;) {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, window, &root, &parent, &children, &count)) return window;
        if (children) XFree(children);
        if (parent == root || parent == 0) return window;
        window = parent;
    }
}

// Waits until the X server has sent every event that the requests made so far on Qt's connection
// caused: a property change of `id` asked after them comes back after those events.
inline bool waitForServerEvents(WId id, int timeoutMs = 5000) {
    struct Marker : QAbstractNativeEventFilter {
        Atom atom = None;
        ::Window window = 0;
        bool seen = false;
        bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
            if (type != "xcb_generic_event_t") return false;
            const auto* event = static_cast<const xcb_property_notify_event_t*>(message);
            if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY && event->window == window && event->atom == atom)
                seen = true;
            return false;
        }
    } marker;
    Display* d = display();
    marker.atom = XInternAtom(d, "_QUORVIN_TEST_MARK", False);
    marker.window = ::Window(id);
    qApp->installNativeEventFilter(&marker);
    const unsigned char byte = 1;
    XChangeProperty(d, ::Window(id), marker.atom, XA_INTEGER, 8, PropModeReplace, &byte, 1);
    XDeleteProperty(d, ::Window(id), marker.atom);
    XFlush(d);
    const bool seen = TestSupport::waitFor([&] { return marker.seen; }, timeoutMs);
    qApp->removeNativeEventFilter(&marker);
    return seen;
}

// Waits until a window manager says it runs (_NET_SUPPORTING_WM_CHECK on the root) and manages
// windows: it says so before it is done starting, and openbox leaves alone a window mapped
// meanwhile, so a probe window is mapped again until the window manager has put it in a frame. The
// probe never takes the keyboard (it says so, and asks not to get it as it shows): a window manager
// would give the keyboard to another window once it has gone.
inline bool waitUntilWindowManagerReady(int timeoutMs = 5000) {
    if (!TestSupport::waitFor([] { return windowManagerRuns(); }, timeoutMs)) return false;
    Display* d = display();
    const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = False;
    XSetWMHints(d, probe, &hints);
    const long never = 0;
    XChangeProperty(d, probe, XInternAtom(d, "_NET_WM_USER_TIME", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&never), 1);
    const bool framed = TestSupport::waitFor(
        [&] {
            Window root = None, parent = None, *children = nullptr;
            unsigned count = 0;
            XQueryTree(d, probe, &root, &parent, &children, &count);
            if (children) XFree(children);
            if (parent != root) return true;
            XMapWindow(d, probe);
            XFlush(d);
            return false;
        },
        timeoutMs);
    XDestroyWindow(d, probe);
    XFlush(d);
    return framed;
}

// Starts a window manager and waits until it manages windows; null when it does not.
inline std::unique_ptr<QProcess> startWindowManager(const QString& program, const QStringList& arguments = {}) {
    auto manager = std::make_unique<QProcess>();
    manager->start(program, arguments);
    if (!manager->waitForStarted(3000) || !waitUntilWindowManagerReady()) return nullptr;
    return manager;
}

// Ends a program as a desktop session does (SIGTERM) and waits until it has gone.
inline bool endProcess(QProcess& process, int timeoutMs = 10000) {
    process.terminate();
    return TestSupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
}

// Whether a system tray holds the screen's tray selection (_NET_SYSTEM_TRAY_S<screen>).
inline bool trayRuns() {
    Display* d = display();
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(d));
    return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
}

// Starts trayer along the top of the screen, at its right (or `align`), and waits until it holds
// the tray's selection; null when it does not.
inline std::unique_ptr<QProcess> startTrayer(const QString& align = QStringLiteral("right")) {
    auto tray = std::make_unique<QProcess>();
    tray->start(QStringLiteral("trayer"), {"--edge", "top", "--align", align, "--widthtype", "request", "--height", "24"});
    if (!tray->waitForStarted(3000) || !TestSupport::waitFor([] { return trayRuns(); }, 10000)) return nullptr;
    return tray;
}

// Gives the screen another size as a change of display does (RandR), on a connection of its own:
// its output goes off, the screen takes the size, and the output comes back in a mode of that
// size. No larger than the size the server started with. False when the server refuses.
// Runs this program's test `filter` on an X server of its own with a screen of `size` ("1600x1200"),
// beside openbox where `framed`, with `helper`'s environment; passes when that one test passed.
inline void runOnAServerOfItsOwn(QProcess& helper, const QString& size, bool framed, const QString& filter,
                                 int timeoutMs) {
    helper.setProcessChannelMode(QProcess::MergedChannels);
    const QString self = QCoreApplication::applicationFilePath();
    const QString test = "--gtest_filter=" + filter;
    QStringList command{"-a", "-s", QString("-screen 0 %1x24 -nolisten tcp").arg(size)};
    if (framed)
        command << "sh" << "-c" << "openbox & \"$0\" \"$1\"; s=$?; kill $!; exit $s" << self << test;
    else
        command << self << test;
    helper.start("xvfb-run", command);
    ASSERT_TRUE(helper.waitForStarted(5000));
    const bool ended = TestSupport::waitFor([&] { return helper.state() == QProcess::NotRunning; }, timeoutMs);
    if (!ended) helper.kill();
    helper.waitForFinished(2000);
    const QByteArray output = helper.readAll();
    EXPECT_TRUE(ended && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0)
        << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

inline bool resizeScreen(int width, int height) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    const Window root = DefaultRootWindow(d);
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    bool done = false;
    if (resources && resources->ncrtc > 0 && resources->noutput > 0) {
        const RRCrtc crtc = resources->crtcs[0];
        RROutput output = resources->outputs[0];
        RRMode mode = None;
        for (int i = 0; i < resources->nmode; ++i)
            if (int(resources->modes[i].width) == width && int(resources->modes[i].height) == height)
                mode = resources->modes[i].id;
        if (mode == None) {
            std::string name = std::to_string(width) + "x" + std::to_string(height);
            XRRModeInfo info{};
            info.width = unsigned(width);
            info.height = unsigned(height);
            info.hTotal = unsigned(width);
            info.vTotal = unsigned(height);
            info.dotClock = 60ul * unsigned(width) * unsigned(height);
            info.name = name.data();
            info.nameLength = unsigned(name.size());
            mode = XRRCreateMode(d, root, &info);
            XRRAddOutputMode(d, output, mode);
        }
        XRRSetCrtcConfig(d, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
        // 96 dots per inch.
        XRRSetScreenSize(d, root, width, height, width * 254 / 960, height * 254 / 960);
        XRRFreeScreenResources(resources);
        resources = XRRGetScreenResources(d, root);
        done = resources &&
               XRRSetCrtcConfig(d, resources, crtc, CurrentTime, 0, 0, mode, RR_Rotate_0, &output, 1) == Success;
    }
    if (resources) XRRFreeScreenResources(resources);
    XSync(d, False);
    XCloseDisplay(d);
    return done;
}

// Declares a RandR monitor `name` over `rect` of the root (as a second display gives), or takes it
// away; the primary one holds the first output. Qt makes a screen of each.
inline void setMonitor(const char* name, const QRect& rect, bool primary) {
    Display* d = display();
    const Window root = DefaultRootWindow(d);
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    if (!resources || resources->noutput == 0) {
        if (resources) XRRFreeScreenResources(resources);
        return;
    }
    XRRMonitorInfo* m = XRRAllocateMonitor(d, primary ? 1 : 0);
    m->name = XInternAtom(d, name, False);
    m->x = rect.x(), m->y = rect.y(), m->width = rect.width(), m->height = rect.height();
    m->mwidth = rect.width() / 4, m->mheight = rect.height() / 4;
    m->primary = primary;
    if (primary) m->outputs[0] = resources->outputs[0];
    XRRSetMonitor(d, root, m);
    XRRFreeMonitors(m);
    XRRFreeScreenResources(resources);
    XSync(d, False);
}
inline void removeMonitor(const char* name) {
    Display* d = display();
    XRRDeleteMonitor(d, DefaultRootWindow(d), XInternAtom(d, name, False));
    XSync(d, False);
}

// resizeScreen(), then waits until Qt has the new size, and the work area too, which a window
// manager gives later.
inline bool resizeScreenAndWait(int width, int height) {
    if (!resizeScreen(width, height)) return false;
    return TestSupport::waitFor(
        [&] {
            QScreen* screen = QGuiApplication::primaryScreen();
            return screen && screen->geometry().size() == QSize(width, height) &&
                   screen->availableGeometry().width() == width;
        },
        10000);
}

// Another program's window, on a connection of its own, that counts the keys it gets.
struct OtherProgram {
    QProcess process;  // the program whose window it is
    Display* d = XOpenDisplay(nullptr);
    ::Window window = 0;
    int keys = 0;

    OtherProgram() {
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        process.waitForStarted();
        window = XCreateSimpleWindow(d, DefaultRootWindow(d), 600, 300, 400, 300, 0, 0, 0x884422);
        const long pid = long(process.processId());
        XChangeProperty(d, window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        XSelectInput(d, window, KeyPressMask);
        XMapRaised(d, window);
        XSync(d, False);
    }
    ~OtherProgram() {
        XDestroyWindow(d, window);
        XCloseDisplay(d);
        process.kill();
        process.waitForFinished();
    }
    // The keys it has got so far.
    int keysHeard() {
        XSync(d, False);
        XEvent event;
        while (XCheckTypedWindowEvent(d, window, KeyPress, &event)) ++keys;
        return keys;
    }
    ::Window focus() {
        ::Window focused = None;
        int revert = 0;
        XGetInputFocus(d, &focused, &revert);
        return focused;
    }
    // Asks the window manager to activate it, as a pager does, until it has the keyboard: openbox
    // gives the keyboard to nobody as it ends its start.
    bool activatedByTheWindowManager() {
        return TestSupport::waitFor([&] {
            if (focus() == window) return true;
            askToActivate();
            return false;
        });
    }
    void askToActivate() {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // from a pager
        XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(d, False);
    }
};

}  // namespace X11Test
