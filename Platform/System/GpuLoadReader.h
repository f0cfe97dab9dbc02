#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

// GPU load in percent: the kernel's gpu_busy_percent of each card under <root>/sys/class/drm,
// else NVIDIA's management library when it is installed (looked up at run time), else nothing.
// A card that its driver has put to sleep counts as idle and is not woken.
class GpuLoadReader {
public:
    // useNvml: whether the NVIDIA library may be loaded (only meaningful for the live root).
    explicit GpuLoadReader(const QString& root = QStringLiteral("/"), bool useNvml = true);
    ~GpuLoadReader();
    GpuLoadReader(const GpuLoadReader&) = delete;
    GpuLoadReader& operator=(const GpuLoadReader&) = delete;

    void discover();
    // The busiest GPU's load, 0 to 100; nothing when no GPU can be read.
    std::optional<double> read();
    bool hasKernelCounters() const { return !cards_.empty(); }

private:
    struct Card {
        std::string busyPath;
        std::string runtimeStatusPath;
    };
    struct Nvml;

    std::optional<double> readNvml();

    std::string drmClass_;
    std::string nvidiaDriver_;
    std::vector<Card> cards_;
    bool useNvml_;
    Nvml* nvml_ = nullptr;
    bool nvmlFailed_ = false;
};
