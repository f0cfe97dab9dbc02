#include "Platform/System/CpuTopologyReader.h"

#include "Platform/System/SysFs.h"

#include <algorithm>
#include <cstring>

namespace {

// Calls fn(key, value) for each "key : value" line.
template <typename Fn>
void forEachField(std::string_view text, Fn fn) {
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (!fn(SysFs::trimmed(line.substr(0, colon)), SysFs::trimmed(line.substr(colon + 1)))) return;
    }
}

}  // namespace

bool CpuTopologyReader::Topology::isEfficiency(int processor) const {
    return std::binary_search(efficiency.begin(), efficiency.end(), processor);
}

std::string CpuTopologyReader::brandFromCpuInfo(std::string_view text) {
    std::string brand;
    forEachField(text, [&](std::string_view key, std::string_view value) {
        if (key != "model name" || value.empty()) return true;
        for (char c : value) {
            const bool blank = c == ' ' || c == '\t';
            if (blank && (brand.empty() || brand.back() == ' ')) continue;
            brand += blank ? ' ' : c;
        }
        while (!brand.empty() && brand.back() == ' ') brand.pop_back();
        return false;
    });
    return brand;
}

int CpuTopologyReader::processorCount(std::string_view text) {
    int count = 0;
    forEachField(text, [&](std::string_view key, std::string_view) {
        if (key == "processor") ++count;
        return true;
    });
    return count;
}

CpuTopologyReader::Topology CpuTopologyReader::read(const QString& root) {
    Topology topology;
    std::string cpuinfo;
    const bool haveCpuInfo = SysFs::readFile(SysFs::join(root, "proc/cpuinfo"), cpuinfo);
    if (haveCpuInfo) topology.brand = brandFromCpuInfo(cpuinfo);

    const std::string cpuDir = SysFs::join(root, "sys/devices/system/cpu");
    if (const auto present = SysFs::readLine(SysFs::join(cpuDir, "present"))) {
        if (auto list = SysFs::parseCpuList(*present)) topology.processors = std::move(*list);
    }
    if (topology.processors.empty() && haveCpuInfo) {
        for (int i = 0, n = processorCount(cpuinfo); i < n; ++i) topology.processors.push_back(i);
    }
    if (topology.processors.empty()) topology.processors.push_back(0);

    // Hybrid Intel: the kernel exposes one PMU per core type.
    if (const auto atom = SysFs::readLine(SysFs::join(root, "sys/devices/cpu_atom/cpus"))) {
        if (auto list = SysFs::parseCpuList(*atom)) {
            for (int cpu : *list) {
                if (std::binary_search(topology.processors.begin(), topology.processors.end(), cpu))
                    topology.efficiency.push_back(cpu);
            }
            return topology;
        }
    }
    // Otherwise the scheduler's capacities: the least capable processors are the efficiency cores.
    std::vector<int64_t> capacities;
    for (int cpu : topology.processors) {
        const auto capacity = SysFs::readInteger(SysFs::join(cpuDir, "cpu" + std::to_string(cpu) + "/cpu_capacity"));
        if (!capacity || *capacity <= 0) return topology;
        capacities.push_back(*capacity);
    }
    const auto [lowest, highest] = std::minmax_element(capacities.begin(), capacities.end());
    if (*lowest == *highest) return topology;
    for (size_t i = 0; i < capacities.size(); ++i) {
        if (capacities[i] == *lowest) topology.efficiency.push_back(topology.processors[i]);
    }
    return topology;
}
