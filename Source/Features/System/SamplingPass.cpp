#include "Source/Features/System/SamplingPass.h"

#include "Source/Features/System/CPUCores.h"
#include "Source/Features/System/SystemStats.h"

#include <QDir>

SamplingPass::SamplingPass(const QString& root)
    : root_(root),
      topology_(CpuTopologyReader::read(root)),
      stat_(root),
      memory_(root),
      hwmon_(root),
      gpu_(root, QDir(root).canonicalPath() == QStringLiteral("/")) {}

void SamplingPass::run(Readings& out) {
    if (passes_++ % rediscoveryPeriod == 0) {
        hwmon_.discover();
        gpu_.discover();
    }
    out.cpu = out.cpuUser = out.cpuSystem = -1;
    out.coresRead = false;
    out.cores.clear();

    if (stat_.read(current_)) {
        if (havePrevious_) {
            if (const auto load = ProcStatReader::load(previous_.total, current_.total)) {
                out.cpu = load->total;
                out.cpuUser = load->user;
                out.cpuSystem = load->system;
            }
            usages_.clear();
            for (size_t i = 0; i < current_.cpus.size(); ++i) {
                const auto& [index, ticks] = current_.cpus[i];
                const ProcStatReader::Ticks* before = nullptr;
                if (i < previous_.cpus.size() && previous_.cpus[i].first == index) {
                    before = &previous_.cpus[i].second;
                } else {
                    for (const auto& [previousIndex, previousTicks] : previous_.cpus) {
                        if (previousIndex == index) before = &previousTicks;
                    }
                }
                if (!before) continue;  // a processor that just came online
                if (const auto load = ProcStatReader::load(*before, ticks)) usages_.emplace_back(index, load->total);
            }
            if (!usages_.empty()) {
                CPUCores::makeCores(topology_, usages_, out.cores);
                out.coresRead = true;
            }
        }
        std::swap(previous_, current_);
        havePrevious_ = true;
    }

    const auto memory = memory_.read();
    out.memory = memory ? memory->percentInUse() : -1;
    out.disk = diskUsage_ ? diskUsage_() : SystemStats::diskUsage(root_);

    out.gpu = gpu_.read().value_or(-1);

    hwmon_.read(sensors_, HardwareSensors::maxFans);
    out.cpuTemperature = HardwareSensors::summarize(sensors_.cpuTemperatures);
    out.gpuTemperature = HardwareSensors::summarize(sensors_.gpuTemperatures);
    HardwareSensors::fans(sensors_.fans, out.fans);
}
