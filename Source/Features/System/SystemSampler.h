#pragma once

#include "Platform/Core/SerialQueue.h"
#include "Source/Features/System/CoreUsage.h"
#include "Source/Features/System/SMC.h"
#include "Source/Features/System/SamplingPass.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class MetricArchive;
class SystemSettings;

// The shared sampler: on each tick of its timer (the update interval) it reads CPU, per-core
// load, memory, disk, GPU, temperatures and fans on its own queue, then publishes the readings
// and 48-value histories on the GUI thread and hands a sample to the metric log. A pass never
// overlaps the previous one. A load or usage that a pass cannot read keeps its last reading;
// temperatures and fans are those of the latest pass, gone when their sensors stop reporting.
// Histories only receive readings taken.
class SystemSampler : public QObject {
    Q_OBJECT
public:
    static SystemSampler& shared();

    // root: the file-system root to read /proc and /sys under. archive: where samples are
    // logged, none for no log.
    explicit SystemSampler(const QString& root = QStringLiteral("/"), MetricArchive* archive = nullptr,
                           QObject* parent = nullptr);
    ~SystemSampler() override;

    static constexpr int historyLength = 48;

    // The settings whose update interval the timer follows (SystemSettings::shared() until given).
    void setSettings(SystemSettings& settings);

    // Starts the timer at the current update interval and samples at once; nothing when running.
    void start();
    void stop();
    // Runs one pass unless one is in progress. With force, a request that meets a pass in progress
    // is not dropped but runs as soon as that pass has been published (at most one waits).
    void sample(bool force = false);

    // The disk's usage from source instead of the volume under root; before the first pass.
    void setDiskUsageSourceForTesting(std::function<double()> source) { pass_->setDiskUsageSource(std::move(source)); }

    bool isRunning() const { return timer_.isActive(); }
    int timerInterval() const { return timer_.interval(); }  // milliseconds
    int passCount() const { return passCount_; }            // passes published so far

    // Percentages, -1 until first read.
    double cpu() const { return cpu_; }
    double cpuSystem() const { return cpuSystem_; }
    double cpuUser() const { return cpuUser_; }
    double memory() const { return memory_; }
    double disk() const { return disk_; }
    double gpu() const { return gpu_; }
    // Degrees Celsius: hottest and average sensor of the latest pass; absent when it read none.
    std::optional<double> temperature() const { return temperature_; }
    std::optional<double> temperatureAverage() const { return temperatureAverage_; }
    std::optional<double> gpuTemperature() const { return gpuTemperature_; }
    std::optional<double> gpuTemperatureAverage() const { return gpuTemperatureAverage_; }
    const std::vector<CoreUsage>& cores() const { return cores_; }
    // The fans the latest pass could read.
    const std::vector<SMC::Fan>& fans() const { return fans_; }

    // Histories, oldest first, at most historyLength values each.
    const std::vector<double>& cpuHistory() const { return cpuHistory_; }
    const std::vector<double>& cpuSystemHistory() const { return cpuSystemHistory_; }
    const std::vector<double>& gpuHistory() const { return gpuHistory_; }
    const std::vector<double>& temperatureHistory() const { return temperatureHistory_; }
    const std::vector<double>& gpuTemperatureHistory() const { return gpuTemperatureHistory_; }
    const std::map<int, std::vector<double>>& coreHistory() const { return coreHistory_; }
    const std::vector<std::vector<double>>& fanHistory() const { return fanHistory_; }

    // Appends a value, dropping the oldest beyond historyLength.
    static void append(std::vector<double>& history, double value);

signals:
    void didSample();
    void cpuChanged();
    void cpuSystemChanged();
    void cpuUserChanged();
    void memoryChanged();
    void diskChanged();
    void gpuChanged();
    void temperatureChanged();
    void temperatureAverageChanged();
    void gpuTemperatureChanged();
    void gpuTemperatureAverageChanged();
    void coresChanged();
    void fansChanged();
    void cpuHistoryChanged();
    void cpuSystemHistoryChanged();
    void gpuHistoryChanged();
    void temperatureHistoryChanged();
    void gpuTemperatureHistoryChanged();
    void coreHistoryChanged();
    void fanHistoryChanged();

private:
    void publish(const SamplingPass::Readings& readings);
    void restartTimer();
    int intervalMilliseconds() const;

    MetricArchive* archive_;
    QTimer timer_;
    SystemSettings* settings_ = nullptr;
    QMetaObject::Connection settingsConnection_;
    bool inFlight_ = false;
    bool pendingForced_ = false;
    int passCount_ = 0;

    double cpu_ = -1, cpuSystem_ = -1, cpuUser_ = -1, memory_ = -1, disk_ = -1, gpu_ = -1;
    std::optional<double> temperature_, temperatureAverage_, gpuTemperature_, gpuTemperatureAverage_;
    std::vector<CoreUsage> cores_;
    std::vector<SMC::Fan> fans_;
    std::vector<double> cpuHistory_, cpuSystemHistory_, gpuHistory_, temperatureHistory_, gpuTemperatureHistory_;
    std::map<int, std::vector<double>> coreHistory_;
    std::vector<std::vector<double>> fanHistory_;

    // Declared last: destroyed first, so a queued pass finishes while the pass state still exists.
    std::unique_ptr<SamplingPass> pass_;
    std::unique_ptr<SamplingPass::Readings> scratch_;
    SerialQueue queue_{"com.merovane.sampler", QueuePriority::utility};
};
