#include "Platform/System/HwmonReader.h"

#include "Platform/System/SysFs.h"

#include <algorithm>
#include <array>

namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// "temp3_input" → true for prefix "temp"; the part between is the sensor number.
bool isInputFile(std::string_view name, std::string_view prefix) {
    if (!startsWith(name, prefix) || !endsWith(name, "_input")) return false;
    const std::string_view number = name.substr(prefix.size(), name.size() - prefix.size() - 6);
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isSuspended(const std::string& statusPath) {
    if (statusPath.empty()) return false;
    const auto status = SysFs::readLine(statusPath);
    return status && *status == "suspended";
}

}  // namespace

HwmonReader::HwmonReader(const QString& root)
    : hwmonClass_(SysFs::join(root, "sys/class/hwmon")), thermalClass_(SysFs::join(root, "sys/class/thermal")) {}

HwmonReader::ChipKind HwmonReader::chipKind(std::string_view name) {
    static constexpr std::array<std::string_view, 6> cpuChips{"coretemp", "k10temp", "k8temp",
                                                              "zenpower", "via_cputemp", "soc_thermal"};
    static constexpr std::array<std::string_view, 5> gpuChips{"amdgpu", "radeon", "nouveau", "i915", "xe"};
    if (std::find(cpuChips.begin(), cpuChips.end(), name) != cpuChips.end()) return ChipKind::cpu;
    if (startsWith(name, "cpu")) return ChipKind::cpu;  // cpu_thermal, cpu-thermal, cpu0_thermal...
    if (std::find(gpuChips.begin(), gpuChips.end(), name) != gpuChips.end()) return ChipKind::gpu;
    return ChipKind::other;
}

bool HwmonReader::isCpuThermalZone(std::string_view type) {
    return type == "x86_pkg_temp" || type == "soc_thermal" || type == "soc-thermal" || startsWith(type, "cpu") ||
           chipKind(type) == ChipKind::cpu;
}

void HwmonReader::discover() {
    chips_.clear();
    thermalZones_.clear();
    stale_ = false;
    for (const std::string& entry : SysFs::listDirectory(hwmonClass_)) {
        std::string base = SysFs::join(hwmonClass_, entry);
        auto name = SysFs::readLine(SysFs::join(base, "name"));
        if (!name) {
            // Older kernels keep the attributes in the device folder.
            base = SysFs::join(base, "device");
            name = SysFs::readLine(SysFs::join(base, "name"));
            if (!name) continue;
        }
        Chip chip;
        chip.kind = chipKind(*name);
        for (const std::string& file : SysFs::listDirectory(base)) {
            if (chip.kind != ChipKind::other && isInputFile(file, "temp")) {
                chip.temperatures.push_back(SysFs::join(base, file));
            } else if (isInputFile(file, "fan")) {
                const std::string stem = file.substr(0, file.size() - 6);
                const double max = double(SysFs::readInteger(SysFs::join(base, stem + "_max")).value_or(0));
                chip.fans.emplace_back(SysFs::join(base, file), max);
            }
        }
        if (chip.kind == ChipKind::gpu) {
            const std::string status = SysFs::join(base, "device/power/runtime_status");
            if (SysFs::exists(status)) chip.runtimeStatusPath = status;
        }
        if (!chip.temperatures.empty() || !chip.fans.empty()) chips_.push_back(std::move(chip));
    }
    if (!hasCpuSensors()) {
        for (const std::string& entry : SysFs::listDirectory(thermalClass_)) {
            if (!startsWith(entry, "thermal_zone")) continue;
            const std::string base = SysFs::join(thermalClass_, entry);
            const auto type = SysFs::readLine(SysFs::join(base, "type"));
            if (type && isCpuThermalZone(*type)) thermalZones_.push_back(SysFs::join(base, "temp"));
        }
    }
}

void HwmonReader::read(Values& out, size_t maxFans) {
    if (stale_) discover();
    out.cpuTemperatures.clear();
    out.gpuTemperatures.clear();
    out.fans.clear();
    bool vanished = false;
    for (const Chip& chip : chips_) {
        if (chip.kind == ChipKind::gpu && isSuspended(chip.runtimeStatusPath)) continue;
        std::vector<double>* target = chip.kind == ChipKind::cpu   ? &out.cpuTemperatures
                                      : chip.kind == ChipKind::gpu ? &out.gpuTemperatures
                                                                   : nullptr;
        if (target) {
            for (const std::string& path : chip.temperatures) {
                if (const auto milli = SysFs::readInteger(path)) {
                    target->push_back(double(*milli) / 1000.0);
                } else if (!SysFs::exists(path)) {
                    vanished = true;
                }
            }
        }
        for (const auto& [path, max] : chip.fans) {
            if (out.fans.size() >= maxFans) break;
            if (const auto rpm = SysFs::readInteger(path)) {
                out.fans.push_back(Fan{double(std::max<int64_t>(0, *rpm)), max});
            } else if (!SysFs::exists(path)) {
                vanished = true;
            }
        }
    }
    for (const std::string& path : thermalZones_) {
        if (const auto milli = SysFs::readInteger(path)) {
            out.cpuTemperatures.push_back(double(*milli) / 1000.0);
        } else if (!SysFs::exists(path)) {
            vanished = true;
        }
    }
    if (vanished) stale_ = true;
}

bool HwmonReader::hasCpuSensors() const {
    return std::any_of(chips_.begin(), chips_.end(),
                       [](const Chip& c) { return c.kind == ChipKind::cpu && !c.temperatures.empty(); }) ||
           !thermalZones_.empty();
}

bool HwmonReader::hasGpuSensors() const {
    return std::any_of(chips_.begin(), chips_.end(),
                       [](const Chip& c) { return c.kind == ChipKind::gpu && !c.temperatures.empty(); });
}

bool HwmonReader::hasFans() const {
    return std::any_of(chips_.begin(), chips_.end(), [](const Chip& c) { return !c.fans.empty(); });
}
