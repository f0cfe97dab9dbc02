#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// One kept item of a volume walk: a big file or folder, with its big children, largest first.
struct UsageNode {
    QString name;
    QString path;  // absolute
    double bytes = 0;
    bool isDirectory = false;
    QList<UsageNode> children;

    QString id() const { return path; }
    bool operator==(const UsageNode& other) const { return path == other.path; }

    // The path as a file URL; every key is required when reading.
    QJsonObject toJson() const;
    static std::optional<UsageNode> fromJson(const QJsonObject& object);
};
