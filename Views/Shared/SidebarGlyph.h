#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;

// The icon of a sidebar row: the symbol in white, 11 px semibold, centred on a 20 × 20 square
// with continuous corners of radius 5, filled with a gradient of the tint.
class SidebarGlyph : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 20;
    static constexpr double cornerRadius = 5;
    static constexpr double symbolSize = 11;

    SidebarGlyph(QString symbol, QColor tint, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    QColor tint() const { return tint_; }

    static void paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint);
    // The glyph as an image (for item views), at a device pixel ratio.
    static QImage image(const QString& symbol, const QColor& tint, double devicePixelRatio = 1.0);

    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
};
