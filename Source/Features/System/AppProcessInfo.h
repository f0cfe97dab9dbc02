#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// One process of the process list.
struct AppProcessInfo {
    int32_t pid = 0;
    QString name;                       // the name of its group: the owning application's, else its own
    QString processName;                // the process's own name
    double cpuUsage = 0;                // percent of one core; may exceed 100
    uint64_t memoryBytes = 0;           // resident bytes
    std::optional<QString> bundlePath;  // the owning application's desktop entry file
    std::optional<QString> bundleID;    // the owning application's desktop id
    std::optional<QDateTime> startDate;

    QString cpuString() const { return formatCPU(cpuUsage); }
    QString memoryString() const { return formatMemory(memoryBytes); }
    // "EEE MMM d HH:mm:ss yyyy" in the current locale and time zone; absent without a start time.
    std::optional<QString> startedAtString() const;

    // Below 0.1 "0%", from 100 up whole percent, otherwise one decimal.
    static QString formatCPU(double percent);
    // 1024-based: GB with one decimal from 1 GiB up, whole MB from 1 MiB up, else MB with one decimal.
    static QString formatMemory(uint64_t bytes);

    bool operator==(const AppProcessInfo&) const = default;
};
