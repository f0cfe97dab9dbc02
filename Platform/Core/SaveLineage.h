#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>

#include <optional>

// Which saves a version of a file two instances share descends from, newest first: each save
// names itself and the saves of the file it merged with. A file that names none (written by an
// older version or another program, or cleared) is known by its stamp alone, and `named` is false.
// What a file lacks is taken as removed by its writer only when it descends from the version this
// instance last read or wrote: a writer that never had an entry removed nothing.
struct SaveLineage {
    QByteArrayList saves;
    bool named = false;
    // The lineage a file names (`saves`, as text() gives it), or its stamp's.
    static SaveLineage of(const std::optional<QString>& saves, const QByteArray& stamp);
    // The lineage of a new save built on this one.
    SaveLineage next() const;
    // What a file written empty (at `stamp`) descends from: it names no saves, so it is known by
    // its stamp, and a save built on it goes on from `before`.
    static SaveLineage ofEmpty(const QByteArray& stamp, const SaveLineage& before);
    // Whether this version was built on `base` (the one this instance last read or wrote), by
    // writers that each merged with the file before; a file that names no saves is taken as such.
    bool descendsFrom(const SaveLineage& base) const;
    QString text() const;
    // How many saves a lineage names: a display that fell further behind has its list united.
    static constexpr int length = 64;
};

// The save of this instance that last wrote each entry (a key, a snippet) changed or removed here:
// a file whose writer never had that save sets back neither.
template <typename Entry>
class SavesWritten {
public:
    // `entries` were written in a save of `lineage`; a file that names no saves (`named` false)
    // tells nothing of them.
    template <typename Entries>
    void wrote(const Entries& entries, const SaveLineage& lineage, bool named) {
        for (const Entry& entry : entries) {
            if (named)
                saves_.insert(entry, lineage.saves.first());
            else
                saves_.remove(entry);
        }
    }
    // Whether the writer of a file of `lineage` never had the save here that last wrote `entry`.
    bool unseenBy(const Entry& entry, const SaveLineage& lineage) const {
        const auto save = saves_.constFind(entry);
        return save != saves_.constEnd() && !lineage.saves.contains(*save);
    }
    void clear() { saves_.clear(); }

private:
    QHash<Entry, QByteArray> saves_;
};
