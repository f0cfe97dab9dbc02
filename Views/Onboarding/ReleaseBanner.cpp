#include "Views/Onboarding/ReleaseBanner.h"

#include "Source/Features/Updates/ReleaseImageLoader.h"
#include "Views/Onboarding/PixelBanner.h"

#include <QPainter>

ReleaseBanner::ReleaseBanner(std::optional<QUrl> image, PixelScene::Theme scene, QWidget* parent)
    : QWidget(parent), pixelBanner_(new PixelBanner(std::move(scene), this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (image) load(*image);
}

ReleaseBanner::~ReleaseBanner() = default;

void ReleaseBanner::setPhase(Phase phase) {
    if (phase == phase_) return;
    phase_ = phase;
    pixelBanner_->setVisible(phase != Phase::loaded);
    update();
    emit phaseChanged(phase);
}

void ReleaseBanner::load(const QUrl& url) {
    setPhase(Phase::loading);
    ReleaseImageLoader& loader = ReleaseImageLoader::shared();
    if (const std::optional<QImage> kept = loader.image(url)) {
        image_ = *kept;
        setPhase(Phase::loaded);
        return;
    }
    connect(&loader, &ReleaseImageLoader::loaded, this, [this, url](const QUrl& done, const QImage& image) {
        if (done != url || phase_ != Phase::loading) return;
        image_ = image;
        setPhase(Phase::loaded);
    });
    connect(&loader, &ReleaseImageLoader::failed, this, [this, url](const QUrl& done) {
        if (done == url && phase_ == Phase::loading) setPhase(Phase::failed);
    });
    loader.load(url);
}

void ReleaseBanner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pixelBanner_->setGeometry(rect());
}

void ReleaseBanner::paintEvent(QPaintEvent*) {
    if (phase_ != Phase::loaded || image_.isNull()) return;
    // Fill the frame keeping the picture's proportions; the frame clips what overflows.
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setClipRect(rect());
    const QSizeF picture = image_.size().scaled(size(), Qt::KeepAspectRatioByExpanding);
    const QRectF target(QPointF((width() - picture.width()) / 2, (height() - picture.height()) / 2), picture);
    p.drawImage(target, image_);
}
