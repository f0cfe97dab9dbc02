#include "Views/Shared/GlassCard.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/X11/BlurBehind.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCardContainer.h"
#include "Views/Shared/PanelGlassSettings.h"

#include <QEvent>
#include <QLayoutItem>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QTransform>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {
// Opacity of the window colour under the tint at the default tint. Blur behind a card is not to be
// had everywhere, so there a card lets through about a seventieth of what lies behind it: black and
// white there then come out at most about 1.06:1 apart whatever the colour on top (the sheen and the
// rim included; a compositor's rounding may add a step), and the text of a window behind never reads.
constexpr double kBaseOpacityAtDefault = 0.97;

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

double tintOpacity(const GlassCard::Appearance& a) { return std::clamp(finiteOr(a.tintOpacity, 0), 0.0, 1.0); }

// The window colour's opacity: what lies behind shows through by the cube of (1 - tint), so the
// glass still goes from see-through (some 15 % at no tint) to solid while the default keeps the
// share above.
double baseOpacity(const GlassCard::Appearance& a) {
    const double clear = 1 - tintOpacity(a), clearAtDefault = 1 - PanelGlassSettings::shared().tint.defaultValue();
    return std::clamp(1 - (1 - kBaseOpacityAtDefault) * (clear * clear) / (clearAtDefault * clearAtDefault), 0.0, 1.0);
}

QPainterPath tailPath(const QRectF& body, double cornerRadius, const CardTail& tail) {
    QPainterPath path;
    const double length = finiteOr(tail.length, 0);
    const double h = std::min(finiteOr(tail.halfHeight, 0), body.height() / 2);
    if (length <= 0 || h <= 0) return path;
    const double y = GlassCard::tailCentre(body, cornerRadius, tail);
    const double dir = tail.edge == CardTail::Edge::leading ? -1.0 : 1.0;
    // Starts a hair inside the body so the union leaves no seam.
    const double x0 = tail.edge == CardTail::Edge::leading ? body.left() + 0.5 : body.right() - 0.5;
    const double L = length + 0.5;
    auto X = [&](double f) { return x0 + dir * f * L; };
    path.moveTo(x0, y - h);
    path.cubicTo(X(0.0), y - 0.55 * h, X(0.5), y - 0.34 * h, X(0.86), y - 0.14 * h);
    path.quadTo(X(1.14), y, X(0.86), y + 0.14 * h);  // a rounded apex at the full length
    path.cubicTo(X(0.5), y + 0.34 * h, X(0.0), y + 0.55 * h, x0, y + h);
    path.closeSubpath();
    return path;
}

// Where the compositor blurs behind windows, a translucent window's cards ask for it under their
// shapes (in device pixels), once the cards have settled in this turn of the event loop: afresh
// when a card shows (the compositor may have changed meanwhile: whether it offers blur is asked
// again then, and only then), and after a card hides or paints (a card that moves, or whose
// ancestor moves, paints) only when the shapes have changed.
void blurUnderCards(QWidget* top, bool afresh = false) {
    if (!top) return;
    if (afresh) {
        top->setProperty("glassBlurRegion", QVariant());
        top->setProperty("glassBlurOffered", QVariant());
    }
    if (top->property("glassBlurPending").toBool()) return;
    top->setProperty("glassBlurPending", true);
    QTimer::singleShot(0, top, [top = QPointer<QWidget>(top)] {
        if (!top) return;
        top->setProperty("glassBlurPending", false);
        if (!top->isVisible() || !top->windowHandle() || !top->testAttribute(Qt::WA_TranslucentBackground)) return;
        if (!top->property("glassBlurOffered").isValid()) top->setProperty("glassBlurOffered", BlurBehind::isOffered());
        QRegion region;
        if (top->property("glassBlurOffered").toBool() && !AccessibilityDisplayOptions::reduceTransparency()) {
            const qreal scale = top->devicePixelRatioF();
            for (const GlassCard* card : top->findChildren<GlassCard*>()) {
                if (!card->isVisible()) continue;
                const QPointF at = card->mapTo(top, QPoint(0, 0));
                const QPainterPath shape = GlassCard::shape(QRectF(card->rect()), card->cornerRadius(), card->tail());
                const QTransform toDevice = QTransform::fromScale(scale, scale).translate(at.x(), at.y());
                region += QRegion(toDevice.map(shape).toFillPolygon().toPolygon());
            }
        }
        const QVariant asked = top->property("glassBlurRegion");
        if (asked.isValid() && asked.value<QRegion>() == region) return;
        top->setProperty("glassBlurRegion", QVariant::fromValue(region));
        BlurBehind::request(top->windowHandle(), region);
    });
}
}  // namespace

GlassCard::Appearance GlassCard::Appearance::current(const QPalette& palette) {
    Appearance a;
    a.window = SystemColors::windowBackground(palette);
    a.dark = SystemColors::isDark(palette);
    a.tint = PanelGlass::tintColor(PanelGlass::currentTone(), palette);
    a.tintOpacity = PanelGlass::currentTint();
    a.reduceTransparency = AccessibilityDisplayOptions::reduceTransparency();
    a.text = palette.color(QPalette::WindowText);
    return a;
}

GlassCard::GlassCard(double cornerRadius, std::optional<QString> morphID, bool drawsRim, std::optional<CardTail> tail,
                     QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius), morphID_(std::move(morphID)), drawsRim_(drawsRim),
      tail_(std::move(tail)) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    updateMargins();
    auto repaint = [this] {
        dropSurface();
        update();
    };
    connect(&PanelGlassSettings::shared().tint, &SettingBase::changed, this, repaint);
    connect(&PanelGlassSettings::shared().tone, &SettingBase::changed, this, repaint);
    connect(&AccessibilityDisplayOptions::shared(), &AccessibilityDisplayOptions::changed, this, repaint);
}

GlassCard::~GlassCard() {
    if (container_ && morphID_ && isVisible()) container_->cardDeparted(this, *morphID_, container_->rectOf(this), cornerRadius_);
    if (container_) container_->cardForgotten(this);
}

void GlassCard::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    dropSurface();
    update();
}

void GlassCard::setMorphID(std::optional<QString> id) { morphID_ = std::move(id); }

void GlassCard::setDrawsRim(bool drawsRim) {
    drawsRim_ = drawsRim;
    dropSurface();
    update();
}

void GlassCard::setTail(std::optional<CardTail> tail) {
    tail_ = std::move(tail);
    updateMargins();
    dropSurface();
    update();
}

void GlassCard::setContent(QWidget* content) {
    if (content_ == content) return;
    delete content_;
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

void GlassCard::updateMargins() {
    int left = 0, right = 0;
    if (tail_) {
        const int reach = int(std::ceil(std::max(0.0, finiteOr(tail_->length, 0))));
        (tail_->edge == CardTail::Edge::leading ? left : right) = reach;
    }
    layout()->setContentsMargins(left, 0, right, 0);
}

QRectF GlassCard::bodyRect(const QRectF& rect, const std::optional<CardTail>& tail) {
    QRectF body = rect.normalized();
    if (!tail) return body;
    const double length = std::clamp(finiteOr(tail->length, 0), 0.0, body.width());
    if (tail->edge == CardTail::Edge::leading)
        body.setLeft(body.left() + length);
    else
        body.setRight(body.right() - length);
    return body;
}

double GlassCard::tailCentre(const QRectF& body, double cornerRadius, const CardTail& tail) {
    const double h = std::max(0.0, finiteOr(tail.halfHeight, 0));
    const double radius = std::clamp(finiteOr(cornerRadius, 0), 0.0, std::min(body.width(), body.height()) / 2);
    const double corner = std::min(radius * 1.528, std::min(body.width(), body.height()) / 2);
    const double lo = body.top() + corner + h, hi = body.bottom() - corner - h;
    if (lo > hi) return body.center().y();
    return std::clamp(body.top() + finiteOr(tail.y, 0), lo, hi);
}

QPainterPath GlassCard::shape(const QRectF& rect, double cornerRadius, const std::optional<CardTail>& tail) {
    const QRectF body = bodyRect(rect, tail);
    QPainterPath path = ContinuousCorners::roundedRect(body, cornerRadius);
    if (tail) {
        const QPainterPath t = tailPath(body, cornerRadius, *tail);
        if (!t.isEmpty()) path = path.united(t);
    }
    return path;
}

QColor GlassCard::surface(const Appearance& a, const QColor& behind) {
    if (a.reduceTransparency) return a.window;
    const QColor base = SystemColors::over(SystemColors::withOpacity(a.window, baseOpacity(a)), behind);
    return SystemColors::over(SystemColors::withOpacity(a.tint, tintOpacity(a)), base);
}

QColor GlassCard::surface(const QPalette& palette) {
    return surface(Appearance::current(palette), SystemColors::windowBackground(palette));
}

void GlassCard::paint(QPainter& painter, const QRectF& rect, double cornerRadius, bool drawsRim,
                      const std::optional<CardTail>& tail, const Appearance& a) {
    if (rect.isEmpty()) return;
    const QPainterPath outline = shape(rect, cornerRadius, tail);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (a.reduceTransparency) {
        painter.fillPath(outline, a.window);
    } else {
        painter.fillPath(outline, SystemColors::withOpacity(a.window, baseOpacity(a)));
        painter.fillPath(outline, SystemColors::withOpacity(a.tint, tintOpacity(a)));
        // A faint sheen toward the top.
        const QRectF body = bodyRect(rect, tail);
        QLinearGradient sheen(body.topLeft(), body.bottomLeft());
        sheen.setColorAt(0, QColor(255, 255, 255, a.dark ? 14 : 40));
        sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
        painter.fillPath(outline, sheen);
    }
    if (drawsRim) {
        // A hairline at the edge and a highlight just inside it, brightest at the top.
        const QPainterPath edge = shape(rect.adjusted(0.5, 0.5, -0.5, -0.5), std::max(0.0, cornerRadius - 0.5), tail);
        painter.strokePath(edge, QPen(SystemColors::withOpacity(a.text, a.dark ? 0.16 : 0.12), 1.0));
        const QRectF inner = rect.adjusted(1.5, 1.5, -1.5, -1.5);
        if (!inner.isEmpty()) {
            const QPainterPath glow = shape(inner, std::max(0.0, cornerRadius - 1.5), tail);
            QLinearGradient light(inner.topLeft(), inner.bottomLeft());
            light.setColorAt(0, QColor(255, 255, 255, a.dark ? 46 : 150));
            light.setColorAt(1, QColor(255, 255, 255, a.dark ? 8 : 30));
            painter.strokePath(glow, QPen(QBrush(light), 1.0));
        }
    }
    painter.restore();
}

void GlassCard::dropSurface() { surface_ = QPixmap(); }

void GlassCard::paintEvent(QPaintEvent* event) {
    blurUnderCards(window());
    if (surfaceHidden_) return;
    const Appearance look = Appearance::current(palette());
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    QPainter painter(this);
    if (surface_.isNull() || surface_.size() != pixels || !(surfaceLook_ == look)) {
        surface_ = QPixmap();
        if (pixels != lastPaintedSize_) {
            // A new size (a morph or a resize on the way): drawn directly until it holds.
            lastPaintedSize_ = pixels;
            paint(painter, QRectF(rect()), cornerRadius_, drawsRim_, tail_, look);
            return;
        }
        surface_ = QPixmap(pixels);
        surface_.setDevicePixelRatio(dpr);
        surface_.fill(Qt::transparent);
        QPainter surface(&surface_);
        paint(surface, QRectF(rect()), cornerRadius_, drawsRim_, tail_, look);
        surfaceLook_ = look;
    }
    const QRect r = event->rect();
    painter.drawPixmap(QRectF(r), surface_, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
}

bool GlassCard::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
        attachToContainer();
        if (container_) container_->cardAppeared(this);
        blurUnderCards(window(), true);
        break;
    case QEvent::Hide:
        if (container_ && morphID_) container_->cardDeparted(this, *morphID_, container_->rectOf(this), cornerRadius_);
        setSurfaceHidden(false);
        blurUnderCards(window());
        break;
    case QEvent::ParentChange:
        if (container_) container_->cardForgotten(this);
        container_.clear();
        if (isVisible()) attachToContainer();
        break;
    case QEvent::PaletteChange:
        dropSurface();
        update();
        break;
    default: break;
    }
    return QWidget::event(event);
}

void GlassCard::attachToContainer() {
    if (container_) return;
    container_ = GlassCardContainer::containing(this);
}

void GlassCard::setSurfaceHidden(bool hidden) {
    if (surfaceHidden_ == hidden) return;
    surfaceHidden_ = hidden;
    update();
}

GlassCard* glassWell(QWidget* content, double cornerRadius, std::optional<QString> morphID, bool drawsRim,
                     std::optional<CardTail> tail) {
    QWidget* parent = content ? content->parentWidget() : nullptr;
    auto* card = new GlassCard(cornerRadius, std::move(morphID), drawsRim, std::move(tail), parent);
    if (parent && parent->layout()) delete parent->layout()->replaceWidget(content, card);
    card->setContent(content);
    return card;
}
