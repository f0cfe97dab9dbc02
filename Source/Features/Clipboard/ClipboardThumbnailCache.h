#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Clipboard/ImageCostCache.h"

#include <QImage>
#include <QUuid>

// Row thumbnails and file icons by entry id: at most 200, 4 MiB. Never emptied.
namespace ClipboardThumbnailCache {
constexpr double thumbnailSize = 58;  // points, longer side
constexpr double iconSize = 16;       // points
ImageCostCache<QUuid>& cache();
// The entry's thumbnail (images) or its first file's icon (files); null for text and on failure.
// deviceIndependentSize() is the size to draw.
QImage image(const ClipboardItem& item);
}  // namespace ClipboardThumbnailCache
