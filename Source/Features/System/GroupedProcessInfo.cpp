#include "Source/Features/System/GroupedProcessInfo.h"

#include <QHash>

#include <algorithm>

std::vector<GroupedProcessInfo> GroupedProcessInfo::group(const std::vector<AppProcessInfo>& processes) {
    std::vector<GroupedProcessInfo> groups;
    QHash<QString, size_t> indexByName;
    indexByName.reserve(qsizetype(processes.size()));
    for (const AppProcessInfo& p : processes) {
        auto it = indexByName.constFind(p.name);
        if (it == indexByName.constEnd()) {
            it = indexByName.insert(p.name, groups.size());
            GroupedProcessInfo g;
            g.name = p.name;
            g.bundlePath = p.bundlePath;
            groups.push_back(std::move(g));
        }
        GroupedProcessInfo& g = groups[*it];
        g.totalCPU += p.cpuUsage;
        g.totalMemory += p.memoryBytes;
        g.count += 1;
        g.children.push_back(p);
    }
    for (GroupedProcessInfo& g : groups) {
        std::stable_sort(g.children.begin(), g.children.end(),
                         [](const AppProcessInfo& a, const AppProcessInfo& b) { return a.cpuUsage > b.cpuUsage; });
    }
    return groups;
}
