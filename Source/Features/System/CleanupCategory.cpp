#include "Source/Features/System/CleanupCategory.h"

QString CleanupCategories::rawValue(CleanupCategory category) {
    switch (category) {
    case CleanupCategory::applications: return QStringLiteral("Applications");
    case CleanupCategory::development: return QStringLiteral("Development");
    case CleanupCategory::system: return QStringLiteral("System");
    case CleanupCategory::custom: return QStringLiteral("Custom");
    }
    return QString();
}

std::optional<CleanupCategory> CleanupCategories::fromRawValue(const QString& raw) {
    for (CleanupCategory category : all)
        if (rawValue(category) == raw) return category;
    return std::nullopt;
}
