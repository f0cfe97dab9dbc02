#include "Source/Features/Clipboard/ClipboardThumbnailCache.h"

#include "Platform/Desktop/Workspace.h"

#include <QIcon>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace ClipboardThumbnailCache {

ImageCostCache<QUuid>& cache() {
    static auto* shared = new ImageCostCache<QUuid>(200, 4LL * 1024 * 1024);
    return *shared;
}

QImage image(const ClipboardItem& item) {
    if (auto hit = cache().object(item.id)) return *hit;
    QImage result;
    switch (item.content.kind()) {
    case ClipboardContent::Kind::text:
        return {};
    case ClipboardContent::Kind::image:
        result = item.content.imageReference()->makeThumbnail(thumbnailSize);
        break;
    case ClipboardContent::Kind::files: {
        const QList<QUrl> urls = item.content.fileURLs();
        if (urls.isEmpty()) return {};
        const QUrl& first = urls.first();
        const QIcon icon = Workspace::shared().icon(first.isLocalFile() ? first.toLocalFile() : first.toString());
        const QPixmap pixmap = icon.pixmap(QSize(int(iconSize), int(iconSize)), 2.0);
        result = pixmap.toImage();
        if (!result.isNull()) result.setDevicePixelRatio(double(result.width()) / iconSize);
        break;
    }
    }
    if (result.isNull()) return {};
    const QSizeF points = result.deviceIndependentSize();
    const qint64 cost = std::max<qint64>(1, qint64(std::ceil(points.width() * points.height() * 4)));
    cache().setObject(item.id, result, cost);
    return result;
}

}  // namespace ClipboardThumbnailCache
