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

}  // namespace

void ClipboardHistoryReader::setCheckpointForTesting(Checkpoint checkpoint) {
    std::lock_guard lock(checkpointMutex);
    checkpointForTesting = std::move(checkpoint);
}

std::vector<const ClipboardItemCodable*> ClipboardHistoryReader::keptRecords(
    const std::vector<ClipboardItemCodable>& records, int limit, std::vector<QUuid>* leftOut) {
    std::vector<const ClipboardItemCodable*> kept, others;
    for (const ClipboardItemCodable& record : records)
        (record.isPinned.value_or(false) ? kept : others).push_back(&record);
    const size_t keepOthers = size_t(std::max(limit - int(kept.size()), 0));
    for (size_t i = keepOthers; leftOut && i < others.size(); ++i)
        if (others[i]->itemID && !QUuid(*others[i]->itemID).isNull()) leftOut->push_back(QUuid(*others[i]->itemID));
    kept.insert(kept.end(), others.begin(), others.begin() + ptrdiff_t(std::min(keepOthers, others.size())));
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
