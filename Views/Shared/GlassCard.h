#pragma once

#include "Views/Shared/CardTail.h"
#include "Views/Shared/PanelGlass.h"
#include "Views/Shared/PanelGlassSettings.h"

#include <QColor>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class GlassCardContainer;
class QPainter;

// The shared card surface: the window colour at partial opacity with the panel tone's tint
// over it at the strength of "panelGlassTint", a rim when asked and a tail when given; under
// Reduce Transparency an opaque window-colour card. The settings are read at paint time, so a
// change in the Appearance pane shows at once.
//
// A GlassCard widget draws the surface behind its content. Its rectangle holds the card's body
// and, on the tail edge, the tail's length: the content sits on the body. Cards with a morph
// identifier inside one GlassCardContainer morph into one another (see there).
//
// This is the only glass material there is: no card has a switch for another one.
class GlassCard : public QWidget {
    Q_OBJECT
public:
    // What a surface is painted with.
    struct Appearance {
        QColor window;             // opaque window background
        QColor tint;               // the tone's tint colour
        double tintOpacity = PanelGlassSettings::shared().tint.defaultValue();
        bool reduceTransparency = false;
        bool dark = false;
        QColor text;               // the palette's text colour (rim hairline)

        // The current settings and display options in the given palette.
        static Appearance current(const QPalette& palette);
        bool operator==(const Appearance&) const = default;
    };

    explicit GlassCard(double cornerRadius, std::optional<QString> morphID = std::nullopt, bool drawsRim = true,
                       std::optional<CardTail> tail = std::nullopt, QWidget* parent = nullptr);
    ~GlassCard() override;

    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    const std::optional<QString>& morphID() const { return morphID_; }
    void setMorphID(std::optional<QString> id);
    bool drawsRim() const { return drawsRim_; }
    void setDrawsRim(bool drawsRim);
    const std::optional<CardTail>& tail() const { return tail_; }
    void setTail(std::optional<CardTail> tail);

    // Puts content on the card's body (replacing earlier content, which is deleted).
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // The card's body in rect: rect without the tail's length on the tail edge.
    static QRectF bodyRect(const QRectF& rect, const std::optional<CardTail>& tail);
    // The tail's centre on its edge, kept on the straight part of the edge where there is room.
    static double tailCentre(const QRectF& body, double cornerRadius, const CardTail& tail);
    // The card's outline: the rounded body joined with the tail.
    static QPainterPath shape(const QRectF& rect, double cornerRadius, const std::optional<CardTail>& tail);
    // The colour of the surface's body over `behind` (the sheen and the rim left out): what a
    // text or an icon on the card is read against.
    static QColor surface(const Appearance& appearance, const QColor& behind);
    // The surface in the palette over its own window colour.
    static QColor surface(const QPalette& palette);
    // Paints a card surface into rect.
    static void paint(QPainter& painter, const QRectF& rect, double cornerRadius, bool drawsRim,
                      const std::optional<CardTail>& tail, const Appearance& appearance);

    // While a container morphs this card in, the container paints its surface.
    bool isSurfaceHidden() const { return surfaceHidden_; }
    // Whether the surface is kept as a picture (once the card has been drawn twice at one size).
    bool keepsSurface() const { return !surface_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class GlassCardContainer;
    void setSurfaceHidden(bool hidden);
    void updateMargins();
    void attachToContainer();
    void dropSurface();

    double cornerRadius_;
    std::optional<QString> morphID_;
    bool drawsRim_;
    std::optional<CardTail> tail_;
    QWidget* content_ = nullptr;
    QPointer<GlassCardContainer> container_;
    bool surfaceHidden_ = false;
    // The surface as drawn at the card's size, copied where the card repaints (a figure changing
    // on it, say) instead of filling its shapes again; drawn afresh while the size changes.
    QPixmap surface_;
    Appearance surfaceLook_;
    QSize lastPaintedSize_;
};

// Puts content on a new glass card and returns the card (which takes the content's place as
// the widget to lay out).
GlassCard* glassWell(QWidget* content, double cornerRadius, std::optional<QString> morphID = std::nullopt,
                     bool drawsRim = true, std::optional<CardTail> tail = std::nullopt);
