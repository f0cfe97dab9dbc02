#pragma once

#include "Views/Shared/Motion.h"

#include <QHash>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <optional>

class GlassCard;

// Groups the glass cards inside it and is the namespace of their morph identifiers. When a card
// with a morph identifier goes away (hidden or destroyed) and another card with the same
// identifier appears in the container at the same moment, the new card's surface grows out of
// the old one's place and shape with Motion.morph (a 0.2 s ease-in-out under Reduce Motion);
// the container paints the surface while it moves. `spacing` is kept for the callers' layouts
// (surfaces do not blend into one another here).
class GlassCardContainer : public QWidget {
    Q_OBJECT
public:
    explicit GlassCardContainer(double spacing, QWidget* parent = nullptr);
    ~GlassCardContainer() override;

    double spacing() const { return spacing_; }

    // Puts content in the container, filling it (earlier content is deleted).
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // The nearest container around a widget, or nullptr.
    static GlassCardContainer* containing(const QWidget* widget);

    // How long after one card leaves another with its identifier may still morph out of it.
    static constexpr int morphWindowMs = 150;

    bool isMorphing(const QString& morphID) const { return morphs_.contains(morphID); }
    // The surface rectangle a running morph paints now, in the container's coordinates.
    std::optional<QRectF> morphRect(const QString& morphID) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class GlassCard;
    void cardAppeared(GlassCard* card);
    void cardDeparted(GlassCard* card, const QString& morphID, const QRectF& rect, double cornerRadius);
    void cardForgotten(GlassCard* card);
    QRectF rectOf(const GlassCard* card) const;

    struct Departure {
        QRectF rect;
        double cornerRadius = 0;
        qint64 at = 0;
    };
    void startMorph(GlassCard* card, const Departure& from);
    struct Morph {
        QPointer<GlassCard> card;
        QRectF from;
        double fromRadius = 0;
        double progress = 0;
        QPointer<Motion::Animator> animator;
    };

    double spacing_;
    QWidget* content_ = nullptr;
    QHash<QString, Departure> departures_;
    QHash<QString, Morph> morphs_;
    QList<QPointer<GlassCard>> cards_;
    QHash<const GlassCard*, qint64> appearedAt_;
};
