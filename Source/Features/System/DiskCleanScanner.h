#pragma once

#include "Platform/Core/SerialQueue.h"
#include "Source/Features/System/CleanupCatalog.h"
#include "Source/Features/System/CleanupItem.h"
#include "Source/Features/System/HomeGuard.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DiskCleanSettings;
class Trash;

// Measures the enabled cleanup targets under the home folder, publishes the result grouped by
// category, keeps the last result in "lastScan.json", and moves chosen items to the Trash (never
// deletes). Published values change on the GUI thread only; every look at the file system (scans,
// the saved result, path checks) runs on "com.merovane.diskclean" or the Trash queue.
class DiskCleanScanner : public QObject {
    Q_OBJECT
public:
    enum class Phase { idle, scanning, complete };
    struct State {
        Phase phase = Phase::idle;
        QDateTime date;  // when the shown result was made (complete only)
        bool operator==(const State&) const = default;
    };

    // Where a scanner looks and keeps its file.
    struct Places {
        CleanupBases bases;
        QString storePath;  // lastScan.json
        // The most a saved result is read of: rows and the paths they name; anything larger is not one.
        static constexpr qint64 largestStore = qint64(64) << 20;
        QString homeTrash;  // kept out of every move
        static Places current();
    };

    // What a move to the Trash did: every path moved, some, or none (with the reasons).
    struct TrashReport {
        int moved = 0;
        int attempted = 0;
        QStringList failures;
        bool succeeded() const { return attempted > 0 && moved == attempted; }
        bool partial() const { return moved > 0 && moved < attempted; }
    };

    // How single paths are looked at: the guard's check, presence, reading the saved result.
    struct FileProbe {
        std::function<QString(const HomeGuard&, const QString&)> admit;
        std::function<bool(const QString&)> exists;
        std::function<std::optional<QByteArray>(const QString&)> read;
        static FileProbe real();
    };

    static DiskCleanScanner& shared();
    // The saved result is read on the queue; it shows once the GUI thread hears of it.
    DiskCleanScanner(DiskCleanSettings& settings, Places places, Trash& trash, FileProbe probe = FileProbe::real(),
                     QObject* parent = nullptr);
    ~DiskCleanScanner() override;

    static const QList<CleanupCandidate>& candidates() { return CleanupCatalog::candidates(); }

    State state() const { return state_; }
    const QList<CleanupGroup>& groups() const { return groups_; }
    QString currentPath() const { return currentPath_; }
    double reclaimable() const;

    // Starts a scan unless one runs; the settings are read now.
    void scan();
    // Moves every path of the item to the Trash, one by one. A path outside the home folder (or in
    // a Trash) refuses the whole item. The completion always runs, later, on the GUI thread; a rescan
    // follows whenever anything moved.
    void moveToTrash(const CleanupItem& item, std::function<void(const TrashReport&)> completion);

    // The custom folders of the settings that may be touched, normalised, in stored order. Looks at
    // the file system on the calling thread: never on the GUI thread.
    QStringList customTargets() const;
    const HomeGuard& guard() const { return guard_; }

    // Waits for queued scans and moves (tests).
    void waitUntilIdle();

signals:
    void stateChanged();
    void groupsChanged();
    void currentPathChanged();

private:
    struct Job;
    static QList<CleanupGroup> run(const Job& job, const std::function<void(const QString&)>& report);
    static QStringList admitted(const QStringList& stored, const HomeGuard& guard, const FileProbe& probe);
    struct Restored {
        QList<CleanupGroup> groups;
        QDateTime date;
    };
    static std::optional<Restored> restore(const QString& storePath, const HomeGuard& guard, const FileProbe& probe);
    void setCurrentPath(const QString& path);
    void finish(QList<CleanupGroup> groups);
    void persist(const QList<CleanupGroup>& groups, const QDateTime& at);
    void showRestored(Restored restored);

    DiskCleanSettings& settings_;
    Places places_;
    Trash& trash_;
    FileProbe probe_;
    HomeGuard guard_;
    State state_;
    QList<CleanupGroup> groups_;
    QString currentPath_;
    std::unique_ptr<SerialQueue> queue_;
    std::unique_ptr<SerialQueue> trashQueue_;
};
