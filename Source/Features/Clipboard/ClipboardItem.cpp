#include "Source/Features/Clipboard/ClipboardItem.h"

ClipboardItem ClipboardItem::make(const ClipboardContent& content, const QDateTime& at, std::optional<QString> sourceApp) {
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = content;
    item.copiedAt = at;
    item.firstCopiedAt = at;
    item.sourceApp = std::move(sourceApp);
    if (const ClipboardImageReference* ref = content.imageReference()) item.imagePath = ref->path;
    return item;
}
