#pragma once

#include "Source/Features/Clipboard/ClipboardImageReference.h"
#include "Source/Features/Clipboard/ImageCostCache.h"

#include <QImage>
#include <QString>

// Full-size stored images, for pasting and for the Shortcuts actions: at most two, 64 MiB.
namespace ClipboardFullImageCache {
ImageCostCache<QString>& cache();
// The decoded image of the reference's file; null when it cannot be loaded. An image costing
// more than the cache's limit is returned without being kept.
QImage image(const ClipboardImageReference& reference);
}  // namespace ClipboardFullImageCache
