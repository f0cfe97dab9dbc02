#include "Platform/System/MemInfoReader.h"

#include "Platform/System/SysFs.h"

#include <algorithm>
#include <cstring>

double MemInfoReader::Memory::percentInUse() const {
    if (total == 0) return -1;
    return std::clamp(double(used()) / double(total) * 100.0, 0.0, 100.0);
}

MemInfoReader::MemInfoReader(const QString& root) : path_(SysFs::join(root, "proc/meminfo")) {}

std::optional<MemInfoReader::Memory> MemInfoReader::read() {
    if (!SysFs::readFile(path_, buffer_)) return std::nullopt;
    return parse(buffer_);
}

std::optional<MemInfoReader::Memory> MemInfoReader::parse(const std::string& text) {
    std::optional<uint64_t> total, available;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && !(total && available)) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd) lineEnd = end;
        std::optional<uint64_t>* target = nullptr;
        const char* q = p;
        if (lineEnd - p > 9 && std::memcmp(p, "MemTotal:", 9) == 0) {
            target = &total;
            q += 9;
        } else if (lineEnd - p > 13 && std::memcmp(p, "MemAvailable:", 13) == 0) {
            target = &available;
            q += 13;
        }
        uint64_t kib = 0;
        if (target && SysFs::parseUnsigned(q, lineEnd, kib) && kib < (UINT64_MAX >> 10)) *target = kib * 1024;
        p = lineEnd + 1;
    }
    if (!total || !available || *total == 0) return std::nullopt;
    return Memory{*total, std::min(*available, *total)};
}
