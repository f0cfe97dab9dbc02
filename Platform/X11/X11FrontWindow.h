#pragma once

#include "Platform/Desktop/FrontWindow.h"

#include <cstdint>
#include <vector>

// The front window through EWMH on Qt's X connection: the _NET_ACTIVE_WINDOW when it is a normal
// window; otherwise (a utility window or panel is active) the topmost normal, shown window of the
// same _NET_WM_PID in _NET_CLIENT_LIST_STACKING. Its geometry with _NET_FRAME_EXTENTS is the frame.
// Without a window manager there is no front window, nor after one has gone (what it left on the
// root is not read). GUI thread only; a few round trips per call.
class X11FrontWindow final : public FrontWindow {
public:
    X11FrontWindow();
    std::optional<QRect> frame() override;

private:
    std::vector<uint32_t> cardinals(uint32_t window, const char* property, uint32_t type, uint32_t count);
    bool isNormalShown(uint32_t window);
    std::optional<QRect> frameOf(uint32_t window);

    void* connection_ = nullptr;  // xcb_connection_t
    uint32_t root_ = 0;
};
