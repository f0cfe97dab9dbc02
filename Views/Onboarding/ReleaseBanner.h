#pragma once

#include "Source/Features/Onboarding/PixelScene.h"

#include <QImage>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class PixelBanner;
class QNetworkAccessManager;
class QNetworkReply;

// A release's banner: its picture when it has one and it loads, scaled to fill with hard pixel
// edges and clipped; the pixel landscape of its theme while the picture loads, when it fails, and
// when there is none.
class ReleaseBanner : public QWidget {
    Q_OBJECT
public:
    // Pictures larger than this are not loaded.
    static constexpr qint64 maximumBytes = 32 * 1024 * 1024;

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
    void finish(QNetworkReply* reply);
    void setPhase(Phase phase);

    PixelBanner* pixelBanner_;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
    QImage image_;
    Phase phase_ = Phase::none;
};
