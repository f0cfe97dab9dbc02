#pragma once

#include "Platform/Files/FileError.h"
#include "Source/Extensions/ClipboardItemCodable.h"

#include <QFile>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

// The history file's bytes for the decoder, a chunk at a time, held to the largest history file;
// the read ends where `stop` says so before a chunk. Any queue.
struct ClipboardHistoryReader {
    // The largest history file read: the most entries kept, each the longest text kept with every
    // byte written as an escape ("\u0001"), and room for the rest of its record.
    static const qint64 largestFile;

    // Called before each chunk of a read that can be stopped, with the bytes read so far.
    using Checkpoint = std::function<void(qint64 bytesRead, const std::function<bool()>& stop)>;
    static void setCheckpointForTesting(Checkpoint checkpoint);

    ClipboardHistoryReader(QFile& file, std::function<bool()> stop);
    // Reads the file's records a start keeps, in order: every pin, then the others in file order up
    // to `limit` entries in all. The others are never built: their ids go in `leftOut`, in file
    // order. `firstSaves` gets the saves the file's first record names. Absent when the file cannot be
    // read whole (see decodeStream()).
    std::optional<std::vector<ClipboardItemCodable>> keptRecords(int limit, std::vector<QUuid>* leftOut = nullptr,
                                                                 int* skipped = nullptr,
                                                                 std::optional<QString>* firstSaves = nullptr);
    qint64 operator()(char* buffer, qint64 capacity);
    // Whether the read is to end now; also asked between the entries made of what was read.
    bool stopRequested() const;

    QFile& file;
    std::function<bool()> stop;
    qint64 bytesRead = 0;
    bool stopped = false;
    std::optional<FileError> failure;
};
