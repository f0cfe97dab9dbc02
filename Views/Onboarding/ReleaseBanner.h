#pragma once

#include "Source/Features/Onboarding/PixelScene.h"

#include <QImage>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class PixelBanner;

// A release's banner: its picture when it has one and it loads, scaled to fill with hard pixel
// edges and clipped; the pixel landscape of its theme while the picture loads, when it fails, and
// when there is none. Pictures come through ReleaseImageLoader: https only, capped in size.
class ReleaseBanner : public QWidget {
    Q_OBJECT
public:
    ReleaseBanner(std::optional<QUrl> image, PixelScene::Theme scene, QWidget* parent = nullptr);
    ~ReleaseBanner() override;

    enum class Phase { none, loading, loaded, failed };
    Phase phase() const { return phase_; }
    PixelBanner* pixelBanner() const { return pixelBanner_; }
    const QImage& image() const { return image_; }

signals:
    void phaseChanged(ReleaseBanner::Phase phase);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void load(const QUrl& url);
    void setPhase(Phase phase);

    PixelBanner* pixelBanner_;
    QImage image_;
    Phase phase_ = Phase::none;
};
