#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QMessageBox;
class QScrollArea;

// What the program's own top-level windows (settings, toolbox, welcome, what's new) share: how one
// is made, placed when built, laid out ahead of use and brought to the front. GUI thread only.
namespace AppWindow {

enum class Frame { fixed, resizable };

// Names the window and makes closing it only hide it, never quit: the program lives in the tray.
// The standard close keys (Ctrl+W, Ctrl+F4) close it, with a window manager or without one. A
// change of the screens that cuts it fits it into the work area of its screen again.
void prepare(QWidget* window, const QString& objectName);

// A window titled and closable but never minimisable, with a maximise button when resizable.
template <typename Window = QWidget>
std::unique_ptr<Window> make(const QString& objectName, Frame frame) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (frame == Frame::resizable) flags |= Qt::WindowMaximizeButtonHint;
    auto window = std::make_unique<Window>(nullptr, flags);
    prepare(window.get(), objectName);
    return window;
}

// Gives the window that size, centred on the primary screen's work area.
void centre(QWidget* window, const QSize& size);

// The window's content in a frameless scroll area that scrolls only where the window is smaller than
// what the content needs (a screen too small for the window): the content is laid out at the
// window's size, never below its own minimum, so no line is squeezed onto another and no control
// is cut off. The content keeps its own background.
QScrollArea* scrollingWhenSmall(QWidget* content);

// Polishes the whole tree and activates every layout, so that the first show has nothing left to build.
void layOutAhead(QWidget* window);

// A message box is as narrow as its text: this gives it room for its title bar's text as well,
// beside the title bar's buttons.
void makeRoomForTitle(QMessageBox* box);

// Restores the window when minimised, fits it into its screen's work area, shows it, raises it and
// activates it.
void bringToFront(QWidget* window);

}  // namespace AppWindow
