#pragma once

#include <QString>

#include <array>
#include <optional>

// The tabs of the system monitor popup; the raw value is also the label of the tab strip.
enum class MonitorTab { cpu, memory, network, disk, stats };

namespace MonitorTabs {
inline constexpr std::array<MonitorTab, 5> allCases{MonitorTab::cpu, MonitorTab::memory, MonitorTab::network,
                                                    MonitorTab::disk, MonitorTab::stats};
// "CPU", "Mem", "Net", "Disk", "Stats".
QString rawValue(MonitorTab tab);
// Exactly one of the five raw values; anything else (other case included) gives none.
std::optional<MonitorTab> fromRawValue(const QString& raw);
// The position in allCases.
int index(MonitorTab tab);
}  // namespace MonitorTabs
