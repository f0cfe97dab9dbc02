#include "Source/Features/System/CPUCores.h"

#include <algorithm>

namespace CPUCores {

const CpuTopologyReader::Topology& topology() {
    static const CpuTopologyReader::Topology live = CpuTopologyReader::read(QStringLiteral("/"));
    return live;
}

QString chipName() {
    static const QString name = chipName(topology());
    return name;
}

int efficiencyCount() { return efficiencyCount(topology()); }
int performanceCount() { return performanceCount(topology()); }

QString chipName(const CpuTopologyReader::Topology& topology) {
    return topology.brand.empty() ? QStringLiteral("CPU") : QString::fromStdString(topology.brand);
}

int efficiencyCount(const CpuTopologyReader::Topology& topology) { return int(topology.efficiency.size()); }

int performanceCount(const CpuTopologyReader::Topology& topology) {
    return std::max(1, int(topology.processors.size()) - int(topology.efficiency.size()));
}

void makeCores(const CpuTopologyReader::Topology& topology, const std::vector<std::pair<int, double>>& usages,
               std::vector<CoreUsage>& out) {
    out.clear();
    out.reserve(usages.size());
    for (const auto& [index, usage] : usages) {
        CoreUsage core;
        core.index = index;
        const bool efficient = topology.isEfficiency(index);
        core.kind = efficient ? CoreKind::efficiency : CoreKind::performance;
        // Rank among the processors of the same kind that the topology knows, counted from 1.
        int rank = 0;
        for (int processor : topology.processors) {
            if (processor >= index) break;
            if (topology.isEfficiency(processor) == efficient) ++rank;
        }
        core.numberInCluster = rank + 1;
        core.usage = std::clamp(usage, 0.0, 100.0);
        out.push_back(core);
    }
}

}  // namespace CPUCores
