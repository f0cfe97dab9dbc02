#pragma once

#include <QString>

#include <array>
#include <optional>

// The groups of reclaimable items, in the order results show them.
enum class CleanupCategory { applications, development, system, custom };

namespace CleanupCategories {
inline constexpr std::array<CleanupCategory, 4> all{CleanupCategory::applications, CleanupCategory::development,
                                                    CleanupCategory::system, CleanupCategory::custom};
QString rawValue(CleanupCategory category);
// Nothing for a text that names no category.
std::optional<CleanupCategory> fromRawValue(const QString& raw);
}  // namespace CleanupCategories
