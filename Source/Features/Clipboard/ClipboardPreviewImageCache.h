#pragma once

#include "Source/Features/Clipboard/ClipboardImageReference.h"
#include "Source/Features/Clipboard/ImageCostCache.h"

#include <QImage>
#include <QString>

// Images of at most 1200 pixels on the longer side, for the hover preview: at most two, 16 MiB.
namespace ClipboardPreviewImageCache {
constexpr int maxPixelSize = 1200;
ImageCostCache<QString>& cache();
// One point per pixel; null when the file cannot be decoded.
QImage image(const ClipboardImageReference& reference);
}  // namespace ClipboardPreviewImageCache
