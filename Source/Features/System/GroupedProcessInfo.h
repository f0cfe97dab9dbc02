#pragma once

#include "Source/Features/System/AppProcessInfo.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// One group of the process list: the processes of one owning application, or of one name.
struct GroupedProcessInfo {
    QString name;                         // unique within one list
    double totalCPU = 0;                  // percent of one core summed over the group
    uint64_t totalMemory = 0;             // resident bytes summed over the group
    int count = 0;
    std::vector<AppProcessInfo> children; // highest CPU share first
    std::optional<QString> bundlePath;    // the desktop entry of the group's first process

    QString cpuString() const { return AppProcessInfo::formatCPU(totalCPU); }
    QString memoryString() const { return AppProcessInfo::formatMemory(totalMemory); }

    // Sums processes by their `name`; the first process of a name (in the given order) gives the
    // group its bundle path. Children are ordered by CPU share, highest first, ties in given order.
    static std::vector<GroupedProcessInfo> group(const std::vector<AppProcessInfo>& processes);

    bool operator==(const GroupedProcessInfo&) const = default;
};
