#pragma once

#include "Source/Features/System/CleanupCategory.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <nlohmann/json.hpp>

#include <optional>

// One reclaimable item: the folders of one target with their allocated size.
struct CleanupItem {
    QUuid id = QUuid::createUuid();  // fresh for every item made or read; never stored
    QString name;
    QStringList paths;  // absolute, at least one, in target order; exact bytes (NativePath)
    double bytes = 0;
    qint64 itemCount = 0;  // regular files
    CleanupCategory category = CleanupCategory::custom;
    QString consequence;

    // "1.00 GB", "1.0 MB", "1 KB", "1023 B" (binary multiples).
    static QString format(double bytes);

    // Paths as file URLs of their exact bytes; keys in their stored order. Every key is required
    // when reading.
    nlohmann::ordered_json toJson() const;
    static std::optional<CleanupItem> fromJson(const QJsonObject& object);
};

// The items of one category, largest first.
struct CleanupGroup {
    CleanupCategory category = CleanupCategory::custom;
    QList<CleanupItem> items;

    QString id() const { return CleanupCategories::rawValue(category); }
    nlohmann::ordered_json toJson() const;
    static std::optional<CleanupGroup> fromJson(const QJsonObject& object);
};
