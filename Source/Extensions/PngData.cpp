#include "Source/Extensions/PngData.h"

#include <QBuffer>

std::optional<QByteArray> pngData(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || bytes.isEmpty()) return std::nullopt;
    return bytes;
}
