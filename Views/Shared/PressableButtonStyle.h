#pragma once

#include <QGraphicsEffect>
#include <QPointer>

class QAbstractButton;

namespace Motion {
class Animator;
}

// A button look that shrinks the button's drawing about its centre to `scale` while it is
// pressed (1 otherwise), the change animated with Motion.state (a 0.2 s ease-in-out under
// Reduce Motion). Applied to any button as a graphics effect.
class PressableButtonStyle : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit PressableButtonStyle(double scale, QObject* parent = nullptr);

    // Gives button this style (replacing any graphics effect it had); returns the style.
    static PressableButtonStyle* apply(QAbstractButton* button, double scale);

    double scale() const { return scale_; }
    // The scale drawn now.
    double currentScale() const { return current_; }
    // The scale the drawing is heading for.
    double targetScale() const { return target_; }

    void setPressed(bool pressed);

protected:
    void draw(QPainter* painter) override;

private:
    double scale_;
    double current_ = 1;
    double target_ = 1;
    QPointer<Motion::Animator> animator_;
};
