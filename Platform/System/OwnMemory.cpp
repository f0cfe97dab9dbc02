#include "Platform/System/OwnMemory.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

namespace OwnMemory {

std::optional<uint64_t> residentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "re");
    if (!file) return std::nullopt;
    unsigned long long size = 0, resident = 0;
    const int read = std::fscanf(file, "%llu %llu", &size, &resident);
    std::fclose(file);
    if (read != 2) return std::nullopt;
    return uint64_t(resident) * uint64_t(sysconf(_SC_PAGESIZE));
}

uint64_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return uint64_t(info.uordblks) + uint64_t(info.hblkhd);
}

void returnFreePages() { malloc_trim(0); }

void keepResidentSmall() {
    // Fixed values: the allocator's own adaptive thresholds only ever rise, and with them what it keeps.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    mallopt(M_ARENA_MAX, 2);
}

}  // namespace OwnMemory
