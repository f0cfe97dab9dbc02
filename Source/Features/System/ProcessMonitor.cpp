#include "Source/Features/System/ProcessMonitor.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/System/OwnMemory.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/ProcessListBuilder.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/System/SystemSettings.h"

#include <QCoreApplication>
#include <QThread>

#include <cmath>

namespace {

template <typename T>
void appendCapped(std::vector<T>& history, T value) {
    history.push_back(std::move(value));
    if (history.size() > ProcessMonitor::historyLength)
        history.erase(history.begin(), history.begin() + ptrdiff_t(history.size() - ProcessMonitor::historyLength));
}

}  // namespace

ProcessMonitor& ProcessMonitor::shared() {
    static ProcessMonitor* instance = new ProcessMonitor(QStringLiteral("/proc"), &DesktopEntries::shared());
    return *instance;
}

ProcessMonitor::ProcessMonitor(const QString& procRoot, const DesktopEntries* entries, QObject* parent)
    : QObject(parent),
      builder_(std::make_unique<ProcessListBuilder>(ProcessReader(procRoot), entries)),
      queue_(std::make_unique<SerialQueue>(queueLabel, QueuePriority::userInitiated)),
      groupedProcesses_(std::make_shared<const std::vector<GroupedProcessInfo>>()) {
    if (entries) {
        ProcessListBuilder* builder = builder_.get();
        connect(entries, &DesktopEntries::changed, this, [builder] { builder->invalidateOwners(); });
    }
    setSettings(SystemSettings::shared());
}

void ProcessMonitor::setSettings(SystemSettings& settings) {
    disconnect(settingsConnection_);
    settings_ = &settings;
    settingsConnection_ =
        connect(&settings.updateInterval, &SettingBase::changed, this, &ProcessMonitor::restartProcessTimer);
    restartProcessTimer();
}

int ProcessMonitor::periodMilliseconds() const {
    return int(UpdateIntervals::processListPeriod(settings_->updateInterval.value()) * 1000.0 + 0.5);
}

ProcessMonitor::~ProcessMonitor() {
    queue_.reset();  // runs what is queued, then joins; results find no monitor and are dropped
    builder_.reset();
}

QMetaObject::Connection ProcessMonitor::observeGroupedProcesses(
    QObject* context, std::function<void(const std::vector<GroupedProcessInfo>&)> handler) {
    handler(groupedProcesses());
    return connect(this, &ProcessMonitor::groupedProcessesChanged, context,
                   [handler = std::move(handler)](const std::vector<GroupedProcessInfo>& groups) { handler(groups); });
}

void ProcessMonitor::startProcessList() {
    if (processTimer_) return;
    auto* timer = new QTimer(this);
    timer->setInterval(periodMilliseconds());
    connect(timer, &QTimer::timeout, this, &ProcessMonitor::scheduleProcessRefresh);
    timer->start();
    processTimer_ = timer;
    emit processTimerChanged();
    scheduleProcessRefresh();
    // A second reading soon after the first gives the CPU shares a base to compare against.
    Dispatch::mainAfter(1.0, timer, [this, timer] {
        if (processTimer_ == timer) scheduleProcessRefresh();
    });
}

void ProcessMonitor::stopProcessList() {
    if (!processTimer_) return;
    QTimer* timer = processTimer_;
    processTimer_ = nullptr;
    timer->stop();
    timer->deleteLater();
    ++listEpoch_;
    history_.clear();
    // Nothing of the list stays behind: the next opening starts from an empty list (shown as
    // loading) and the builder keeps only each process's last CPU reading.
    ProcessListBuilder* builder = builder_.get();
    queue_->async([builder] {
        builder->releaseIdentities();
        OwnMemory::returnFreePages();
    });
    const bool hadGroups = !groupedProcesses_->empty();
    groupedProcesses_ = std::make_shared<const std::vector<GroupedProcessInfo>>();
    emit processTimerChanged();
    if (hadGroups) emit groupedProcessesChanged(*groupedProcesses_);
}

void ProcessMonitor::restartProcessTimer() {
    if (processTimer_) processTimer_->start(periodMilliseconds());
}

void ProcessMonitor::scheduleProcessRefresh() {
    // A refresh that has not started yet will read the table after this request: it serves both.
    requestEpoch_.store(listEpoch_.load());
    if (refreshPending_.exchange(true)) return;
    deliveriesInFlight_.fetch_add(1);
    QPointer<ProcessMonitor> self(this);
    ProcessListBuilder* builder = builder_.get();
    queue_->async([this, self, builder, &setting = settings_->groupTerminalProcesses] {
        refreshPending_.store(false);
        const uint64_t epoch = requestEpoch_.load();
        const bool groupTerminal = setting.value();
        const double now = Clock::shared().monotonic();
        const QDateTime at = Clock::shared().now();
        // The last round's lists and their copies are free by now: their pages go back before
        // this one is built, so an open list stays near the size of one round.
        OwnMemory::returnFreePages();
        ProcessListBuilder::Result result = builder->refresh(now, groupTerminal);
        auto groups = std::make_shared<const std::vector<GroupedProcessInfo>>(std::move(result.groups));
        const bool usable = result.hasUsableCPU;
        Dispatch::main([self, groups = std::move(groups), usable, at, epoch]() mutable {
            if (!self) return;
            self->deliveriesInFlight_.fetch_sub(1);
            self->publish(std::move(groups), usable, at, epoch);
        });
    });
}

void ProcessMonitor::publish(Groups groups, bool usableCPU, const QDateTime& at, uint64_t epoch) {
    // A table read before the list stopped belongs to nobody now.
    if (epoch != listEpoch_.load()) return;
    groupedProcesses_ = std::move(groups);
    history_.append(at, *groupedProcesses_);
    const bool becameUsable = usableCPU && !hasUsableCPU_;
    if (becameUsable) hasUsableCPU_ = true;
    if (becameUsable) emit hasUsableCPUChanged(true);
    emit groupedProcessesChanged(*groupedProcesses_);
}

std::optional<std::vector<GroupedProcessInfo>> ProcessMonitor::processGroups(const QDateTime& closestTo) const {
    return history_.groupsClosestTo(closestTo);
}

void ProcessMonitor::startHistories() {
    if (samplerConnection_) return;
    SystemSampler& sampler = SystemSampler::shared();
    samplerConnection_ = connect(&sampler, &SystemSampler::didSample, this, [this] {
        const SystemSampler& s = SystemSampler::shared();
        appendSample(s.cpu(), s.cpuSystem(), s.memory(), s.disk(), NetworkMonitor::shared().downloadRate(),
                     Clock::shared().now());
    });
}

void ProcessMonitor::stop() {
    stopProcessList();
    if (samplerConnection_) disconnect(samplerConnection_);
    samplerConnection_ = {};
}

void ProcessMonitor::appendSample(double cpu, double cpuSystem, double memory, double disk, double downloadRate,
                                  const QDateTime& at) {
    bool recorded = false;
    auto record = [&](std::vector<double>& history, double value, void (ProcessMonitor::*changed)()) {
        if (!std::isfinite(value) || value < 0) return;
        appendCapped(history, value);
        recorded = true;
        emit(this->*changed)();
    };
    record(cpuHistory_, cpu, &ProcessMonitor::cpuHistoryChanged);
    record(cpuSystemHistory_, cpuSystem, &ProcessMonitor::cpuSystemHistoryChanged);
    record(memoryHistory_, memory, &ProcessMonitor::memoryHistoryChanged);
    record(diskHistory_, disk, &ProcessMonitor::diskHistoryChanged);
    record(downloadHistory_, downloadRate, &ProcessMonitor::downloadHistoryChanged);
    // The time of every tick that left a reading in the histories.
    if (!recorded) return;
    appendCapped(historyTimestamps_, at);
    emit historyTimestampsChanged();
}

void ProcessMonitor::waitForRefreshes() {
    queue_->waitUntilIdle();
    while (deliveriesInFlight_.load() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::yieldCurrentThread();
    }
}
