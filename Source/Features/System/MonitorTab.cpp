#include "Source/Features/System/MonitorTab.h"

#include "Platform/Core/RawValues.h"

namespace MonitorTabs {

namespace {
constexpr RawValues::Entry<MonitorTab> rawValues[]{
    {MonitorTab::cpu, "CPU"},   {MonitorTab::memory, "Mem"},  {MonitorTab::network, "Net"},
    {MonitorTab::disk, "Disk"}, {MonitorTab::stats, "Stats"},
};
}  // namespace

QString rawValue(MonitorTab tab) { return RawValues::rawValue(rawValues, tab); }

std::optional<MonitorTab> fromRawValue(const QString& raw) { return RawValues::fromRawValue(rawValues, raw); }

int index(MonitorTab tab) {
    for (size_t i = 0; i < allCases.size(); ++i)
        if (allCases[i] == tab) return int(i);
    return 0;
}

}  // namespace MonitorTabs
