#pragma once

#include "Platform/System/MemInfoReader.h"
#include "Platform/System/ProcStatReader.h"

#include <QString>

#include <optional>

// Stateless readers of CPU ticks, memory and disk capacity.
namespace SystemStats {

struct DiskCapacity {
    double total = 0;  // bytes
    double used = 0;
    double free = 0;   // available to unprivileged users
    bool operator==(const DiskCapacity&) const = default;

    // Bytes as "%.2f GB" of bytes / 2^30, or "%.2f TB" once that is 1000 or more.
    static QString format(double bytes);
};

// Capacity of the file system holding "/" (or path); nothing when it cannot be read or is empty.
std::optional<DiskCapacity> getDiskCapacity();
std::optional<DiskCapacity> getDiskCapacity(const QString& path);
// Share of that file system in use, 0 to 100; -1 when it cannot be read.
double diskUsage(const QString& path = QStringLiteral("/"));

std::optional<MemInfoReader::Memory> getMemory(const QString& root = QStringLiteral("/"));
std::optional<ProcStatReader::Snapshot> getCPUTicks(const QString& root = QStringLiteral("/"));

}  // namespace SystemStats
