#include "Source/Features/System/MonitorTab.h"

namespace MonitorTabs {

QString rawValue(MonitorTab tab) {
    switch (tab) {
    case MonitorTab::cpu: return QStringLiteral("CPU");
    case MonitorTab::memory: return QStringLiteral("Mem");
    case MonitorTab::network: return QStringLiteral("Net");
    case MonitorTab::disk: return QStringLiteral("Disk");
    case MonitorTab::stats: return QStringLiteral("Stats");
    }
    return {};
}

std::optional<MonitorTab> fromRawValue(const QString& raw) {
    for (MonitorTab tab : allCases)
        if (rawValue(tab) == raw) return tab;
    return std::nullopt;
}

int index(MonitorTab tab) {
    for (size_t i = 0; i < allCases.size(); ++i)
        if (allCases[i] == tab) return int(i);
    return 0;
}

}  // namespace MonitorTabs
