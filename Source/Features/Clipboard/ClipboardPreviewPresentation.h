#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QStringList>

// What the hover preview card shows and how big its parts are (points): the content area is
// bodyWidth × contentHeight, under it a 1-point divider and the information lines' area of
// infoHeight. The card adds 16 on every side.
struct ClipboardPreviewPresentation {
    ClipboardItem item;
    QStringList infoLines;
    double bodyWidth = 0;
    double contentHeight = 0;
    double infoHeight = 0;

    double totalHeight() const { return contentHeight + 1 + infoHeight; }

    bool operator==(const ClipboardPreviewPresentation& other) const {
        return item.id == other.item.id && infoLines == other.infoLines && bodyWidth == other.bodyWidth &&
               contentHeight == other.contentHeight && infoHeight == other.infoHeight;
    }
};
