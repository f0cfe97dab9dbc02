#include "Views/Preferences/GlassPreview.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "Views/Onboarding/PixelBanner.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr double kPadding = 12;
constexpr double kSpacing = 10;
constexpr double kRingSpacing = 14;
constexpr double kRingLine = 3.5;
constexpr double kSwitchWidth = 26;
constexpr double kSwitchHeight = 15;
constexpr double kStackSpacing = 8;
constexpr double kCardRadius = 20;
constexpr double kCaptionSize = 10;

double captionHeight() { return std::ceil(QFontMetricsF(SystemFont::font(kCaptionSize)).height()); }
double cardHeight() {
    return kPadding + GlassPreview::ringSide + kSpacing + std::max(kSwitchHeight, captionHeight()) + kPadding;
}
double footerHeight() { return 8 + captionHeight() + 8; }
double stackTop() { return (GlassPreview::previewHeight - (cardHeight() + kStackSpacing + footerHeight())) / 2.0; }

void paintRing(QPainter& p, const QRectF& box, double value, const QColor& colour, const QPalette& palette) {
    const QRectF circle = box.adjusted(kRingLine / 2, kRingLine / 2, -kRingLine / 2, -kRingLine / 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(palette), 0.14), kRingLine));
    p.drawEllipse(circle);
    QPen arc(colour, kRingLine);
    arc.setCapStyle(Qt::RoundCap);
    p.setPen(arc);
    // From the top, clockwise.
    p.drawArc(circle, 90 * 16, -int(std::lround(value * 360 * 16)));
}

// The glass over the landscape: paints the card and the footer.
class GlassLayer : public QWidget {
public:
    explicit GlassLayer(GlassPreview* preview) : QWidget(preview), preview_(preview) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        GlassPreview::paintGlass(p, width(), preview_->tint(), preview_->effectiveTone(), palette());
    }

private:
    GlassPreview* preview_;
};

}  // namespace

GlassPreview::GlassPreview(double tint, const QString& tone, QWidget* parent)
    : QWidget(parent), tint_(tint), tone_(tone) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(previewHeight);
    // The landscape at dusk, animating behind the glass while the pane is on screen.
    backdrop_ = new PixelBanner(PixelScene::Theme::dusk(), this);
    glass_ = new GlassLayer(this);
}

void GlassPreview::setGlass(double tint, const QString& tone) {
    if (tint == tint_ && tone == tone_) return;
    tint_ = tint;
    tone_ = tone;
    glass_->update();
}

void GlassPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    backdrop_->setGeometry(rect());
    glass_->setGeometry(rect());
    glass_->raise();
}

QRectF GlassPreview::cardRect(double width) {
    return QRectF((width - stackWidth) / 2.0, stackTop(), stackWidth, cardHeight());
}

QRectF GlassPreview::footerRect(double width) {
    return QRectF((width - stackWidth) / 2.0, stackTop() + cardHeight() + kStackSpacing, stackWidth, footerHeight());
}

void GlassPreview::paintGlass(QPainter& p, double width, double tint, PanelGlass::Tone tone, const QPalette& palette) {
    p.setRenderHint(QPainter::Antialiasing);
    GlassCard::Appearance appearance = GlassCard::Appearance::current(palette);
    appearance.tint = PanelGlass::tintColor(tone, palette);
    appearance.tintOpacity = std::isfinite(tint) ? tint : 0.55;
    const QColor ink = SystemColors::primary(palette);
    const QFont caption = SystemFont::font(kCaptionSize);

    const QRectF card = cardRect(width);
    GlassCard::paint(p, card, kCardRadius, true, std::nullopt, appearance);
    const double ringsWidth = 3 * ringSide + 2 * kRingSpacing;
    const double ringsLeft = card.center().x() - ringsWidth / 2;
    const double ringsTop = card.top() + kPadding;
    const bool dark = SystemColors::isDark(palette);
    const std::pair<double, QColor> rings[] = {{0.35, SystemColors::green(dark)},
                                               {0.7, SystemColors::orange(dark)},
                                               {0.65, SystemColors::cyan(dark)}};
    for (int i = 0; i < 3; ++i) {
        paintRing(p, QRectF(ringsLeft + i * (ringSide + kRingSpacing), ringsTop, ringSide, ringSide), rings[i].first,
                  rings[i].second, palette);
    }
    const double rowHeight = std::max(kSwitchHeight, captionHeight());
    const QRectF row(card.left() + kPadding, ringsTop + ringSide + kSpacing, card.width() - 2 * kPadding, rowHeight);
    p.setFont(caption);
    p.setPen(ink);
    p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Keyboard Cleaning"));
    const QRectF toggle(row.right() - kSwitchWidth, row.center().y() - kSwitchHeight / 2, kSwitchWidth, kSwitchHeight);
    p.fillPath(ContinuousCorners::capsule(toggle), SystemColors::withOpacity(ink, 0.18));

    const QRectF footer = footerRect(width);
    GlassCard::paint(p, footer, footer.height() / 2, true, std::nullopt, appearance);
    const QRectF texts = footer.adjusted(14, 8, -14, -8);
    p.setFont(caption);
    p.setPen(ink);
    p.drawText(texts, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Settings"));
    p.drawText(texts, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Quit"));
}
