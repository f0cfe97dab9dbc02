#pragma once

#include <QImage>
#include <QWidget>

// A QR code image at its own size in points, without smoothing, centred in a 280-point square
// clipped to a rounded rectangle: a larger image loses part of its white margin.
class QRImageView : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 280;
    static constexpr double cornerRadius = 8;

    explicit QRImageView(QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(const QImage& image);
    // The image's size in points.
    QSizeF imageSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};
