#pragma once

// Whether window transparency is drawn: on X11 only while a compositing manager runs (it owns
// the _NET_WM_CM_S<screen> selection); other platforms always compose.
namespace Compositing {
bool isActive();
}
