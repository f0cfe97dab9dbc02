#pragma once

#include "Platform/System/CpuTopologyReader.h"
#include "Platform/System/GpuLoadReader.h"
#include "Platform/System/HwmonReader.h"
#include "Platform/System/MemInfoReader.h"
#include "Platform/System/ProcStatReader.h"
#include "Source/Features/System/CoreUsage.h"
#include "Source/Features/System/HardwareSensors.h"
#include "Source/Features/System/SMC.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One reading of CPU, per-core load, memory, disk, GPU, temperatures and fans. Keeps the
// previous tick counters between runs and the located sensor files; used from one thread at a time.
class SamplingPass {
public:
    struct Readings {
        double cpu = -1, cpuUser = -1, cpuSystem = -1;  // percent, -1 when not read this pass
        bool coresRead = false;
        std::vector<CoreUsage> cores;
        double memory = -1;  // percent in use
        double disk = -1;    // percent of the start-up volume in use
        double gpu = -1;
        // What the sensors gave this pass: nothing, or no fans, when none could be read.
        std::optional<HardwareSensors::Temperatures> cpuTemperature, gpuTemperature;
        std::vector<SMC::Fan> fans;
    };

    // Rediscovers the sensors every this many passes, so that drivers loaded late are found.
    static constexpr unsigned rediscoveryPeriod = 300;

    explicit SamplingPass(const QString& root = QStringLiteral("/"));

    // Fills out, reusing its storage.
    void run(Readings& out);
    const CpuTopologyReader::Topology& topology() const { return topology_; }
    // Where the disk's usage comes from instead of the volume under root (tests: a volume that
    // other programs fill and empty meanwhile). Set before the first run.
    void setDiskUsageSource(std::function<double()> source) { diskUsage_ = std::move(source); }

private:
    QString root_;
    CpuTopologyReader::Topology topology_;
    ProcStatReader stat_;
    ProcStatReader::Snapshot previous_, current_;
    bool havePrevious_ = false;
    MemInfoReader memory_;
    HwmonReader hwmon_;
    HwmonReader::Values sensors_;
    GpuLoadReader gpu_;
    std::vector<std::pair<int, double>> usages_;
    unsigned passes_ = 0;
    std::function<double()> diskUsage_;
};
