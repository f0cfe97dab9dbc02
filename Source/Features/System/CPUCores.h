#pragma once

#include "Platform/System/CpuTopologyReader.h"
#include "Source/Features/System/CoreUsage.h"

#include <QString>

#include <utility>
#include <vector>

// The processor's description, read once from the live system.
namespace CPUCores {

// The processor brand, or "CPU" when it cannot be read.
QString chipName();
int efficiencyCount();
// Performance cores: the logical processors that are not efficiency cores (at least 1).
int performanceCount();
const CpuTopologyReader::Topology& topology();

// The same figures for any topology.
QString chipName(const CpuTopologyReader::Topology& topology);
int efficiencyCount(const CpuTopologyReader::Topology& topology);
int performanceCount(const CpuTopologyReader::Topology& topology);

// Builds the per-core records from (processor number, usage) pairs in processor order. Each
// processor takes its own kind from the topology; numberInCluster counts within that kind in
// processor order, so E1 is the lowest-numbered efficiency core wherever the kernel places it.
void makeCores(const CpuTopologyReader::Topology& topology, const std::vector<std::pair<int, double>>& usages,
               std::vector<CoreUsage>& out);

}  // namespace CPUCores
