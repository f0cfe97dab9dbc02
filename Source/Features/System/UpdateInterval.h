#pragma once

#include <QString>

#include <array>
#include <optional>

// The sampling interval choice; the raw value is in seconds. The setting is SystemSettings'.
enum class UpdateInterval { fast, normal, relaxed, slow };

namespace UpdateIntervals {
inline constexpr std::array<UpdateInterval, 4> allCases{UpdateInterval::fast, UpdateInterval::normal,
                                                       UpdateInterval::relaxed, UpdateInterval::slow};
double rawValue(UpdateInterval interval);                       // 1, 2, 5, 10
std::optional<UpdateInterval> fromRawValue(double seconds);
QString label(UpdateInterval interval);                         // "1s", "2s", "5s", "10s"
QString id(UpdateInterval interval);                            // the raw value as text
// The process list's refresh period for an interval: 3, 4, 10 or 20 s.
double processListPeriod(UpdateInterval interval);
}  // namespace UpdateIntervals
