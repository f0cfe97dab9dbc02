#include "Views/Shared/GlassCardContainer.h"

#include "Views/Shared/GlassCard.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QVBoxLayout>

namespace {
qint64 nowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

QRectF lerp(const QRectF& a, const QRectF& b, double t) {
    auto mix = [t](double x, double y) { return x + (y - x) * t; };
    return QRectF(QPointF(mix(a.left(), b.left()), mix(a.top(), b.top())),
                  QPointF(mix(a.right(), b.right()), mix(a.bottom(), b.bottom())));
}
}  // namespace

GlassCardContainer::GlassCardContainer(double spacing, QWidget* parent) : QWidget(parent), spacing_(spacing) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

GlassCardContainer::~GlassCardContainer() {
    // The cards outlive this part of the container while QWidget deletes its children.
    for (const QPointer<GlassCard>& card : std::as_const(cards_))
        if (card) card->container_.clear();
    for (Morph& morph : morphs_)
        if (morph.animator) morph.animator->stop();
}

void GlassCardContainer::setContent(QWidget* content) {
    if (content_ == content) return;
    delete content_;
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

GlassCardContainer* GlassCardContainer::containing(const QWidget* widget) {
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* container = qobject_cast<GlassCardContainer*>(w)) return container;
    return nullptr;
}

std::optional<QRectF> GlassCardContainer::morphRect(const QString& morphID) const {
    auto it = morphs_.constFind(morphID);
    if (it == morphs_.cend() || !it->card) return std::nullopt;
    return lerp(it->from, rectOf(it->card), it->progress);
}

QRectF GlassCardContainer::rectOf(const GlassCard* card) const {
    return QRectF(QPointF(card->mapTo(this, QPoint(0, 0))), QSizeF(card->size()));
}

void GlassCardContainer::cardAppeared(GlassCard* card) {
    if (!cards_.contains(card)) cards_.append(card);
    appearedAt_.insert(card, nowMs());
    if (!card->morphID()) return;
    const QString id = *card->morphID();
    auto departed = departures_.find(id);
    if (departed == departures_.end()) return;
    const Departure from = *departed;
    departures_.erase(departed);
    if (nowMs() - from.at <= morphWindowMs) startMorph(card, from);
}

void GlassCardContainer::cardDeparted(GlassCard* card, const QString& morphID, const QRectF& rect, double cornerRadius) {
    const Departure departure{rect, cornerRadius, nowMs()};
    appearedAt_.remove(card);
    if (auto running = morphs_.find(morphID); running != morphs_.end() && running->card == card) {
        if (running->animator) running->animator->stop();
        morphs_.erase(running);
        update();
    }
    // A card with the same identifier that has just appeared grows out of this one.
    for (const QPointer<GlassCard>& other : std::as_const(cards_)) {
        if (!other || other == card || !other->isVisible() || other->morphID() != morphID) continue;
        if (morphs_.contains(morphID) || departure.at - appearedAt_.value(other, -morphWindowMs - 1) > morphWindowMs)
            continue;
        startMorph(other, departure);
        return;
    }
    departures_.insert(morphID, departure);
}

void GlassCardContainer::startMorph(GlassCard* card, const Departure& from) {
    const QString id = *card->morphID();
    if (auto running = morphs_.find(id); running != morphs_.end()) {
        if (running->animator) running->animator->stop();
        if (running->card) running->card->setSurfaceHidden(false);
        morphs_.erase(running);
    }
    Morph morph;
    morph.card = card;
    morph.from = from.rect;
    morph.fromRadius = from.cornerRadius;
    morphs_.insert(id, morph);
    card->setSurfaceHidden(true);
    QPointer<GlassCardContainer> self(this);
    QPointer<GlassCard> target(card);
    Motion::Animator* animator = Motion::animate(
        this, Motion::morph(),
        [this, id](double p) {
            auto it = morphs_.find(id);
            if (it == morphs_.end()) return;
            it->progress = p;
            update();
        },
        [self, id, target] {
            if (!self) return;
            auto it = self->morphs_.find(id);
            if (it != self->morphs_.end() && it->card == target) self->morphs_.erase(it);
            if (target) target->setSurfaceHidden(false);
            self->update();
        });
    if (auto it = morphs_.find(id); animator && it != morphs_.end()) it->animator = animator;
}

void GlassCardContainer::cardForgotten(GlassCard* card) {
    cards_.removeAll(card);
    appearedAt_.remove(card);
    for (auto it = morphs_.begin(); it != morphs_.end();) {
        if (it->card == card || !it->card) {
            if (it->animator) it->animator->stop();
            it = morphs_.erase(it);
        } else {
            ++it;
        }
    }
    update();
}

void GlassCardContainer::paintEvent(QPaintEvent*) {
    if (morphs_.isEmpty()) return;
    QPainter painter(this);
    const GlassCard::Appearance appearance = GlassCard::Appearance::current(palette());
    for (const Morph& morph : std::as_const(morphs_)) {
        if (!morph.card) continue;
        const double t = morph.progress;
        const QRectF rect = lerp(morph.from, rectOf(morph.card), t);
        const double radius = morph.fromRadius + (morph.card->cornerRadius() - morph.fromRadius) * t;
        std::optional<CardTail> tail = morph.card->tail();
        if (tail) tail->length *= std::clamp(t, 0.0, 1.0);
        // Keep the tail's reach inside the rectangle while the surface grows.
        QRectF area = rect;
        if (tail && morph.card->tail()) {
            const double missing = morph.card->tail()->length - tail->length;
            if (tail->edge == CardTail::Edge::leading)
                area.setLeft(area.left() + missing);
            else
                area.setRight(area.right() - missing);
        }
        GlassCard::paint(painter, area, radius, morph.card->drawsRim(), tail, appearance);
    }
}
