#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"

#include <algorithm>

namespace ClipboardPreviewImageCache {

ImageCostCache<QString>& cache() {
    static auto* shared = new ImageCostCache<QString>(2, 16LL * 1024 * 1024);
    return *shared;
}

QImage image(const ClipboardImageReference& reference) {
    if (auto hit = cache().object(reference.path)) return *hit;
    QImage preview = ClipboardImageReference::downsampledImage(reference.path, maxPixelSize);
    if (preview.isNull()) return {};
    preview.setDevicePixelRatio(1.0);
    const qint64 cost = qint64(preview.bytesPerLine()) * preview.height();
    if (cost <= cache().totalCostLimit()) cache().setObject(reference.path, preview, std::max<qint64>(cost, 1));
    return preview;
}

}  // namespace ClipboardPreviewImageCache
