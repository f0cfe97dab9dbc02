#pragma once

#include "Views/Shared/PopupTransition.h"

#include <QPointF>
#include <QPointer>

class QWidget;

// The entrance of a popup's content: it grows from a smaller scale to full size about an
// anchor point with a spring, and fades in. Runs as a graphics effect on the content widget and
// removes itself when done.
class PopupEntrance : public PopupTransition {
    Q_OBJECT
public:
    static constexpr double fadeDuration = 0.14;
    static constexpr double reducedMotionFadeDuration = 0.18;

    // Runs the entrance on container, replacing an entrance still running there. anchor is in
    // fractions of the container's width and height from its top-left corner (each clamped to
    // 0 … 1). The scale springs from fromScale to 1 with the given response (seconds) and
    // damping fraction, under an ease-out timing; the opacity goes to 1 in 0.14 s. With Reduce
    // Motion only the fade runs, in 0.18 s. A container that carries another graphics effect
    // is shown at once. Returns the entrance, or nullptr when none runs.
    static PopupEntrance* run(QWidget* container, QPointF anchor, double fromScale, double response, double damping);
    // The entrance running on a widget, or nullptr.
    static PopupEntrance* of(const QWidget* container);

    bool isScaling() const { return scaling_; }

private:
    explicit PopupEntrance(QPointF anchor);
    void finishPart();

    bool scaling_ = false;
    int running_ = 0;
    QPointer<QWidget> container_;
};
