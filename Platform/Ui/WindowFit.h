#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

#include <functional>

class QScreen;
class QWidget;

// Keeps windows and popups inside the work area of the screen they open on, the window manager's
// frame included, so that no title bar ends up above the screen where it cannot be grabbed.
namespace WindowFit {

// The client rectangle moved inside `area` with `frame` around it, shrunk first where the area is
// smaller than the window. Qt space.
QRect fitted(const QRect& client, const QMargins& frame, const QRect& area);

// The work area (Qt space, Screens::workArea) of the screen holding most of `client`, else of the
// primary screen.
QRect workArea(const QRect& client);

// Fits a top-level window into the work area of the screen it opens on, lowering its minimum size
// where that screen is smaller (a later fit on a larger screen gives back the minimum its owner gave
// it last, at any time). A decorated window not yet shown is fitted with the frame last seen
// on one of ours (or a usual title bar), and once more with its own frame when the window manager
// has framed it.
void fitToWorkArea(QWidget* window);

// Whether a change of the screens (one removed, or one's geometry changed) cut the window: before
// the change every part of it lay on a screen (one or several), after it some part lies on none.
bool cutByChange(const QRect& frame, const QList<QRect>& screensBefore, const QList<QRect>& screensNow);

// From now on, whenever a change of the screens cuts the window while it is shown, it is fitted
// into the work area of the screen it is now on (fitToWorkArea).
void followScreens(QWidget* window);
// From now on, whenever a change of the screens cuts the window while it is shown, `cut` is called
// instead: a popup closes.
void whenCutByScreens(QWidget* window, std::function<void()> cut);

}  // namespace WindowFit
