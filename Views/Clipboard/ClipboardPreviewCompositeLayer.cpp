#include "Views/Clipboard/ClipboardPreviewCompositeLayer.h"

#include "Views/Clipboard/ClipboardPreviewRootView.h"
#include "Views/Shared/GlassCard.h"

#include <QGraphicsEffect>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

// The content's fade-in: opacity from 0 and a blur from 12 points down to none.
class ClipboardPreviewCompositeLayer::ResolveEffect final : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;
    double progress = 0;

protected:
    void draw(QPainter* painter) override {
        const double p = std::clamp(progress, 0.0, 1.0);
        if (p >= 1.0) {
            drawSource(painter);
            return;
        }
        if (p <= 0.0) return;
        QPoint offset;
        const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        if (pixmap.isNull()) return;
        const double radius = 12 * (1 - p);
        painter->save();
        painter->setOpacity(painter->opacity() * p);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        if (radius > 0.5) {
            // A blur by way of a smaller copy drawn back at full size.
            const double factor = 1 + radius / 3;
            const QSize small(std::max(1, int(pixmap.width() / factor)), std::max(1, int(pixmap.height() / factor)));
            const QPixmap reduced = pixmap.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QSizeF logical = QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
            painter->drawPixmap(QRectF(offset, logical), reduced, QRectF(QPointF(0, 0), QSizeF(reduced.size())));
        } else {
            painter->drawPixmap(offset, pixmap);
        }
        painter->restore();
    }
};

ClipboardPreviewCompositeLayer::ClipboardPreviewCompositeLayer(const ClipboardPreviewPresentation& preview,
                                                               QPointF birth, QWidget* parent)
    : QWidget(parent), preview_(preview), birth_(birth) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    const double total = preview_.totalHeight();
    resize(int(std::ceil(preview_.bodyWidth + 2 * padding)) + 2 * overshoot,
           int(std::ceil(total + 2 * padding)) + 2 * overshoot);

    card_ = new GlassCard(dropletSize / 2, std::nullopt, true, std::nullopt, this);
    content_ = new ClipboardPreviewRootView(preview_.item, preview_.infoLines, preview_.bodyWidth,
                                            preview_.contentHeight, preview_.infoHeight, this);
    content_->move(areaOrigin() + QPoint(int(padding), int(padding)));
    resolveEffect_ = new ResolveEffect(content_);
    content_->setGraphicsEffect(resolveEffect_);
    applyGrow();
    applyResolve();
}

QRectF ClipboardPreviewCompositeLayer::cardRect(const ClipboardPreviewPresentation& preview, QPointF birth, double grow,
                                                bool reduceMotion) {
    const double bw = preview.bodyWidth, th = preview.totalHeight();
    const bool leading = birth.x() < 0.5;
    // Open: the body fills the area inside the padding, the tail reaches 8 beyond the side edge.
    const QRectF open = leading ? QRectF(padding - tailLength, padding, bw + tailLength, th)
                                : QRectF(padding, padding, bw + tailLength, th);
    if (reduceMotion) return open;
    // Closed: a droplet 10 beyond the side edge at the row's height.
    const double y = padding + (th - dropletSize) / 2 + th * (birth.y() - 0.5);
    const QRectF closed = leading ? QRectF(padding - 10, y, dropletSize, dropletSize)
                                  : QRectF(padding + bw - dropletSize + 10, y, dropletSize, dropletSize);
    auto mix = [grow](double a, double b) { return a + (b - a) * grow; };
    return QRectF(mix(closed.x(), open.x()), mix(closed.y(), open.y()), std::max(0.0, mix(closed.width(), open.width())),
                  std::max(0.0, mix(closed.height(), open.height())));
}

CardTail ClipboardPreviewCompositeLayer::tailFor(const ClipboardPreviewPresentation& preview, QPointF birth, double grow) {
    CardTail tail;
    tail.edge = birth.x() < 0.5 ? CardTail::Edge::leading : CardTail::Edge::trailing;
    tail.y = (preview.totalHeight() + 2 * padding) * birth.y() - padding;
    tail.length = std::max(0.0, tailLength * grow);
    tail.halfHeight = tailHalfHeight;
    return tail;
}

void ClipboardPreviewCompositeLayer::applyGrow() {
    const bool reduce = Motion::reduceMotion();
    const double grow = reduce ? 1.0 : grow_;
    const QRectF rect = cardRect(preview_, birth_, grow, reduce).translated(areaOrigin());
    CardTail tail = tailFor(preview_, birth_, grow);
    // The tail's centre is counted from the card's top, which moves while the card grows.
    tail.y -= rect.y() - (areaOrigin().y() + padding);
    card_->setTail(tail);
    card_->setCornerRadius(dropletSize / 2 + (16 - dropletSize / 2) * std::clamp(grow, 0.0, 1.5));
    card_->setGeometry(rect.toAlignedRect());
    emit drawnShapeChanged();
}

void ClipboardPreviewCompositeLayer::applyResolve() {
    resolveEffect_->progress = resolve_;
    resolveEffect_->setEnabled(resolve_ < 1.0);
    resolveEffect_->update();
}

void ClipboardPreviewCompositeLayer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (started_) return;
    started_ = true;
    QPointer<ClipboardPreviewCompositeLayer> self(this);
    // On the next turn: the droplet opens, and the content resolves a moment later.
    QTimer::singleShot(0, this, [this] {
        const bool reduce = Motion::reduceMotion();
        isGrown_ = true;
        Motion::animate(this, reduce ? Motion::Animation::easeInOut(0.2) : Motion::droplet(), [this](double p) {
            grow_ = p;
            applyGrow();
        });
        isContentResolved_ = true;
        auto resolve = [this, reduce] {
            Motion::animate(this, reduce ? Motion::Animation::easeInOut(0.2) : Motion::state(), [this](double p) {
                resolve_ = p;
                applyResolve();
            });
        };
        if (reduce)
            resolve();
        else
            QTimer::singleShot(int(contentDelay * 1000), this, resolve);
    });
}

QPainterPath ClipboardPreviewCompositeLayer::drawnShape() const {
    return GlassCard::shape(QRectF(card_->geometry()), card_->cornerRadius(), card_->tail());
}

void ClipboardPreviewCompositeLayer::removeAnimated(const Motion::Animation& animation) {
    auto* fade = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(fade);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    Motion::animate(
        this, animation, [fade](double p) { fade->setOpacity(std::clamp(1 - p, 0.0, 1.0)); },
        [this] { deleteLater(); });
}
