#pragma once

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/System/ProcessReader.h"
#include "Source/Features/System/GroupedProcessInfo.h"

#include <QSet>

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Turns successive readings of the process table into the grouped process list: CPU shares from
// the change of each process's CPU time, the owning application of each process, and the groups.
// Not thread-safe: one queue runs the refreshes (invalidateOwners may be called from anywhere).
class ProcessListBuilder {
public:
    struct Result {
        std::vector<GroupedProcessInfo> groups;
        // Some process had CPU times from an earlier refresh to compare against.
        bool hasUsableCPU = false;
    };

    // The shortest span over which a CPU share is measured; a refresh sooner than that after the
    // last measurement repeats it, since 10 ms ticks over a few milliseconds say nothing.
    static constexpr double minimumCPUWindow = 0.5;

    ProcessListBuilder(ProcessReader reader, const DesktopEntries* entries);

    // One refresh at the given monotonic time (seconds).
    Result refresh(double monotonicSeconds, bool groupTerminalProcesses);
    // The application index changed: owners are looked up again at the next refresh.
    void invalidateOwners() { ownersStale_.store(true); }

    const ProcessReader& reader() const { return reader_; }
    // Processes remembered from the last refresh (ended ones are forgotten).
    size_t trackedCount() const { return tracked_.size(); }
    // Distinct names and paths those processes hold.
    size_t sharedTextCount() const { return size_t(texts_.size()); }

    // For a list that stops: forgets all it learned of each process but its last CPU reading, so
    // next to nothing stays in memory. Names and owners are read again at the next refresh, which
    // still measures CPU shares against the kept readings.
    void releaseIdentities();

    // Processes of the desktop session itself (init, the user's service manager, session
    // managers, desktop shells, display servers): never the owner of what they start.
    static bool isSessionProgram(const QString& name);

private:
    struct Owner {
        QString name, path, id;
        bool terminal = false;
    };
    struct Tracked {
        uint64_t startTicks = 0;
        std::string comm;
        int32_t ppid = 0;
        uint64_t generation = 0;
        bool kernel = false;
        uint64_t folder = 0;  // the inode number of the process's folder when last read
        bool session = false;
        QString processName;
        QString matchProgram, matchArgv0;
        std::shared_ptr<const Owner> entry;  // the application this process itself is
        std::optional<QDateTime> startDate;
        uint64_t baseTicks = 0;
        double baseTime = 0;
        double lastCPU = 0;
    };
    // The CPU time a process had at its last reading, kept across releaseIdentities().
    struct KeptBase {
        int32_t pid;
        uint64_t startTicks;
        uint64_t ticks;
        double time;
        double lastCPU;
    };
    struct Live {
        int32_t pid;
        Tracked* tracked;
        double cpu;
        uint64_t memory;
    };

    void identify(int32_t pid, const ProcessReader::Stat& stat, Tracked& t);
    const KeptBase* keptBase(int32_t pid, uint64_t startTicks) const;
    std::shared_ptr<const Owner> lookUpOwner(const Tracked& t);
    void resolveOwners();

    ProcessReader reader_;
    const DesktopEntries* entries_;
    std::atomic<bool> ownersStale_{false};
    std::unordered_map<int32_t, Tracked> tracked_;
    QHash<QString, std::shared_ptr<const Owner>> owners_;  // by desktop id
    uint64_t generation_ = 0;
    std::vector<KeptBase> kept_;  // by pid; emptied by the next refresh
    // One copy of each name and path the tracked processes hold: thousands of processes often
    // run a handful of programs. Names nobody holds any more are dropped after each refresh.
    QSet<QString> texts_;
    QString shared(const QString& text);
    // Reused from refresh to refresh.
    std::vector<int32_t> pids_;
    std::vector<uint64_t> pidFolders_;  // the inode number of each pid's folder
    std::vector<Live> live_;
    std::unordered_map<int32_t, int> liveIndex_;
    std::vector<int> nearest_;
    std::vector<int> path_;
};
