#pragma once

#include "Source/Features/Clipboard/ClipboardPreviewPresentation.h"
#include "Views/Shared/CardTail.h"
#include "Views/Shared/Motion.h"

#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <functional>

class ClipboardPreviewRootView;
class GlassCard;
class QGraphicsOpacityEffect;

// The hover preview card with its entrance: a 26-point glass droplet appears beside the hovered
// row, springs open into the full card with its tail pointing back at the main column, and the
// content then fades in from blurred to sharp. Under Reduce Motion the card is whole from the
// start and only the content fades in.
//
// The layer's area is the card plus 16 of padding on every side, placed by the composite root at
// the snapshot's previewOffset; the widget itself reaches `overshoot` further on every side so
// that the spring may overshoot.
class ClipboardPreviewCompositeLayer : public QWidget {
    Q_OBJECT
public:
    static constexpr int overshoot = 40;
    static constexpr double padding = 16;
    static constexpr double dropletSize = 26;
    static constexpr double tailLength = 8;
    static constexpr double tailHalfHeight = 11;
    static constexpr double contentDelay = 0.18;

    ClipboardPreviewCompositeLayer(const ClipboardPreviewPresentation& preview, QPointF birth, QWidget* parent = nullptr);

    const ClipboardPreviewPresentation& preview() const { return preview_; }
    QPointF birth() const { return birth_; }
    CardTail::Edge side() const { return birth_.x() < 0.5 ? CardTail::Edge::leading : CardTail::Edge::trailing; }
    bool isGrown() const { return isGrown_; }
    bool isContentResolved() const { return isContentResolved_; }
    GlassCard* card() const { return card_; }
    ClipboardPreviewRootView* content() const { return content_; }

    // Where the layer's area (card plus padding) begins inside the widget.
    static QPoint areaOrigin() { return QPoint(overshoot, overshoot); }
    // The card's rectangle (tail included) in the area's coordinates, grow from 0 (the droplet)
    // to 1 (open); under Reduce Motion the card is open whatever grow says.
    static QRectF cardRect(const ClipboardPreviewPresentation& preview, QPointF birth, double grow, bool reduceMotion);
    // The tail at a grow progress.
    static CardTail tailFor(const ClipboardPreviewPresentation& preview, QPointF birth, double grow);

    // The card as drawn now, in the widget's coordinates.
    QPainterPath drawnShape() const;
    // Fades the layer out with the animation, then deletes it.
    void removeAnimated(const Motion::Animation& animation);

signals:
    void drawnShapeChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyGrow();
    void applyResolve();

    ClipboardPreviewPresentation preview_;
    QPointF birth_;
    bool isGrown_ = false;
    bool isContentResolved_ = false;
    bool started_ = false;
    double grow_ = 0;
    double resolve_ = 0;
    GlassCard* card_ = nullptr;
    ClipboardPreviewRootView* content_ = nullptr;
    class ResolveEffect;
    ResolveEffect* resolveEffect_ = nullptr;
};
