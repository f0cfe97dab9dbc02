#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Temperatures and fan speeds from <root>/sys/class/hwmon, with the CPU thermal zones of
// <root>/sys/class/thermal as a fallback when no CPU sensor chip is present. The sensor files are
// found once (discover) and then only read; a file that disappears triggers a new search.
class HwmonReader {
public:
    enum class ChipKind { cpu, gpu, other };
    struct Fan {
        double rpm = 0;
        double max = 0;  // fanN_max, 0 when the chip reports none
    };
    struct Values {
        std::vector<double> cpuTemperatures;  // degrees Celsius, every CPU sensor read this pass
        std::vector<double> gpuTemperatures;
        std::vector<Fan> fans;                // in chip and fan order
    };

    explicit HwmonReader(const QString& root = QStringLiteral("/"));

    void discover();
    // Reads the known sensors into out (reusing its storage), stopping after maxFans fans.
    // A GPU that its driver has put to sleep is not read (reading would wake it).
    void read(Values& out, size_t maxFans = 4);

    bool hasCpuSensors() const;
    bool hasGpuSensors() const;
    bool hasFans() const;

    static ChipKind chipKind(std::string_view hwmonName);
    static bool isCpuThermalZone(std::string_view zoneType);

private:
    struct Chip {
        ChipKind kind = ChipKind::other;
        std::string runtimeStatusPath;  // GPUs: the device's power/runtime_status
        std::vector<std::string> temperatures;
        std::vector<std::pair<std::string, double>> fans;  // input path, max
    };

    std::string hwmonClass_;
    std::string thermalClass_;
    std::vector<Chip> chips_;
    std::vector<std::string> thermalZones_;  // temp files of CPU zones, used when no chip is a CPU
    bool stale_ = true;
};
