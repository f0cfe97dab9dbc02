#include "Source/Features/System/CleanupCategory.h"

#include "Platform/Core/RawValues.h"

namespace {
constexpr RawValues::Entry<CleanupCategory> rawValues[]{
    {CleanupCategory::applications, "Applications"},
    {CleanupCategory::development, "Development"},
    {CleanupCategory::system, "System"},
    {CleanupCategory::custom, "Custom"},
};
}  // namespace

QString CleanupCategories::rawValue(CleanupCategory category) { return RawValues::rawValue(rawValues, category); }

std::optional<CleanupCategory> CleanupCategories::fromRawValue(const QString& raw) {
    return RawValues::fromRawValue(rawValues, raw);
}
