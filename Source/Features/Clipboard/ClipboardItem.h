#pragma once

#include "Source/Features/Clipboard/ClipboardContent.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

// One entry of the clipboard history.
struct ClipboardItem {
    QUuid id;
    ClipboardContent content = ClipboardContent::text(QString());
    QDateTime copiedAt;       // the latest copy of this content
    QDateTime firstCopiedAt;  // the first copy
    std::optional<QString> sourceApp;  // name of the application in front at the copy
    qint64 copyCount = 1;
    bool isPinned = false;
    std::optional<QString> imagePath;  // the image's file, for image content only
    bool isConcealed = false;          // kept in memory only, shown masked
    // The dates as the history file gave them (seconds since 2001), finer than a millisecond;
    // written back unchanged while the dates above still match them.
    std::optional<double> storedCopiedAt;
    std::optional<double> storedFirstCopiedAt;

    // A new entry of a fresh id, copied once at `at`.
    static ClipboardItem make(const ClipboardContent& content, const QDateTime& at,
                              std::optional<QString> sourceApp = std::nullopt);

    // Entries are equal when their contents are: the store finds a re-copied content this way.
    bool operator==(const ClipboardItem& other) const { return content == other.content; }
};
