#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QByteArray>
#include <QString>

#include <functional>
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
    // The first file's URL, percent-encoded, where its path alone would name another file (a name
    // that is not UTF-8 reads back as its look-alike). Used only while it agrees with `value`.
    std::optional<QString> fileURL;
    // On a history file's first record: the saves the file descends from, newest first, as
    // space-separated ids. Another kind of value is ignored.
    std::optional<QString> saves;

    // The record of an entry. A file list keeps only its first file. Dates read from a file are
    // written back to the digit while the entry's date is unchanged.
    static ClipboardItemCodable fromItem(const ClipboardItem& item);
    // The entry of a record; absent when an image record's file is unusable. An image is looked
    // for by its file name in `imagesDirectory`, wherever the record says it is, and must be a
    // regular file there. Absent dates are `now`; an absent or malformed id is a new one; the
    // copy count is at least 1.
    std::optional<ClipboardItem> toClipboardItem(const QDateTime& now, const QString& imagesDirectory) const;
    // The path in `imagesDirectory` of the image a record names (by its file name); absent when
    // the record names no file.
    static std::optional<QString> imagePathIn(const QString& imagesDirectory, const QString& value);

    // Appends the record as one compact JSON object; absent optional keys are left out.
    void encode(QByteArray& out) const;

    // The history file: one compact JSON array of records.
    static QByteArray encodeFile(const std::vector<ClipboardItemCodable>& records);
    // Absent when the bytes are not a JSON array (or nest too deep). An element that is not a
    // record is skipped (and counted in `skipped`) and the others kept in order: not an object,
    // no "type" or "value", an unknown type, or a known key holding the wrong kind of value.
    // Null reads as absent; unknown keys are ignored; a whole copy count beyond 64 bits is the
    // largest one.
    static std::optional<std::vector<ClipboardItemCodable>> decodeFile(const QByteArray& bytes, int* skipped = nullptr);
    // Where decodeStream() takes the file's bytes from: fills `buffer` with up to `capacity` bytes
    // and gives how many, 0 at the end, -1 when reading must stop (a failure, or a stop asked for).
    using ByteSource = std::function<qint64(char* buffer, qint64 capacity)>;
    // Asked of each readable record before it is built, with its pin and id: a record not wanted
    // is read past, its text never made.
    using Wanted = std::function<bool(bool isPinned, const std::optional<QString>& itemID)>;
    // As decodeFile(), reading the bytes a chunk at a time as the parser goes: the file is never
    // held whole. Absent also when the source stops. Only the records `wanted` (when given) are kept.
    static std::optional<std::vector<ClipboardItemCodable>> decodeStream(const ByteSource& source,
                                                                         int* skipped = nullptr,
                                                                         const Wanted& wanted = Wanted());

    static constexpr int maxNestingDepth = 16;
};
