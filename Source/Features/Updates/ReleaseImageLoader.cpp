#include "Source/Features/Updates/ReleaseImageLoader.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"
#include "Source/Features/Updates/ReplyBody.h"
#include "Source/Features/Updates/UpdateLog.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
constexpr int transferTimeoutMs = 60000;
constexpr int mostImagesKept = 64;

QImage decode(const QByteArray& bytes, QString& problem) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header says how large the picture is: refuse before anything is allocated.
    const QSize size = reader.size();
    if (!size.isValid()) {
        problem = QStringLiteral("it is not a picture Quorvin reads");
        return {};
    }
    if (size.width() > ReleaseImageLoader::largestSide || size.height() > ReleaseImageLoader::largestSide) {
        problem = QStringLiteral("it is %1 by %2 pixels").arg(size.width()).arg(size.height());
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) problem = reader.errorString();
    return image;
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
        qCInfo(lcUpdates, "Release picture %s not shown: it is not offered over https", qPrintable(url.toString()));
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
    // Qt leaves the body as sent, and a BodyInflater undoes its encoding within the picture's cap.
    request.setRawHeader("Accept-Encoding", BodyInflater::acceptedEncodings());
    if (ssl_) request.setSslConfiguration(*ssl_);
    QNetworkReply* reply = network()->get(request);
    reply->setReadBufferSize(256 * 1024);
    auto body = std::make_shared<ReplyBody>(largestImage);
    ReplyBody::stopOnUnreadEncoding(reply);
    auto announced = std::make_shared<qint64>(-1);
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, announced] {
        bool ok = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && length > largestImage && *announced < 0) {
            *announced = length;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, body] { body->read(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, body, announced] {
        reply->deleteLater();
        QString problem = *announced >= 0 ? QStringLiteral("it is announced as %1 bytes").arg(*announced)
                                          : body->end(reply, reply->error() == QNetworkReply::NoError);
        if (problem.isEmpty() && reply->error() != QNetworkReply::NoError) problem = reply->errorString();
        if (!problem.isEmpty()) return refused(url, problem);
        QPointer<ReleaseImageLoader> self(this);
        queue_->async([self, url, bytes = body->take()] {
            QString problem;
            const QImage image = decode(bytes, problem);
            Dispatch::main([self, url, image, problem] {
                if (self) self->decoded(url, image, problem);
            });
        });
    });
}

void ReleaseImageLoader::refused(const QUrl& url, const QString& problem) {
    qCInfo(lcUpdates, "Release picture %s not shown: %s", qPrintable(url.toString()), qPrintable(problem));
    loading_.remove(url);
    emit failed(url);
}

void ReleaseImageLoader::decoded(const QUrl& url, const QImage& image, const QString& problem) {
    if (image.isNull()) return refused(url, problem);
    loading_.remove(url);
    if (images_.size() >= mostImagesKept) images_.clear();
    images_.insert(url, image);
    emit loaded(url, image);
}
