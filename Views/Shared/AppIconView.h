#pragma once

#include <QImage>
#include <QWidget>

class QPainter;

// The application's icon in a size × size frame: the "AppIcon" image of the bundle's resources,
// else the application's window icon, else a drawn stand-in (a gauge on the accent colour).
// The artwork is drawn in a square of side size × 1024 ÷ 824 × 1.02 centred in the frame, so
// the icon's body fills it, and clipped to continuous corners of radius size × 0.2237.
class AppIconView : public QWidget {
    Q_OBJECT
public:
    explicit AppIconView(double size, QWidget* parent = nullptr);

    double iconSize() const { return size_; }

    // The side of the square the artwork is drawn in, and the corner radius of the clip.
    static double artworkSide(double size) { return size * 1024.0 / 824.0 * 1.02; }
    static double cornerRadius(double size) { return size * 0.2237; }

    // The icon artwork: the bundle's "AppIcon" image or the window icon; null when neither exists.
    // Kept once made, at 512 pixels.
    static QImage artwork();
    // The same artwork made afresh at `side` pixels, for a picture drawn once: the kept one holds 1 MB.
    static QImage artwork(int side);
    static void paint(QPainter& painter, const QRectF& frame, const QImage& artwork);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double size_;
};
