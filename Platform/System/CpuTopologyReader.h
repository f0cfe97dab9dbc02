#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

// The processor's brand and the kind of each logical processor, from <root>/proc/cpuinfo and
// <root>/sys/devices. Hybrid Intel chips list their efficiency cores in cpu_atom/cpus; other
// big.LITTLE designs give each processor a cpu_capacity, the smallest being the efficiency cores.
class CpuTopologyReader {
public:
    struct Topology {
        std::string brand;            // "model name" of /proc/cpuinfo, empty when absent
        std::vector<int> processors;  // logical processor numbers, ascending
        std::vector<int> efficiency;  // those that are efficiency cores, ascending
        bool isEfficiency(int processor) const;
    };

    static Topology read(const QString& root = QStringLiteral("/"));
    // The brand text of a cpuinfo file (white space runs collapsed), empty when it has none.
    static std::string brandFromCpuInfo(std::string_view text);
    // Number of "processor" entries of a cpuinfo file.
    static int processorCount(std::string_view text);
};
