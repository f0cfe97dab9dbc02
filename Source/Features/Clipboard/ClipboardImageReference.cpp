#include "Source/Features/Clipboard/ClipboardImageReference.h"

#include "Platform/Files/SafeFile.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <memory>

#include <openssl/sha.h>

std::optional<ClipboardImageReference> ClipboardImageReference::fromPersistedPath(const QString& persistedPath,
                                                                                  std::optional<QSizeF> pixelSize,
                                                                                  std::optional<QString> fingerprint) {
    // Only a regular file: a link is not followed, and a FIFO or device is never opened.
    if (persistedPath.isEmpty() || !SafeFile::isRegular(persistedPath)) return std::nullopt;
    std::unique_ptr<QFile> file;
    if (!pixelSize) {
        file = SafeFile::openRegular(persistedPath);
        if (!file) return std::nullopt;
        QImageReader reader(file.get());
        pixelSize = pixelSizeFrom(reader);
        if (!pixelSize) return std::nullopt;
    }
    if (!(pixelSize->width() > 0) || !(pixelSize->height() > 0)) return std::nullopt;
    if (!fingerprint) {
        if (!file) file = SafeFile::openRegular(persistedPath);
        if (!file || !file->seek(0)) return std::nullopt;
        const qint64 size = file->size();
        if (size > largestFile) return std::nullopt;
        if (uchar* mapped = size > 0 ? file->map(0, size) : nullptr) {
            fingerprint = fingerprintFor(mapped, size);
            file->unmap(mapped);
        } else {
            const QByteArray bytes = file->readAll();
            if (file->error() != QFileDevice::NoError) return std::nullopt;
            fingerprint = fingerprintFor(bytes);
        }
    }
    return ClipboardImageReference{persistedPath, *pixelSize, *fingerprint};
}

std::optional<QSizeF> ClipboardImageReference::pixelSizeFrom(QImageReader& source) {
    if (!source.canRead()) return std::nullopt;
    const QSize size = source.size();
    if (!size.isValid()) return std::nullopt;
    return QSizeF(size);
}

QString ClipboardImageReference::fingerprintFor(const QByteArray& bytes) {
    return fingerprintFor(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size());
}

QString ClipboardImageReference::fingerprintFor(const uchar* bytes, qint64 size) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(bytes, size_t(std::max<qint64>(size, 0)), digest);
    static const char hex[] = "0123456789abcdef";
    QString text(SHA256_DIGEST_LENGTH * 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (unsigned char byte : digest) {
        *out++ = QLatin1Char(hex[byte >> 4]);
        *out++ = QLatin1Char(hex[byte & 0xf]);
    }
    return text;
}

QSize ClipboardImageReference::fittedPixelSize(const QSize& size, int maxPixels) {
    if (size.width() <= 0 || size.height() <= 0 || maxPixels <= 0) return {};
    const int longer = std::max(size.width(), size.height());
    if (longer <= maxPixels) return size;
    const double scale = double(maxPixels) / double(longer);
    return QSize(std::clamp(int(std::lround(size.width() * scale)), 1, maxPixels),
                 std::clamp(int(std::lround(size.height() * scale)), 1, maxPixels));
}

QImage ClipboardImageReference::downsampledImage(const QString& path, int maxPixels) {
    const std::unique_ptr<QFile> file = SafeFile::openRegular(path);
    if (!file) return {};
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid()) return {};
    const QSize target = fittedPixelSize(size, maxPixels);
    if (target.isEmpty()) return {};
    if (target != size) reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull()) return {};
    // A format that cannot decode at a reduced size is scaled here.
    if (std::max(image.width(), image.height()) > maxPixels)
        image = image.scaled(fittedPixelSize(image.size(), maxPixels), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage ClipboardImageReference::makeThumbnail(double maxSize) const {
    if (!(maxSize > 0) || !std::isfinite(maxSize)) return {};
    const int maxPixels = std::max(1, int(std::ceil(maxSize * 2.0)));
    QImage thumbnail = downsampledImage(path, maxPixels);
    if (thumbnail.isNull() || !(pixelSize.width() > 0) || !(pixelSize.height() > 0)) return {};
    const double scale = std::min({maxSize / pixelSize.width(), maxSize / pixelSize.height(), 1.0});
    const double pointWidth = std::max(1.0, pixelSize.width() * scale);
    thumbnail.setDevicePixelRatio(double(thumbnail.width()) / pointWidth);
    return thumbnail;
}
