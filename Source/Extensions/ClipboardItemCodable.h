#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// One record of the clipboard history file.
struct ClipboardItemCodable {
    enum class ItemType { text, file, image };
    static QString rawValue(ItemType type);
    static std::optional<ItemType> fromRawValue(const QString& raw);

    ItemType type = ItemType::text;
    QString value;  // the text; the first file's path; the image file's path
    std::optional<double> copiedAt;       // seconds since 2001-01-01 00:00:00 UTC
    std::optional<QString> itemID;
    std::optional<double> firstCopiedAt;
    std::optional<QString> sourceApp;
    std::optional<qint64> copyCount;
    std::optional<bool> isPinned;
    std::optional<double> imageWidth;
    std::optional<double> imageHeight;
    std::optional<QString> imageFingerprint;

    // The record of an entry. A file list keeps only its first file.
    static ClipboardItemCodable fromItem(const ClipboardItem& item);
    // The entry of a record; absent when an image record's file is unusable. Absent dates are
    // `now`; an absent or malformed id is a new one.
    std::optional<ClipboardItem> toClipboardItem(const QDateTime& now) const;
    std::optional<ClipboardItem> toClipboardItem() const;

    // Appends the record as one compact JSON object; absent optional keys are left out.
    void encode(QByteArray& out) const;

    // The history file: one compact JSON array of records.
    static QByteArray encodeFile(const std::vector<ClipboardItemCodable>& records);
    // Absent when the bytes are not a JSON array (or nest too deep). An element that is not a
    // record is skipped and the others kept in order: not an object, no "type" or "value", an
    // unknown type, or a known key holding the wrong kind of value. Null reads as absent;
    // unknown keys are ignored.
    static std::optional<std::vector<ClipboardItemCodable>> decodeFile(const QByteArray& bytes);

    static constexpr int maxNestingDepth = 16;
};
