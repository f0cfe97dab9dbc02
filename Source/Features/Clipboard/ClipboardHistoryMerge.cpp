#include "Source/Features/Clipboard/ClipboardHistoryMerge.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <algorithm>
#include <iterator>

namespace {

int pinCount(const std::vector<ClipboardItem>& items) {
    return int(std::find_if(items.begin(), items.end(), [](const ClipboardItem& i) { return !i.isPinned; }) -
               items.begin());
}

// Their entries laid in, in their order, where a copy would go: a pin at the end of the pins while
// there is room, any other entry before the first one copied earlier. Each lands in the gap before
// the first entry here copied earlier than it, after those of theirs there copied as late or later.
std::vector<ClipboardItem> placed(std::vector<ClipboardItem> result, std::vector<ClipboardItem> theirs,
                                  int maxPinned) {
    const size_t pins = size_t(pinCount(result));
    // earliest[i]: the earliest copy among the entries after the pins up to the i-th.
    std::vector<QDateTime> earliest;
    earliest.reserve(result.size() - pins);
    for (size_t i = pins; i < result.size(); ++i)
        earliest.push_back(earliest.empty() ? result[i].copiedAt : std::min(earliest.back(), result[i].copiedAt));
    std::vector<ClipboardItem> pinned;
    std::vector<std::pair<size_t, ClipboardItem>> others;  // the gap each goes in
    for (ClipboardItem& item : theirs) {
        if (item.isPinned && int(pins + pinned.size()) >= maxPinned) item.isPinned = false;
        if (item.isPinned) {
            pinned.push_back(std::move(item));
            continue;
        }
        const auto gap = std::partition_point(earliest.begin(), earliest.end(),
                                              [&item](const QDateTime& at) { return !(at < item.copiedAt); });
        others.emplace_back(size_t(gap - earliest.begin()), std::move(item));
    }
    std::stable_sort(others.begin(), others.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : b.second.copiedAt < a.second.copiedAt;
    });
    std::vector<ClipboardItem> merged;
    merged.reserve(result.size() + pinned.size() + others.size());
    std::move(result.begin(), result.begin() + ptrdiff_t(pins), std::back_inserter(merged));
    std::move(pinned.begin(), pinned.end(), std::back_inserter(merged));
    auto next = others.begin();
    for (size_t gap = 0; gap <= result.size() - pins; ++gap) {
        for (; next != others.end() && next->first == gap; ++next) merged.push_back(std::move(next->second));
        if (gap < result.size() - pins) merged.push_back(std::move(result[pins + gap]));
    }
    return merged;
}

}  // namespace

ClipboardHistoryLineage ClipboardHistoryLineage::of(const std::optional<QString>& saves, const QByteArray& stamp) {
    ClipboardHistoryLineage lineage;
    if (saves) {
        for (const QString& save : saves->split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (lineage.saves.size() == length) break;
            if (save.size() <= 32) lineage.saves.append(save.toLatin1());
        }
    }
    lineage.named = !lineage.saves.isEmpty();
    // Every instance that reads this version of the file names it alike.
    if (!lineage.named && !stamp.isEmpty())
        lineage.saves.append('~' + QCryptographicHash::hash(stamp, QCryptographicHash::Sha256).toHex().left(16));
    return lineage;
}

ClipboardHistoryLineage ClipboardHistoryLineage::next() const {
    ClipboardHistoryLineage lineage;
    lineage.named = true;
    lineage.saves.append(QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0'));
    for (const QByteArray& save : saves) {
        if (lineage.saves.size() == length) break;
        lineage.saves.append(save);
    }
    return lineage;
}

ClipboardHistoryLineage ClipboardHistoryLineage::ofEmpty(const QByteArray& stamp,
                                                         const ClipboardHistoryLineage& before) {
    ClipboardHistoryLineage lineage = of(std::nullopt, stamp);
    for (const QByteArray& save : before.saves)
        if (lineage.saves.size() < length) lineage.saves.append(save);
    return lineage;
}

QString ClipboardHistoryLineage::text() const { return QString::fromLatin1(saves.join(' ')); }

ClipboardHistoryMerge::Version ClipboardHistoryMerge::Version::of(const ClipboardItem& item) {
    return {item.copiedAt.toMSecsSinceEpoch(), item.copyCount, item.isPinned};
}

void ClipboardHistoryMerge::loaded(const std::vector<ClipboardItem>& items, const QSet<QUuid>& inFile,
                                   const std::vector<QUuid>& leftOut, const QByteArray& stamp, const Lineage& lineage) {
    {
        std::lock_guard lock(mutex_);
        writtenStamp_ = stamp;
        baseLineage_ = lineage;
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

void ClipboardHistoryMerge::cleared(const Lineage& lineage) {
    {
        std::lock_guard lock(mutex_);
        baseLineage_ = lineage;
        writtenStamp_.clear();
        seenStamp_.clear();
        std::lock_guard removedLock(removedMutex_);
        for (auto it = base_.cbegin(); it != base_.cend(); ++it) noteGone(it.key());
        base_.clear();
        oursBefore_.clear();
    }
    std::lock_guard lock(removedMutex_);
    for (const QUuid& id : std::as_const(removed_)) noteGone(id);
    removed_.clear();
}

void ClipboardHistoryMerge::noteGone(const QUuid& id) {
    if (gone_.contains(id)) return;
    gone_.insert(id);
    goneOrder_.push_back(id);
    if (goneOrder_.size() > maxGone) {
        gone_.remove(goneOrder_.front());
        goneOrder_.pop_front();
    }
}

std::vector<ClipboardItem> ClipboardHistoryMerge::merge(std::vector<ClipboardItem> ours,
                                                        const std::vector<ClipboardItem>& onDisk, int limit,
                                                        int maxPinned, bool& changed, const Lineage& lineage) {
    std::lock_guard lock(mutex_);
    // Built on what this instance last read or wrote, by writers that each merged with the file before.
    const bool descends =
        !lineage.named || (!baseLineage_.saves.isEmpty() && lineage.saves.contains(baseLineage_.saves.first()));
    QSet<QUuid> removedHere;
    {
        std::lock_guard removedLock(removedMutex_);
        removedHere = removed_;
        // A writer that never took in a removal made here or there may still hold the entry: it is
        // removed here again, and stays so until a save leaves it out of the file.
        if (!descends)
            for (const ClipboardItem& item : onDisk)
                if (gone_.contains(item.id)) {
                    removed_.insert(item.id);
                    removedHere.insert(item.id);
                }
    }
    changed = false;
    QHash<QUuid, const ClipboardItem*> disk;
    for (const ClipboardItem& item : onDisk)
        if (!disk.contains(item.id)) disk.insert(item.id, &item);

    std::vector<ClipboardItem> result, theirs;  // theirs: entries the other instance added or changed
    std::vector<QUuid> droppedHere;  // removed there
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
            // A file written by one that never took it in removed nothing.
            if (unchangedHere && descends) {
                droppedHere.push_back(item.id);
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
    // The same content copied on both displays is kept once.
    QSet<ClipboardContent> contents;
    contents.reserve(qsizetype(result.size() + theirs.size()));
    for (const auto* list : {&result, &theirs})
        for (const ClipboardItem& item : *list) contents.insert(item.content);
    for (const ClipboardItem& item : onDisk) {
        if (ourIds.contains(item.id) || removedHere.contains(item.id) || contents.contains(item.content)) continue;
        contents.insert(item.content);
        theirs.push_back(item);
        changed = true;
    }
    {
        std::lock_guard removedLock(removedMutex_);
        for (const QUuid& id : droppedHere) noteGone(id);
    }
    result = placed(std::move(result), std::move(theirs), maxPinned);
    const size_t pins = size_t(pinCount(result));
    const size_t keep = pins + size_t(std::max(limit - int(pins), 0));
    if (changed && result.size() > keep) result.erase(result.begin() + ptrdiff_t(keep), result.end());
    return result;
}

void ClipboardHistoryMerge::written(const std::vector<ClipboardItem>& items, const QByteArray& stamp,
                                    const Lineage& lineage, bool mergedFile) {
    std::lock_guard lock(mutex_);
    writtenStamp_ = stamp;
    baseLineage_ = lineage;
    base_.clear();
    QSet<QUuid> ids;
    for (const ClipboardItem& item : items) {
        base_.insert(item.id, Version::of(item));
        ids.insert(item.id);
    }
    // What is gone from the file needs no more removing; what a save not yet run still held stays,
    // and so does all of it while the other display may still hold a list from before (a save
    // that found no file to merge with).
    if (!mergedFile) return;
    std::lock_guard removedLock(removedMutex_);
    for (const QUuid& id : std::as_const(removed_))
        if (!ids.contains(id)) noteGone(id);
    removed_.intersect(ids);
}

void ClipboardHistoryMerge::seen(const std::vector<ClipboardItem>& onDisk, const QByteArray& stamp,
                                 const Lineage& lineage) {
    std::lock_guard lock(mutex_);
    seenStamp_ = stamp;
    baseLineage_ = lineage;
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

ClipboardHistoryMerge::Lineage ClipboardHistoryMerge::base() {
    std::lock_guard lock(mutex_);
    return baseLineage_;
}
