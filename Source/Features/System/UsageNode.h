#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// One kept item of a volume walk: a big file or folder, with its big children, largest first.
struct UsageNode {
    QString name;  // as shown: a byte that is not UTF-8 reads U+FFFD
    QString path;  // absolute, exact bytes (NativePath)
    double bytes = 0;
    bool isDirectory = false;
    QList<UsageNode> children;

    QString id() const { return path; }
    bool operator==(const UsageNode& other) const { return path == other.path; }

    // The path as a file URL of its exact bytes; every key is required when reading.
    QJsonObject toJson() const;
    static std::optional<UsageNode> fromJson(const QJsonObject& object);
};
