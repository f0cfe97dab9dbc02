#include "Platform/X11/UnmanagedWindow.h"

#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QWindow>

#include <cstdlib>
#include <vector>

#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace {
xcb_connection_t* connectionFor(QWindow* window) {
    if (!window || !window->handle()) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Drops the Expose events of a window that were caused before a request of ours marked in it: a
// paint of the whole window follows that mark.
class CoveredExposures : public QObject {
public:
    static CoveredExposures& shared() {
        static auto* filter = new CoveredExposures;
        return *filter;
    }
    void mark(xcb_window_t window, uint32_t sequence) { marks_.insert(window, sequence); }

private:
    CoveredExposures() {
        XServer::subscribe(this, [this](const xcb_generic_event_t* event) { return covered(event); });
    }
    bool covered(const xcb_generic_event_t* event) const {
        if ((event->response_type & ~0x80) != XCB_EXPOSE) return false;
        const auto it = marks_.constFind(reinterpret_cast<const xcb_expose_event_t*>(event)->window);
        // Full sequence numbers: a reused window id never matches an old mark.
        return it != marks_.constEnd() && event->full_sequence < *it;
    }

    QHash<xcb_window_t, uint32_t> marks_;
};
}  // namespace

bool UnmanagedWindow::setInputRegion(QWindow* window, const QRegion& region) {
    xcb_connection_t* c = connectionFor(window);
    if (!c || !xcb_get_extension_data(c, &xcb_shape_id)->present) return false;
    const double ratio = window->devicePixelRatio();
    std::vector<xcb_rectangle_t> rects;
    for (const QRect& r : region) {
        rects.push_back({int16_t(r.x() * ratio), int16_t(r.y() * ratio), uint16_t(r.width() * ratio),
                         uint16_t(r.height() * ratio)});
    }
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, xcb_window_t(window->winId()),
                         0, 0, uint32_t(rects.size()), rects.data());
    xcb_flush(c);
    return true;
}

bool UnmanagedWindow::setShape(QWindow* window, const QRegion& region) {
    xcb_connection_t* c = connectionFor(window);
    if (!c || !xcb_get_extension_data(c, &xcb_shape_id)->present) return false;
    const auto id = xcb_window_t(window->winId());
    if (region.isEmpty()) {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, id, 0, 0, XCB_NONE);
        return true;
    }
    const double ratio = window->devicePixelRatio();
    std::vector<xcb_rectangle_t> rects;
    for (const QRect& r : region) {
        rects.push_back({int16_t(r.x() * ratio), int16_t(r.y() * ratio), uint16_t(r.width() * ratio),
                         uint16_t(r.height() * ratio)});
    }
    // QRegion's rectangles are y-x banded, which spares the server sorting them.
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED, id, 0, 0,
                         uint32_t(rects.size()), rects.data());
    return true;
}

bool UnmanagedWindow::move(QWindow* window, const QPoint& topLeft) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    QScreen* screen = window->screen();
    if (QScreen* target = QGuiApplication::screenAt(topLeft); target && screen && target != screen) return false;
    // Native pixels: each screen keeps its origin and scales the rest by its ratio.
    QPoint native = topLeft;
    if (screen) {
        const QPoint origin = screen->geometry().topLeft();
        native = origin + (topLeft - origin) * screen->devicePixelRatio();
    }
    const uint32_t values[] = {uint32_t(native.x()), uint32_t(native.y())};
    xcb_configure_window(c, xcb_window_t(window->winId()), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    // Qt learns the new place from us rather than from the server's report: an unmanaged window
    // is where it was sent.
    QPlatformWindow* platform = window->handle();
    const QRect placed(native, platform->geometry().size());
    if (placed != platform->geometry()) {
        platform->QPlatformWindow::setGeometry(placed);
        QWindowSystemInterface::handleGeometryChange<QWindowSystemInterface::SynchronousDelivery>(window, placed);
    }
    return true;
}

bool UnmanagedWindow::flush(QWindow* window) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    xcb_flush(c);
    return true;
}

bool UnmanagedWindow::coverExposures(QWindow* window) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    CoveredExposures::shared().mark(xcb_window_t(window->winId()), xcb_no_operation(c).sequence);
    return true;
}

bool UnmanagedWindow::reportChanges(QWindow* window, bool report) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    const auto id = xcb_window_t(window->winId());
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr);
    if (!attributes) return false;
    uint32_t mask = attributes->your_event_mask;
    std::free(attributes);
    uint32_t reports = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (window->format().hasAlpha()) reports |= XCB_EVENT_MASK_EXPOSURE;
    mask = report ? mask | reports : mask & ~reports;
    xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    return true;
}

bool UnmanagedWindow::declareNoFrame(QWindow* window) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    const xcb_atom_t extents = XServer::atom("_NET_FRAME_EXTENTS");
    if (extents == XCB_ATOM_NONE) return false;
    const uint32_t none[4] = {0, 0, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), extents, XCB_ATOM_CARDINAL, 32, 4,
                        none);
    xcb_flush(c);
    return true;
}

bool UnmanagedWindow::arriveAgain(QWindow* window) {
    xcb_connection_t* c = connectionFor(window);
    if (!c) return false;
    const auto id = xcb_window_t(window->winId());
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr));
    XcbReply<xcb_get_geometry_reply_t> place(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr));
    // Only a window on the root: one in a frame would leave it.
    if (!tree || !place || tree->parent != tree->root) return false;
    xcb_reparent_window(c, id, tree->root, place->x, place->y);
    xcb_flush(c);
    return true;
}
