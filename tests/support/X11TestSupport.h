#pragma once

// Include after the Qt and GoogleTest headers: Xlib defines macros that clash with them.

#include "Platform/X11/Compositing.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QPoint>
#include <QProcess>

#include <memory>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

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

// Starts a window manager and waits until it says it runs (_NET_SUPPORTING_WM_CHECK on the root);
// null when it does not.
inline std::unique_ptr<QProcess> startWindowManager(const QString& program) {
    Display* d = display();
    auto runs = [d] {
        const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool found = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, AnyPropertyType, &type,
                                              &format, &count, &after, &data) == Success &&
                           count == 1;
        if (data) XFree(data);
        return found;
    };
    auto manager = std::make_unique<QProcess>();
    manager->start(program, {});
    if (!manager->waitForStarted(3000) || !TestSupport::waitFor(runs, 5000)) return nullptr;
    // It says so before it is done starting, and openbox leaves alone a window mapped meanwhile:
    // a probe window is mapped again until the window manager has put it in a frame.
    const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
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
        5000);
    XDestroyWindow(d, probe);
    XFlush(d);
    return framed ? std::move(manager) : nullptr;
}

}  // namespace X11Test
