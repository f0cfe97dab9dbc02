#pragma once

#include <QRect>

#include <optional>

// Where the user works: the frame of the front application's front window.
class FrontWindow {
public:
    virtual ~FrontWindow() = default;
    static FrontWindow& shared();
    // Replaces the shared source (tests); nullptr restores the X11 one.
    static void setShared(FrontWindow* source);

    // The frame (decorations included) of the topmost normal, shown window of the application that
    // owns the active window, in Qt's logical coordinates; absent when there is none.
    virtual std::optional<QRect> frame() = 0;
};
