#include "Source/Features/Clipboard/ClipboardHistoryReader.h"

#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardSettings.h"

#include <algorithm>
#include <cerrno>
#include <mutex>

const qint64 ClipboardHistoryReader::largestFile =
    qint64(ClipboardSettings::mostItems + ClipboardManager::maxPinned) * (6 * ClipboardManager::maxTextBytes + 4096);

namespace {

std::mutex checkpointMutex;
ClipboardHistoryReader::Checkpoint checkpointForTesting;

FileError tooLarge(const QFile& file) {
    return FileError{file.fileName(),
                     QStringLiteral("is larger than %1 bytes").arg(ClipboardHistoryReader::largestFile), EFBIG};
}

// A record's id, where it has one.
void noteID(std::vector<QUuid>& ids, const std::optional<QString>& itemID) {
    if (!itemID) return;
    const QUuid id(*itemID);
    if (!id.isNull()) ids.push_back(id);
}

}  // namespace

void ClipboardHistoryReader::setCheckpointForTesting(Checkpoint checkpoint) {
    std::lock_guard lock(checkpointMutex);
    checkpointForTesting = std::move(checkpoint);
}

std::optional<std::vector<ClipboardItemCodable>> ClipboardHistoryReader::keptRecords(int limit,
                                                                                     std::vector<QUuid>* leftOut,
                                                                                     int* skipped,
                                                                                     std::optional<QString>* firstSaves) {
    // The pins are known only at the end: the first `limit` others are built, the rest read past.
    std::vector<QUuid> pastLimit;
    int others = 0;
    const auto wanted = [&](bool isPinned, const std::optional<QString>& itemID) {
        if (isPinned) return true;
        if (others < limit) {
            ++others;
            return true;
        }
        if (leftOut) noteID(pastLimit, itemID);
        return false;
    };
    auto records = ClipboardItemCodable::decodeStream(std::ref(*this), skipped, wanted);
    if (!records) return records;
    // Still in file order: the first record (always built, or the limit is none) names the saves.
    if (firstSaves) *firstSaves = records->empty() ? std::nullopt : records->front().saves;
    std::vector<ClipboardItemCodable> kept;
    std::vector<ClipboardItemCodable*> unpinned;
    for (ClipboardItemCodable& record : *records)
        if (record.isPinned.value_or(false))
            kept.push_back(std::move(record));
        else
            unpinned.push_back(&record);
    const size_t keepOthers = std::min(size_t(std::max(limit - int(kept.size()), 0)), unpinned.size());
    for (size_t i = 0; i < unpinned.size(); ++i) {
        if (i < keepOthers) {
            kept.push_back(std::move(*unpinned[i]));
            continue;
        }
        if (leftOut) noteID(*leftOut, unpinned[i]->itemID);
    }
    if (leftOut) leftOut->insert(leftOut->end(), pastLimit.begin(), pastLimit.end());
    return kept;
}

bool ClipboardHistoryReader::stopRequested() const {
    if (!stop) return false;
    Checkpoint checkpoint;
    {
        std::lock_guard lock(checkpointMutex);
        checkpoint = checkpointForTesting;
    }
    if (checkpoint) checkpoint(bytesRead, stop);
    return stop();
}

ClipboardHistoryReader::ClipboardHistoryReader(QFile& file, std::function<bool()> stop)
    : file(file), stop(std::move(stop)) {
    if (file.size() > largestFile) failure = tooLarge(file);
}

qint64 ClipboardHistoryReader::operator()(char* buffer, qint64 capacity) {
    if (failure) return -1;
    if (stopRequested()) {
        stopped = true;
        return -1;
    }
    const qint64 count = file.read(buffer, std::min(capacity, largestFile + 1 - bytesRead));
    if (count < 0) {
        failure = FileError{file.fileName(), file.errorString(), EIO};
        return -1;
    }
    bytesRead += count;
    if (bytesRead > largestFile) {
        failure = tooLarge(file);
        return -1;
    }
    return count;
}
