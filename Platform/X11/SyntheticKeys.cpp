#include "Platform/X11/SyntheticKeys.h"

#include "Platform/X11/KeyCodes.h"

#include <QGuiApplication>

// X11 headers last: their macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

SyntheticKeys* g_override = nullptr;

Display* x11Display() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

}  // namespace

SyntheticKeys& SyntheticKeys::shared() {
    if (g_override) return *g_override;
    static XTestSyntheticKeys* keys = new XTestSyntheticKeys();  // kept for the life of the process
    return *keys;
}

void SyntheticKeys::setShared(SyntheticKeys* keys) { g_override = keys; }

bool XTestSyntheticKeys::isAvailable() const {
    Display* display = x11Display();
    if (!display) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
}

bool XTestSyntheticKeys::post(const SyntheticKeyEvent& event) {
    Display* display = x11Display();
    if (!display) return false;
    const auto keyCode = KeyCodes::toX11KeyCode(event.keyCode);
    if (!keyCode) return false;
    const bool sent = XTestFakeKeyEvent(display, *keyCode, event.keyDown ? True : False, CurrentTime);
    XFlush(display);
    return sent;
}
