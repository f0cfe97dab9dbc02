#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QString>
#include <QUuid>

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

// Which saves a version of the file descends from, newest first: each save names itself and
// the saves of the file it merged with. A file that names none (written by an older version or
// another program, or cleared) is known by its stamp alone, and `named` is false.
struct ClipboardHistoryLineage {
    QByteArrayList saves;
    bool named = false;
    // The lineage a file's first record gives, or its stamp's.
    static ClipboardHistoryLineage of(const std::optional<QString>& saves, const QByteArray& stamp);
    // The lineage of a new save built on this one.
    ClipboardHistoryLineage next() const;
    // What a file written empty (at `stamp`) descends from: it names no saves, so it is known by
    // its stamp, and a save built on it goes on from `before`.
    static ClipboardHistoryLineage ofEmpty(const QByteArray& stamp, const ClipboardHistoryLineage& before);
    QString text() const;
    // How many saves a lineage names: a display that fell further behind has its list united.
    static constexpr int length = 64;
};

// Two instances of the program (one user on two displays) keep one history file. Before each
// write the file is read again, and what the other instance saved since this one last read or
// wrote it is taken in: entries it added, its re-copies and pin changes, its removals and clears.
// Entries removed here stay removed. Safe to use from any thread.
class ClipboardHistoryMerge {
public:
    // What an entry was when this instance last read or wrote the file.
    struct Version {
        qint64 copiedAt = 0;  // milliseconds since the epoch, as the file keeps them
        qint64 copyCount = 0;
        bool isPinned = false;
        bool operator==(const Version&) const = default;
        static Version of(const ClipboardItem& item);
    };

    using Lineage = ClipboardHistoryLineage;

    // The entries the file held when read (`inFile`: those whose ids it gave), and the ids of
    // records left out by the limit, which are removed from the file here; `stamp` tells the version
    // read (empty where unknown), so that a save need not read it again while it is unchanged.
    void loaded(const std::vector<ClipboardItem>& items, const QSet<QUuid>& inFile, const std::vector<QUuid>& leftOut,
                const QByteArray& stamp = {}, const Lineage& lineage = {});
    // Entries removed here: the other instance's copy of them is not taken in again.
    void removed(const std::vector<QUuid>& ids);
    // The file was cleared here, and now is `lineage` (what it was before, with the clear on top).
    void cleared(const Lineage& lineage = {});

    // What to write: `ours` (this instance's entries, pins first) with what another instance
    // changed in `onDisk` (the file's entries now, of `lineage`) laid in, pins held to `maxPinned`
    // and the others to `limit`. `changed` tells whether it differs from `ours`. An entry here
    // that the file lacks counts as removed there only when the file descends from the one this
    // instance last read or wrote (or names no saves): a writer that never had it removed nothing,
    // and what was removed or cleared since is not taken back from it.
    std::vector<ClipboardItem> merge(std::vector<ClipboardItem> ours, const std::vector<ClipboardItem>& onDisk,
                                     int limit, int maxPinned, bool& changed, const Lineage& lineage = {});
    // The file now holds `items`, saved as `lineage`; `stamp` tells that version of the file,
    // given when it holds nothing this instance's entries lack (empty otherwise). `mergedFile`:
    // whether the save merged with the file it replaced (else the removals noted here stay noted).
    void written(const std::vector<ClipboardItem>& items, const QByteArray& stamp, const Lineage& lineage = {},
                 bool mergedFile = true);
    // The file, read at `stamp`, holds `onDisk` (nothing was written).
    void seen(const std::vector<ClipboardItem>& onDisk, const QByteArray& stamp, const Lineage& lineage = {});
    // Whether the file is still the version this instance wrote last, holding nothing new.
    bool isAsWritten(const QByteArray& stamp);
    // Whether this instance wrote or read that version of the file last.
    bool isKnown(const QByteArray& stamp);
    // The lineage of the file as this instance last read or wrote it.
    Lineage base();

private:
    std::mutex mutex_;
    QHash<QUuid, Version> base_;  // the file's entries at this instance's last read or write
    Lineage baseLineage_;
    // What the entries here were before a merge replaced or dropped them: a save of a list not
    // yet updated still holds them, unchanged here.
    QHash<QUuid, Version> oursBefore_;
    std::mutex removedMutex_;  // apart, so that noting a removal never waits for a merge
    QSet<QUuid> removed_;  // removed here, perhaps still in the file
    // Removed here or there and gone from the file, the latest `maxGone`: not taken back from a
    // file whose writer never took in the removal.
    static constexpr size_t maxGone = 10000;
    QSet<QUuid> gone_;
    std::deque<QUuid> goneOrder_;
    void noteGone(const QUuid& id);  // with removedMutex_ held
    QByteArray writtenStamp_, seenStamp_;
};
