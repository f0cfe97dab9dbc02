#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <optional>

class QImageReader;

// A copied image stored on disk as a PNG file in the history's image folder.
struct ClipboardImageReference {
    QString path;        // absolute path of the PNG file
    QSizeF pixelSize;    // both sides greater than 0
    QString fingerprint; // SHA-256 of the file's bytes, 64 lower-case hexadecimal digits

    // The largest stored file read: the PNG of the largest image Qt decodes (256 MB of pixels),
    // uncompressed, with room to spare. None larger is stored.
    static constexpr qint64 largestFile = qint64(320) << 20;

    // The same picture stored twice under different names is one content: the path takes no part.
    bool operator==(const ClipboardImageReference& other) const {
        return pixelSize.width() == other.pixelSize.width() && pixelSize.height() == other.pixelSize.height() &&
               fingerprint == other.fingerprint;
    }

    // A reference to a stored file, for reading the history file. Fails when no file exists at the
    // path, when the size is absent and cannot be read from the file or is not positive, or when
    // the fingerprint is absent and the file cannot be read or is larger than largestFile. Given
    // values are used unchanged.
    static std::optional<ClipboardImageReference> fromPersistedPath(const QString& persistedPath,
                                                                    std::optional<QSizeF> pixelSize,
                                                                    std::optional<QString> fingerprint);

    // A downsampled image whose longer side is at most maxSize points (twice as many pixels);
    // never scaled up. Its deviceIndependentSize() is the size to show. Null when it cannot be made.
    QImage makeThumbnail(double maxSize) const;

    // The pixel size an image source declares; absent when it cannot be read.
    static std::optional<QSizeF> pixelSizeFrom(QImageReader& source);
    // SHA-256 of the bytes, "%02x" per byte, joined without separator.
    static QString fingerprintFor(const QByteArray& bytes);
    static QString fingerprintFor(const uchar* bytes, qint64 size);

    // The pixel size of a thumbnail of an image of `size` pixels whose longer side may have at
    // most maxPixels pixels; never larger than the image.
    static QSize fittedPixelSize(const QSize& size, int maxPixels);
    // Decodes the file downsampled so its longer side has at most maxPixels pixels, with its
    // orientation applied. Null on failure.
    static QImage downsampledImage(const QString& path, int maxPixels);
};
