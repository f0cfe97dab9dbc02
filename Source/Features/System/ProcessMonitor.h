#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/ProcessHistory.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DesktopEntries;
class ProcessListBuilder;
class SerialQueue;
class SystemSettings;

// The process list grouped by owning application, and short histories of the sampler's readings.
// Lives on the GUI thread; the process table is read on its own queue.
class ProcessMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr size_t historyLength = 60;
    static constexpr const char* queueLabel = "com.merovane.processmonitor";

    // Over /proc and the installed applications.
    static ProcessMonitor& shared();
    // Over another proc tree and application index (tests); entries may be null.
    ProcessMonitor(const QString& procRoot, const DesktopEntries* entries, QObject* parent = nullptr);
    ~ProcessMonitor() override;

    // Oldest first, at most historyLength each.
    const std::vector<double>& cpuHistory() const { return cpuHistory_; }
    const std::vector<double>& cpuSystemHistory() const { return cpuSystemHistory_; }
    const std::vector<double>& memoryHistory() const { return memoryHistory_; }
    const std::vector<double>& diskHistory() const { return diskHistory_; }
    const std::vector<double>& downloadHistory() const { return downloadHistory_; }
    const std::vector<QDateTime>& historyTimestamps() const { return historyTimestamps_; }

    const std::vector<GroupedProcessInfo>& groupedProcesses() const { return *groupedProcesses_; }
    // Calls handler with the current list now and with every new list until context is destroyed.
    QMetaObject::Connection observeGroupedProcesses(
        QObject* context, std::function<void(const std::vector<GroupedProcessInfo>&)> handler);
    bool hasUsableCPU() const { return hasUsableCPU_; }

    // The settings the list follows: its period and the grouping of terminal commands
    // (SystemSettings::shared() until given).
    void setSettings(SystemSettings& settings);

    // The process-list refresh timer; null while the list is not refreshing.
    QTimer* processTimer() const { return processTimer_; }
    // Refreshes now, again 1 s later and then on a timer at the update interval's list period;
    // does nothing while the timer exists.
    void startProcessList();
    // Invalidates the timer and lets go of the stored refreshes; the sampler's histories go on.
    void stopProcessList();
    // Queues one refresh of the process list; one already waiting to run serves this request too.
    void scheduleProcessRefresh();

    // The groups of the stored refresh nearest in time to the date (the earlier one on a tie);
    // none before the first refresh.
    std::optional<std::vector<GroupedProcessInfo>> processGroups(const QDateTime& closestTo) const;
    // The stored refreshes (the last historyLength since the list last stopped).
    const ProcessHistory& processHistory() const { return history_; }

    // Follows the sampler: every sample appends its readings to the histories.
    void startHistories();
    // At quit: stops the process list and the histories.
    void stop();
    // Appends one sampler tick; readings below 0 (not taken) are left out, and the tick's time
    // is kept when any reading was.
    void appendSample(double cpu, double cpuSystem, double memory, double disk, double downloadRate,
                      const QDateTime& at);

    // Waits until the queued refreshes have run and delivers their results (tests, benchmarks).
    void waitForRefreshes();

signals:
    void cpuHistoryChanged();
    void cpuSystemHistoryChanged();
    void memoryHistoryChanged();
    void diskHistoryChanged();
    void downloadHistoryChanged();
    void historyTimestampsChanged();
    void groupedProcessesChanged(const std::vector<GroupedProcessInfo>& groups);
    void hasUsableCPUChanged(bool usable);
    void processTimerChanged();

private:
    using Groups = std::shared_ptr<const std::vector<GroupedProcessInfo>>;

    // epoch: listEpoch_ when the refresh was last asked for; one asked for before the list
    // stopped is dropped.
    void publish(Groups groups, bool usableCPU, const QDateTime& at, uint64_t epoch);
    void restartProcessTimer();
    int periodMilliseconds() const;

    std::unique_ptr<ProcessListBuilder> builder_;
    std::unique_ptr<SerialQueue> queue_;  // after the builder: its jobs use it
    std::atomic<bool> refreshPending_{false};
    std::atomic<int> deliveriesInFlight_{0};

    std::vector<double> cpuHistory_, cpuSystemHistory_, memoryHistory_, diskHistory_, downloadHistory_;
    std::vector<QDateTime> historyTimestamps_;
    Groups groupedProcesses_;
    ProcessHistory history_{historyLength};
    std::atomic<uint64_t> listEpoch_{0};
    std::atomic<uint64_t> requestEpoch_{0};  // listEpoch_ at the latest request
    bool hasUsableCPU_ = false;
    QPointer<QTimer> processTimer_;
    SystemSettings* settings_ = nullptr;
    QMetaObject::Connection settingsConnection_;
    QMetaObject::Connection samplerConnection_;
};
