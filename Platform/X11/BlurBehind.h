#pragma once

#include <QRegion>

class QWindow;

// Blur behind a translucent window, where the compositor offers it: one that announces
// _KDE_NET_WM_BLUR_BEHIND_REGION (listed in the root's _NET_SUPPORTED by a window manager that runs,
// or set on the root as the compositor's own announcement) blurs what lies behind the given region
// of the window.
namespace BlurBehind {

// Whether the running compositor announces blur behind windows.
bool isOffered();
// Asks for blur behind `region` (in the window's device pixels), or takes the request back where the
// region is empty; false without an X server or native window. Asked only where isOffered() holds.
bool request(QWindow* window, const QRegion& region);

}  // namespace BlurBehind
