#pragma once

#include <QImage>

// The little heart over the pet while the pointer rests on it: 7 by 6 pixels beside the sprite's
// top, popping in with a spring, bobbing while shown, fading out when hidden. A model of times:
// the look at any moment follows from the last pop or hide.
class HoverHeart {
public:
    static constexpr int width = 7;
    static constexpr int height = 6;
    // The heart's centre in sprite pixels from the sprite's top-left (it mirrors with the sprite).
    static constexpr double centreX = 34;
    static constexpr double centreY = 4;

    // The heart's pixels, built once: outline #2B1D14, fill #FF6B8B.
    static const QImage& image();

    struct Look {
        double opacity = 0;
        double scale = 1;
        double rise = 0;         // points upward
        bool animating = false;  // the look still changes with time
        bool operator==(const Look&) const = default;
    };

    void pop(double now);
    void hide(double now);
    bool isShown() const { return shown_; }
    Look look(double now) const;

    // The grow spring: mass 0.6, stiffness 260, damping 11, from 0.3 to 1.
    static double growScale(double t);
    static double growDuration();

private:
    bool shown_ = false;
    bool everPopped_ = false;
    double popAt_ = 0;
    double hideAt_ = 0;
    double hideFrom_ = 0;  // opacity when the fade-out began
};
