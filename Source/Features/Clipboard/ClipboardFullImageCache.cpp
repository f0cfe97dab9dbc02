#include "Source/Features/Clipboard/ClipboardFullImageCache.h"

#include "Platform/Files/SafeFile.h"

#include <QImageReader>

#include <algorithm>
#include <memory>

namespace ClipboardFullImageCache {

ImageCostCache<QString>& cache() {
    static auto* shared = new ImageCostCache<QString>(2, 64LL * 1024 * 1024);
    return *shared;
}

QImage image(const ClipboardImageReference& reference) {
    if (auto hit = cache().object(reference.path)) return *hit;
    const std::unique_ptr<QFile> file = SafeFile::openRegular(reference.path);
    if (!file) return {};
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    const QImage loaded = reader.read();
    if (loaded.isNull()) return {};
    const qint64 cost = qint64(reference.pixelSize.width()) * qint64(reference.pixelSize.height()) * 4;
    if (cost <= cache().totalCostLimit()) cache().setObject(reference.path, loaded, std::max<qint64>(cost, 1));
    return loaded;
}

}  // namespace ClipboardFullImageCache
