#include "Source/Features/Clipboard/ClipboardHistoryMerge.h"

#include <algorithm>

ClipboardHistoryMerge::Version ClipboardHistoryMerge::Version::of(const ClipboardItem& item) {
    return {item.copiedAt.toMSecsSinceEpoch(), item.copyCount, item.isPinned};
}

void ClipboardHistoryMerge::loaded(const std::vector<ClipboardItem>& items, const QSet<QUuid>& inFile,
                                   const std::vector<QUuid>& leftOut, const QByteArray& stamp) {
    {
        std::lock_guard lock(mutex_);
        writtenStamp_ = stamp;
        seenStamp_.clear();
        base_.clear();
        oursBefore_.clear();
        for (const ClipboardItem& item : items)
            if (inFile.contains(item.id)) base_.insert(item.id, Version::of(item));
    }
    removed(leftOut);
}

void ClipboardHistoryMerge::removed(const std::vector<QUuid>& ids) {
    std::lock_guard lock(removedMutex_);
    for (const QUuid& id : ids) removed_.insert(id);
}

void ClipboardHistoryMerge::cleared() {
    {
        std::lock_guard lock(mutex_);
        writtenStamp_.clear();
        seenStamp_.clear();
        base_.clear();
        oursBefore_.clear();
    }
    std::lock_guard lock(removedMutex_);
    removed_.clear();
}

std::vector<ClipboardItem> ClipboardHistoryMerge::merge(std::vector<ClipboardItem> ours,
                                                        const std::vector<ClipboardItem>& onDisk, int limit,
                                                        int maxPinned, bool& changed) {
    QSet<QUuid> removedHere;
    {
        std::lock_guard lock(removedMutex_);
        removedHere = removed_;
    }
    std::lock_guard lock(mutex_);
    changed = false;
    QHash<QUuid, const ClipboardItem*> disk;
    for (const ClipboardItem& item : onDisk)
        if (!disk.contains(item.id)) disk.insert(item.id, &item);

    std::vector<ClipboardItem> result, theirs;  // theirs: entries the other instance added or changed
    QSet<QUuid> ourIds;
    for (ClipboardItem& item : ours) {
        ourIds.insert(item.id);
        const Version version = Version::of(item);
        const auto known = base_.constFind(item.id);
        const bool atBase = known != base_.constEnd() && *known == version;
        // This list may still be one from before a merge the entries here have not taken in yet.
        const auto before = oursBefore_.constFind(item.id);
        const bool unchangedHere = atBase || (before != oursBefore_.constEnd() && *before == version);
        if (atBase) oursBefore_.remove(item.id);
        const auto there = disk.constFind(item.id);
        if (there == disk.constEnd()) {
            // Saved once and gone from the file: removed or cleared there, unless copied again here.
            if (unchangedHere) {
                oursBefore_.insert(item.id, version);
                changed = true;
                continue;
            }
        } else if (unchangedHere && Version::of(**there) != version) {
            oursBefore_.insert(item.id, version);
            theirs.push_back(**there);  // copied again or pinned there
            changed = true;
            continue;
        }
        result.push_back(std::move(item));
    }
    // An entry the list here no longer holds is not given back by a later one.
    oursBefore_.removeIf([&ourIds](QHash<QUuid, Version>::iterator it) { return !ourIds.contains(it.key()); });
    for (const ClipboardItem& item : onDisk) {
        if (ourIds.contains(item.id) || removedHere.contains(item.id)) continue;
        const auto same = [&item](const ClipboardItem& other) { return other.content == item.content; };
        // The same content copied on both displays is kept once.
        if (std::any_of(result.begin(), result.end(), same) || std::any_of(theirs.begin(), theirs.end(), same))
            continue;
        theirs.push_back(item);
        changed = true;
    }

    // Their entries go where a copy would: a pin at the end of the pins while there is room, any
    // other entry before the first one copied earlier.
    auto pins = [&result] {
        return int(std::find_if(result.begin(), result.end(), [](const ClipboardItem& i) { return !i.isPinned; }) -
                   result.begin());
    };
    for (ClipboardItem& item : theirs) {
        if (item.isPinned && pins() >= maxPinned) item.isPinned = false;
        auto at = result.begin() + pins();
        if (!item.isPinned)
            at = std::find_if(at, result.end(), [&item](const ClipboardItem& i) { return i.copiedAt < item.copiedAt; });
        result.insert(at, std::move(item));
    }
    const size_t keep = size_t(pins()) + size_t(std::max(limit - pins(), 0));
    if (changed && result.size() > keep) result.erase(result.begin() + ptrdiff_t(keep), result.end());
    return result;
}

void ClipboardHistoryMerge::written(const std::vector<ClipboardItem>& items, const QByteArray& stamp) {
    std::lock_guard lock(mutex_);
    writtenStamp_ = stamp;
    base_.clear();
    QSet<QUuid> ids;
    for (const ClipboardItem& item : items) {
        base_.insert(item.id, Version::of(item));
        ids.insert(item.id);
    }
    // What is gone from the file needs no more removing; what a save not yet run still held stays.
    std::lock_guard removedLock(removedMutex_);
    removed_.intersect(ids);
}

void ClipboardHistoryMerge::seen(const std::vector<ClipboardItem>& onDisk, const QByteArray& stamp) {
    std::lock_guard lock(mutex_);
    seenStamp_ = stamp;
    base_.clear();
    for (const ClipboardItem& item : onDisk) base_.insert(item.id, Version::of(item));
}

bool ClipboardHistoryMerge::isAsWritten(const QByteArray& stamp) {
    std::lock_guard lock(mutex_);
    return !stamp.isEmpty() && stamp == writtenStamp_;
}

bool ClipboardHistoryMerge::isKnown(const QByteArray& stamp) {
    std::lock_guard lock(mutex_);
    return !stamp.isEmpty() && (stamp == writtenStamp_ || stamp == seenStamp_);
}
