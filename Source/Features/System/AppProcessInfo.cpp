#include "Source/Features/System/AppProcessInfo.h"

#include <QLocale>

QString AppProcessInfo::formatCPU(double percent) {
    if (!(percent >= 0.1)) return QStringLiteral("0%");
    if (percent >= 100) return QString::asprintf("%.0f%%", percent);
    return QString::asprintf("%.1f%%", percent);
}

QString AppProcessInfo::formatMemory(uint64_t bytes) {
    const double m = double(bytes) / 1048576.0;
    if (m >= 1024) return QString::asprintf("%.1f GB", m / 1024.0);
    if (m >= 1) return QString::asprintf("%.0f MB", m);
    return QString::asprintf("%.1f MB", m);
}

std::optional<QString> AppProcessInfo::startedAtString() const {
    if (!startDate || !startDate->isValid()) return std::nullopt;
    return QLocale().toString(startDate->toLocalTime(), QStringLiteral("ddd MMM d HH:mm:ss yyyy"));
}
