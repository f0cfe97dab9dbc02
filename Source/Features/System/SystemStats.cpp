#include "Source/Features/System/SystemStats.h"

#include <QFile>

#include <algorithm>

#include <sys/statvfs.h>

namespace SystemStats {

QString DiskCapacity::format(double bytes) {
    const double gigabytes = bytes / 1073741824.0;
    if (gigabytes >= 1000) return QString::asprintf("%.2f TB", gigabytes / 1024.0);
    return QString::asprintf("%.2f GB", gigabytes);
}

std::optional<DiskCapacity> getDiskCapacity() { return getDiskCapacity(QStringLiteral("/")); }

std::optional<DiskCapacity> getDiskCapacity(const QString& path) {
    struct statvfs st;
    if (::statvfs(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    const double blockSize = double(st.f_frsize ? st.f_frsize : st.f_bsize);
    DiskCapacity capacity;
    capacity.total = blockSize * double(st.f_blocks);
    if (!(capacity.total > 0)) return std::nullopt;
    capacity.free = std::min(capacity.total, blockSize * double(st.f_bavail));
    capacity.used = capacity.total - capacity.free;
    return capacity;
}

double diskUsage(const QString& path) {
    const auto capacity = getDiskCapacity(path);
    if (!capacity) return -1;
    return std::clamp(capacity->used / capacity->total * 100.0, 0.0, 100.0);
}

std::optional<MemInfoReader::Memory> getMemory(const QString& root) { return MemInfoReader(root).read(); }

std::optional<ProcStatReader::Snapshot> getCPUTicks(const QString& root) {
    ProcStatReader::Snapshot snapshot;
    if (!ProcStatReader(root).read(snapshot)) return std::nullopt;
    return snapshot;
}

}  // namespace SystemStats
