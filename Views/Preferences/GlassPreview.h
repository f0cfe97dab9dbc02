#pragma once

#include "Views/Shared/PanelGlass.h"

#include <QString>
#include <QWidget>

class PixelBanner;
class QPainter;

// A glass card and a glass footer that imitate the menu panel (three ring gauges, a "Keyboard
// Cleaning" row; "Settings" and "Quit"), over the animated pixel landscape at dusk, painted with
// the surface every card of the program uses, at the given tint strength and tone.
class GlassPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int previewHeight = 200;
    static constexpr int stackWidth = 210;
    static constexpr int ringSide = 30;

    GlassPreview(double tint, const QString& tone, QWidget* parent = nullptr);

    double tint() const { return tint_; }
    const QString& tone() const { return tone_; }
    // The tone painted: the stored one, or system when it names none.
    PanelGlass::Tone effectiveTone() const { return PanelGlass::effectiveTone(tone_); }
    void setGlass(double tint, const QString& tone);

    // The card's and the footer's rectangles in a preview of the given width.
    static QRectF cardRect(double width);
    static QRectF footerRect(double width);
    // Paints the card and the footer (not the landscape) for a width, in a palette.
    static void paintGlass(QPainter& painter, double width, double tint, PanelGlass::Tone tone, const QPalette& palette);

    // The animated landscape behind the glass.
    PixelBanner* backdrop() const { return backdrop_; }
    QSize sizeHint() const override { return QSize(stackWidth + 40, previewHeight); }
    QSize minimumSizeHint() const override { return QSize(stackWidth + 8, previewHeight); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    double tint_;
    QString tone_;
    PixelBanner* backdrop_ = nullptr;
    QWidget* glass_ = nullptr;
};
