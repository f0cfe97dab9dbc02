#include "Platform/System/GpuLoadReader.h"

#include "Platform/System/SysFs.h"

#include <algorithm>

#include <dlfcn.h>

// The few entry points of libnvidia-ml that are needed, with their C signatures.
struct GpuLoadReader::Nvml {
    struct Utilization {
        unsigned int gpu;
        unsigned int memory;
    };
    using Device = void*;
    void* library = nullptr;
    int (*deviceGetCount)(unsigned int*) = nullptr;
    int (*deviceGetHandleByIndex)(unsigned int, Device*) = nullptr;
    int (*deviceGetUtilizationRates)(Device, Utilization*) = nullptr;
    int (*shutdown)() = nullptr;
    std::vector<Device> devices;
};

namespace {
bool isSuspended(const std::string& statusPath) {
    if (statusPath.empty()) return false;
    const auto status = SysFs::readLine(statusPath);
    return status && *status == "suspended";
}

bool isCardName(const std::string& name) {
    if (name.size() <= 4 || name.compare(0, 4, "card") != 0) return false;
    return std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

GpuLoadReader::GpuLoadReader(const QString& root, bool useNvml)
    : drmClass_(SysFs::join(root, "sys/class/drm")),
      nvidiaDriver_(SysFs::join(root, "sys/bus/pci/drivers/nvidia")),
      useNvml_(useNvml) {}

GpuLoadReader::~GpuLoadReader() {
    if (nvml_) {
        if (nvml_->shutdown) nvml_->shutdown();
        dlclose(nvml_->library);
        delete nvml_;
    }
}

void GpuLoadReader::discover() {
    cards_.clear();
    for (const std::string& entry : SysFs::listDirectory(drmClass_)) {
        if (!isCardName(entry)) continue;  // card0-DP-1 and the like are connectors
        const std::string device = SysFs::join(SysFs::join(drmClass_, entry), "device");
        Card card{SysFs::join(device, "gpu_busy_percent"), SysFs::join(device, "power/runtime_status")};
        if (!SysFs::exists(card.busyPath)) continue;
        if (!SysFs::exists(card.runtimeStatusPath)) card.runtimeStatusPath.clear();
        cards_.push_back(std::move(card));
    }
}

std::optional<double> GpuLoadReader::read() {
    std::optional<double> busiest;
    for (const Card& card : cards_) {
        if (isSuspended(card.runtimeStatusPath)) {
            busiest = std::max(busiest.value_or(0.0), 0.0);
            continue;
        }
        if (const auto busy = SysFs::readInteger(card.busyPath)) {
            busiest = std::max(busiest.value_or(0.0), std::clamp(double(*busy), 0.0, 100.0));
        }
    }
    if (busiest) return busiest;
    return readNvml();
}

std::optional<double> GpuLoadReader::readNvml() {
    if (!useNvml_ || nvmlFailed_) return std::nullopt;
    // An NVIDIA GPU that is asleep would be woken by the library: it is idle, say so.
    const std::vector<std::string> devices = SysFs::listDirectory(nvidiaDriver_);
    bool sawDevice = false, allAsleep = true;
    for (const std::string& entry : devices) {
        if (entry.find(':') == std::string::npos) continue;  // PCI addresses only
        sawDevice = true;
        if (!isSuspended(SysFs::join(SysFs::join(nvidiaDriver_, entry), "power/runtime_status"))) allAsleep = false;
    }
    if (sawDevice && allAsleep) return 0.0;

    if (!nvml_) {
        void* library = dlopen("libnvidia-ml.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            nvmlFailed_ = true;
            return std::nullopt;
        }
        auto* nvml = new Nvml;
        nvml->library = library;
        auto init = reinterpret_cast<int (*)()>(dlsym(library, "nvmlInit_v2"));
        nvml->deviceGetCount = reinterpret_cast<int (*)(unsigned int*)>(dlsym(library, "nvmlDeviceGetCount_v2"));
        nvml->deviceGetHandleByIndex =
            reinterpret_cast<int (*)(unsigned int, Nvml::Device*)>(dlsym(library, "nvmlDeviceGetHandleByIndex_v2"));
        nvml->deviceGetUtilizationRates = reinterpret_cast<int (*)(Nvml::Device, Nvml::Utilization*)>(
            dlsym(library, "nvmlDeviceGetUtilizationRates"));
        nvml->shutdown = reinterpret_cast<int (*)()>(dlsym(library, "nvmlShutdown"));
        unsigned int count = 0;
        if (!init || !nvml->deviceGetCount || !nvml->deviceGetHandleByIndex || !nvml->deviceGetUtilizationRates ||
            init() != 0) {
            dlclose(library);
            delete nvml;
            nvmlFailed_ = true;
            return std::nullopt;
        }
        if (nvml->deviceGetCount(&count) == 0) {
            for (unsigned int i = 0; i < count; ++i) {
                Nvml::Device device = nullptr;
                if (nvml->deviceGetHandleByIndex(i, &device) == 0) nvml->devices.push_back(device);
            }
        }
        nvml_ = nvml;
    }
    std::optional<double> busiest;
    for (Nvml::Device device : nvml_->devices) {
        Nvml::Utilization utilization{};
        if (nvml_->deviceGetUtilizationRates(device, &utilization) == 0) {
            busiest = std::max(busiest.value_or(0.0), std::clamp(double(utilization.gpu), 0.0, 100.0));
        }
    }
    return busiest;
}
