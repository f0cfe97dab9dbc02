#include "Platform/X11/GlobalMouseMonitor.h"

#include "Platform/X11/XServer.h"

#include <QCursor>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

#include <X11/Xlib.h>
#include <X11/extensions/XI2.h>
#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace {

struct XConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
};

XConnection xConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) return {};
    return {x11->connection(), xcb_window_t(DefaultRootWindow(x11->display()))};
}

// The XInput extension's major opcode; 0 when the server lacks it.
uint8_t xinputOpcode(xcb_connection_t* connection) {
    static const char name[] = "XInputExtension";
    xcb_query_extension_reply_t* reply =
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr);
    uint8_t opcode = reply && reply->present ? reply->major_opcode : 0;
    std::free(reply);
    return opcode;
}

// XISelectEvents with one mask for all master devices, sent by hand (no xcb binding of the
// extension is needed for one request). The connection has announced XInput 2 already: Qt does.
bool selectRawButtonPress(xcb_connection_t* connection, uint8_t opcode, xcb_window_t root, bool on) {
    struct {
        uint8_t major;
        uint8_t minor;
        uint16_t length;
        uint32_t window;
        uint16_t numMasks;
        uint16_t pad;
        uint16_t deviceId;
        uint16_t maskLength;  // in 4-byte units
        uint32_t mask;
    } request{};
    static_assert(sizeof request == 20);
    request.minor = 46;  // X_XISelectEvents
    request.window = root;
    request.numMasks = 1;
    request.deviceId = XIAllMasterDevices;
    request.maskLength = 1;
    request.mask = on ? uint32_t(XI_RawButtonPressMask) : 0;

    iovec parts[3];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    xcb_protocol_request_t protocol{};
    protocol.count = 1;
    protocol.ext = nullptr;  // the major opcode goes in as given; the minor one is in the request
    protocol.opcode = opcode;
    protocol.isvoid = 1;
    const unsigned int sequence = xcb_send_request(connection, XCB_REQUEST_CHECKED, parts + 2, &protocol);
    xcb_generic_error_t* error = xcb_request_check(connection, xcb_void_cookie_t{sequence});
    const bool ok = error == nullptr;
    std::free(error);
    return ok;
}

}  // namespace

GlobalMouseMonitor& GlobalMouseMonitor::shared() {
    static auto* monitor = new GlobalMouseMonitor;
    return *monitor;
}

GlobalMouseMonitor::GlobalMouseMonitor() = default;

bool GlobalMouseMonitor::select(bool on) {
    const XConnection x = xConnection();
    if (!x.connection) return false;
    if (!subscribed_) {
        subscribed_ = true;
        opcode_ = xinputOpcode(x.connection);
        XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
            if (!running_ || (event->response_type & 0x7f) != XCB_GE_GENERIC) return false;
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (generic->extension != opcode_ || generic->event_type != XI_RawButtonPress) return false;
            uint32_t detail = 0;  // the button, at byte 16 of the raw event
            std::memcpy(&detail, reinterpret_cast<const uint8_t*>(event) + 16, sizeof detail);
            const Qt::MouseButton button = detail == 1 ? Qt::LeftButton : detail == 3 ? Qt::RightButton : Qt::NoButton;
            if (button != Qt::NoButton) emit mouseDown(QCursor::pos(), button);
            return true;  // selected by us alone
        });
    }
    if (opcode_ == 0) return false;
    return selectRawButtonPress(x.connection, opcode_, x.root, on);
}

bool GlobalMouseMonitor::start() {
    if (running_) return true;
    running_ = select(true);
    if (!running_) qWarning("Clicks in other programs' windows cannot be watched here (it needs X11 with XInput 2).");
    return running_;
}

void GlobalMouseMonitor::stop() {
    if (!running_) return;
    running_ = false;
    select(false);
}
