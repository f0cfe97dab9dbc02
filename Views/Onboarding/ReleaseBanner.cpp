#include "Views/Onboarding/ReleaseBanner.h"

#include "Views/Onboarding/PixelBanner.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>

namespace {

bool loadable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == "https" || scheme == "http" || scheme == "file" || scheme == "qrc");
}

}  // namespace

ReleaseBanner::ReleaseBanner(std::optional<QUrl> image, PixelScene::Theme scene, QWidget* parent)
    : QWidget(parent), pixelBanner_(new PixelBanner(std::move(scene), this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (image) load(*image);
}

ReleaseBanner::~ReleaseBanner() {
    if (reply_) reply_->abort();
}

void ReleaseBanner::setPhase(Phase phase) {
    if (phase == phase_) return;
    phase_ = phase;
    pixelBanner_->setVisible(phase != Phase::loaded);
    update();
    emit phaseChanged(phase);
}

void ReleaseBanner::load(const QUrl& url) {
    setPhase(Phase::loading);
    if (!loadable(url)) {
        setPhase(Phase::failed);
        return;
    }
    network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(30000);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if ((received > maximumBytes || total > maximumBytes) && reply_) reply_->abort();
    });
    connect(reply_, &QNetworkReply::finished, this, [this, reply = reply_.data()] { finish(reply); });
}

void ReleaseBanner::finish(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        setPhase(Phase::failed);
        return;
    }
    QImage decoded;
    if (!decoded.loadFromData(reply->readAll()) || decoded.isNull()) {
        setPhase(Phase::failed);
        return;
    }
    image_ = std::move(decoded);
    setPhase(Phase::loaded);
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
