#include "Source/Features/Updates/ReleaseImageLoader.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
constexpr int transferTimeoutMs = 60000;
constexpr int mostImagesKept = 64;

QImage decode(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header says how large the picture is: refuse before anything is allocated.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > ReleaseImageLoader::largestSide ||
        size.height() > ReleaseImageLoader::largestSide)
        return {};
    return reader.read();
}
}  // namespace

ReleaseImageLoader& ReleaseImageLoader::shared() {
    static auto* loader = new ReleaseImageLoader;
    return *loader;
}

ReleaseImageLoader::ReleaseImageLoader(QObject* parent)
    : QObject(parent), queue_(std::make_unique<SerialQueue>("com.merovane.release-images", QueuePriority::utility)) {}

ReleaseImageLoader::~ReleaseImageLoader() { queue_.reset(); }

bool ReleaseImageLoader::isAllowed(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

std::optional<QImage> ReleaseImageLoader::image(const QUrl& url) const {
    const auto it = images_.constFind(url);
    if (it == images_.cend()) return std::nullopt;
    return *it;
}

QNetworkAccessManager* ReleaseImageLoader::network() {
    if (!network_) network_ = new QNetworkAccessManager(this);
    return network_;
}

void ReleaseImageLoader::load(const QUrl& url) {
    if (images_.contains(url) || loading_.contains(url)) return;
    if (!isAllowed(url)) {
        QPointer<ReleaseImageLoader> self(this);
        Dispatch::main([self, url] {
            if (self) emit self->failed(url);
        });
        return;
    }
    loading_.insert(url);
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (ssl_) request.setSslConfiguration(*ssl_);
    QNetworkReply* reply = network()->get(request);
    reply->setReadBufferSize(256 * 1024);
    auto body = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        bool ok = false;
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && announced > largestImage && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, body, tooLarge] {
        if (*tooLarge) return;
        *body += reply->read(largestImage - body->size() + 1);
        if (body->size() > largestImage) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, body, tooLarge] {
        reply->deleteLater();
        if (*tooLarge || reply->error() != QNetworkReply::NoError) {
            loading_.remove(url);
            emit failed(url);
            return;
        }
        *body += reply->read(largestImage - body->size() + 1);
        QPointer<ReleaseImageLoader> self(this);
        queue_->async([self, url, bytes = *body] {
            const QImage image = bytes.size() > largestImage ? QImage() : decode(bytes);
            Dispatch::main([self, url, image] {
                if (self) self->decoded(url, image);
            });
        });
    });
}

void ReleaseImageLoader::decoded(const QUrl& url, const QImage& image) {
    loading_.remove(url);
    if (image.isNull()) {
        emit failed(url);
        return;
    }
    if (images_.size() >= mostImagesKept) images_.clear();
    images_.insert(url, image);
    emit loaded(url, image);
}
