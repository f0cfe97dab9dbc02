#pragma once

#include <QGraphicsEffect>

// Blurs its widget by `radius` (no blur under Reduce Motion) and draws it at `opacity`. The
// popup's content transitions move between an active state (a radius, opacity 0) and the
// identity (radius 0, opacity 1). At the identity it draws the widget untouched; at opacity 0
// it draws nothing.
class BlurFade : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit BlurFade(double radius = 0, double opacity = 1, QObject* parent = nullptr);

    double radius() const { return radius_; }
    double opacity() const { return opacity_; }
    void setRadius(double radius);
    void setOpacity(double opacity);
    void set(double radius, double opacity);
    // The radius drawn: 0 under Reduce Motion.
    double effectiveRadius() const;
    bool isIdentity() const { return effectiveRadius() <= 0.01 && opacity_ >= 1.0; }

    // A blurred copy of an image (a fast approximation of a Gaussian of that radius).
    static QImage blurred(const QImage& image, double radius);

protected:
    void draw(QPainter* painter) override;
    QRectF boundingRectFor(const QRectF& rect) const override;

private:
    double radius_;
    double opacity_;
};
