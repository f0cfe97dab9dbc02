#include "Views/Updates/UpdateToastView.h"

#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Views/Onboarding/PixelBanner.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/AppIconView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/PressableButtonStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double buttonVerticalPadding = 7;
constexpr double iconShadowRadius = 6;
constexpr double iconShadowOffsetY = 3;

// The icon's shadow: its rounded square in black at 35 %, blurred by about the radius.
QImage shadowImage(double size, double dpr) {
    const int pad = int(std::ceil(iconShadowRadius * 2));
    const int side = int(std::ceil((size + 2 * pad) * dpr));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, int(255 * 0.35)));
        p.drawRoundedRect(QRectF(pad, pad, size, size), AppIconView::cornerRadius(size), AppIconView::cornerRadius(size));
    }
    // Three box passes each way come close to a Gaussian of the radius.
    const int r = std::max(1, int(std::round(iconShadowRadius * dpr / 2)));
    std::vector<int> line(static_cast<size_t>(side), 0);
    auto pass = [&](bool horizontal) {
        for (int a = 0; a < side; ++a) {
            auto at = [&](int b) -> QRgb& {
                return reinterpret_cast<QRgb*>(image.scanLine(horizontal ? a : b))[horizontal ? b : a];
            };
            for (int b = 0; b < side; ++b) line[size_t(b)] = qAlpha(at(b));
            int sum = 0;
            for (int b = -r; b <= r; ++b) sum += line[size_t(std::clamp(b, 0, side - 1))];
            for (int b = 0; b < side; ++b) {
                const int alpha = sum / (2 * r + 1);
                at(b) = qRgba(0, 0, 0, alpha);
                sum += line[size_t(std::min(b + r + 1, side - 1))] - line[size_t(std::max(b - r, 0))];
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    image.setDevicePixelRatio(dpr);
    return image;
}

// Over the banner: its shade, darkening to its lower edge, and the application's icon hanging
// below it, scaled about its centre, with its shadow.
class IconOverlay : public QWidget {
public:
    IconOverlay(const double* scale, QWidget* parent) : QWidget(parent), scale_(scale) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const double r = UpdateToastView::cornerRadius;
        QPainterPath top;
        top.addRoundedRect(QRectF(0, 0, width(), UpdateToastView::bannerHeight + r), r, r);
        p.save();
        p.setClipPath(top);
        const QRectF banner(0, 0, width(), UpdateToastView::bannerHeight);
        QLinearGradient shade(banner.topLeft(), banner.bottomLeft());
        shade.setColorAt(0, QColor(0, 0, 0, 0));
        shade.setColorAt(1, QColor(0, 0, 0, int(255 * 0.35)));
        p.fillRect(banner, shade);
        p.restore();

        const QRectF frame = UpdateToastView::iconFrame();
        p.translate(frame.center());
        p.scale(*scale_, *scale_);
        p.translate(-frame.center());
        const double dpr = devicePixelRatioF();
        if (shadow_.isNull() || shadow_.devicePixelRatio() != dpr) shadow_ = shadowImage(UpdateToastView::iconSize, dpr);
        const double pad = std::ceil(iconShadowRadius * 2);
        p.drawImage(QPointF(frame.left() - pad, frame.top() - pad + iconShadowOffsetY), shadow_);
        static const QImage artwork = AppIconView::artwork();
        AppIconView::paint(p, frame, artwork);
    }

private:
    const double* scale_;
    QImage shadow_;
};

}  // namespace

UpdateToastButton::UpdateToastButton(const QString& title, bool prominent, QWidget* parent)
    : QAbstractButton(parent), prominent_(prominent) {
    setText(title);
    setObjectName(title);
    setFont(SystemFont::font(13, prominent ? QFont::DemiBold : QFont::Normal));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    PressableButtonStyle::apply(this, 0.96);
}

QSize UpdateToastButton::sizeHint() const {
    const QFontMetricsF m(font());
    return QSize(int(std::ceil(m.horizontalAdvance(text()) + 24)), int(std::ceil(m.height() + 2 * buttonVerticalPadding)));
}

bool UpdateToastButton::hitButton(const QPoint& pos) const {
    const QRectF r = rect();
    QPainterPath capsule;
    capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
    return capsule.contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void UpdateToastButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const QPalette pal = palette();
    p.setPen(Qt::NoPen);
    if (prominent_) {
        const QColor accent = SystemColors::accent(pal);
        QLinearGradient gradient(r.topLeft(), r.bottomLeft());
        gradient.setColorAt(0, accent.lighter(112));
        gradient.setColorAt(1, accent);
        p.setBrush(gradient);
    } else {
        p.setBrush(SystemColors::withOpacity(SystemColors::primary(pal), 0.10));
    }
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setPen(prominent_ ? QColor(Qt::white) : SystemColors::primary(pal));
    p.setFont(font());
    p.drawText(r, Qt::AlignCenter, text());
}

UpdateToastView::UpdateToastView(const QString& version, std::function<void()> onClose,
                                 std::function<void()> onWhatsNew, std::function<void(bool)> onHover, QWidget* parent)
    : QWidget(parent), version_(version), onHover_(std::move(onHover)) {
    setObjectName(QStringLiteral("UpdateToastView"));
    setFixedSize(width, height);
    setAttribute(Qt::WA_Hover);

    // The landscape of the running version, whatever version the toast names.
    const UpdateManager& updates = UpdateManager::shared();
    banner_ = new PixelBanner(PixelScene::Theme::forVersion(UpdateManager::currentVersion(), updates.releases()), this);
    banner_->setGeometry(0, 0, width, int(bannerHeight));
    QPainterPath top;
    top.addRoundedRect(QRectF(0, 0, width, bannerHeight + cornerRadius), cornerRadius, cornerRadius);
    banner_->setMask(QRegion(top.toFillPolygon().toPolygon()) & QRegion(0, 0, width, int(bannerHeight)));
    overlay_ = new IconOverlay(&iconScale_, this);
    overlay_->setGeometry(0, 0, width, int(iconFrame().bottom() + 2 * iconShadowRadius + iconShadowOffsetY));
    overlay_->raise();

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, int(bannerHeight), 0, 0);
    stack->setSpacing(0);

    auto* text = new QVBoxLayout;
    text->setContentsMargins(16, 32, 16, 0);
    text->setSpacing(3);
    headline_ = new QLabel(QStringLiteral("Updated to v") + version, this);
    headline_->setObjectName(QStringLiteral("headline"));
    headline_->setFont(SystemFont::font(15, QFont::DemiBold));
    headline_->setTextFormat(Qt::PlainText);
    message_ = new QLabel(QStringLiteral("Quorvin is up to date. See what changed in this version."), this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setFont(SystemFont::font(12));
    message_->setWordWrap(true);
    message_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    changeEvent(nullptr);
    text->addWidget(headline_);
    text->addWidget(message_);
    stack->addLayout(text);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 16, 16, 16);
    buttons->setSpacing(8);
    close_ = new UpdateToastButton(QStringLiteral("Close"), false, this);
    whatsNew_ = new UpdateToastButton(QStringLiteral("What’s New"), true, this);
    buttons->addWidget(close_, 1);
    buttons->addWidget(whatsNew_, 1);
    stack->addLayout(buttons);
    stack->addStretch(1);

    connect(close_, &QAbstractButton::clicked, this, [onClose = std::move(onClose)] {
        if (onClose) onClose();
    });
    connect(whatsNew_, &QAbstractButton::clicked, this, [onWhatsNew = std::move(onWhatsNew)] {
        if (onWhatsNew) onWhatsNew();
    });
}

void UpdateToastView::changeEvent(QEvent* event) {
    if (event) QWidget::changeEvent(event);
    if (event && event->type() != QEvent::PaletteChange) return;
    // The message in the secondary label colour of the palette in use, light or dark.
    QPalette secondary = message_->palette();
    secondary.setColor(QPalette::WindowText, SystemColors::secondary(palette()));
    message_->setPalette(secondary);
}

QRectF UpdateToastView::iconFrame() {
    // Bottom-leading corner of the banner, moved 14 right and 26 down.
    return QRectF(14, bannerHeight + 26 - iconSize, iconSize, iconSize);
}

void UpdateToastView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    QTimer::singleShot(150, this, [this] { popIconIn(); });
}

void UpdateToastView::popIconIn() {
    if (iconIn_) return;
    iconIn_ = true;
    // Motion::droplet, or a 0.2 s ease-in-out under Reduce Motion.
    Motion::animate(this, Motion::droplet(), [this](double t) {
        iconScale_ = 0.6 + 0.4 * t;
        overlay_->update();
    });
}

void UpdateToastView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (onHover_) onHover_(true);
}

void UpdateToastView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (onHover_) onHover_(false);
}

void UpdateToastView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    GlassCard::paint(p, rect(), cornerRadius, true, std::nullopt, GlassCard::Appearance::current(palette()));
}
