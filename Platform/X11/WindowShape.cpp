#include "Platform/X11/WindowShape.h"

#include <QGuiApplication>
#include <QWindow>

#include <vector>

#include <xcb/shape.h>
#include <xcb/xcb.h>

bool WindowShape::setInputRegion(QWindow* window, const QRegion& region) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window || !xcb_get_extension_data(c, &xcb_shape_id)->present) return false;
    const double ratio = window->devicePixelRatio();
    std::vector<xcb_rectangle_t> rects;
    for (const QRect& r : region) {
        const QRect n(QPoint(int(r.x() * ratio), int(r.y() * ratio)), QSize(int(r.width() * ratio), int(r.height() * ratio)));
        rects.push_back({int16_t(n.x()), int16_t(n.y()), uint16_t(n.width()), uint16_t(n.height())});
    }
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, xcb_window_t(window->winId()),
                         0, 0, uint32_t(rects.size()), rects.data());
    xcb_flush(c);
    return true;
}
