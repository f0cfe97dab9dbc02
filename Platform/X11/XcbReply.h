#pragma once

#include <QGuiApplication>

#include <cstdlib>

#include <xcb/xcb.h>

// Owns one xcb reply and frees it.
template <typename T>
struct XcbReply {
    T* p = nullptr;
    explicit XcbReply(T* reply) : p(reply) {}
    ~XcbReply() { std::free(p); }
    XcbReply(const XcbReply&) = delete;
    XcbReply& operator=(const XcbReply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// Qt's own connection to the X server; null away from X11.
inline xcb_connection_t* qtXcbConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
