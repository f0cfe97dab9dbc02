#include "Platform/System/OwnMemory.h"

#include <link.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>

namespace OwnMemory {

namespace {

struct CodeMapping {
    uintptr_t start = 0;
    uintptr_t end = 0;
    uint64_t resident = 0;  // bytes
    uint64_t changed = 0;  // bytes of pages of its own (written after loading), resident or swapped out
};

bool nameMatches(const char* path, const std::vector<std::string>& names) {
    const char* slash = std::strrchr(path, '/');
    const char* base = slash ? slash + 1 : path;
    for (const std::string& name : names) {
        if (!name.empty() && std::strncmp(base, name.c_str(), name.size()) == 0) return true;
    }
    return false;
}

// The private, unwritable file mappings (code, read-only data) whose path `wanted` accepts, from
// /proc/self/smaps.
std::vector<CodeMapping> codeMappings(const std::function<bool(const char* path)>& wanted) {
    std::vector<CodeMapping> found;
    std::FILE* file = std::fopen("/proc/self/smaps", "re");
    if (!file) return found;
    char line[4096];
    bool inCode = false;
    while (std::fgets(line, sizeof line, file)) {
        uintptr_t start = 0, end = 0;
        char perms[8] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) == 3 &&
            pathAt > 0) {
            line[std::strcspn(line, "\n")] = '\0';
            inCode = (std::strcmp(perms, "r-xp") == 0 || std::strcmp(perms, "r--p") == 0) && line[pathAt] == '/' &&
                     wanted(line + pathAt);
            if (inCode) found.push_back({start, end, 0, 0});
            continue;
        }
        if (!inCode) continue;
        unsigned long long kb = 0;
        if (std::sscanf(line, "Rss: %llu kB", &kb) == 1)
            found.back().resident = kb * 1024;
        else if (std::sscanf(line, "Anonymous: %llu kB", &kb) == 1 || std::sscanf(line, "Swap: %llu kB", &kb) == 1)
            found.back().changed += kb * 1024;  // a changed page may be out in swap
    }
    std::fclose(file);
    return found;
}

std::vector<CodeMapping> codeMappings(const std::vector<std::string>& names) {
    return codeMappings([&](const char* path) { return nameMatches(path, names); });
}

uint64_t giveBack(const std::vector<CodeMapping>& mappings) {
    uint64_t returned = 0;
    for (const CodeMapping& mapping : mappings) {
        // A changed page has no copy in the file to come back from.
        if (mapping.changed > 0 || mapping.resident == 0) continue;
        if (::madvise(reinterpret_cast<void*>(mapping.start), mapping.end - mapping.start, MADV_DONTNEED) == 0)
            returned += mapping.resident;
    }
    return returned;
}

// Where each loaded file's first segment starts, when that segment is only read, never run or
// written: its headers, symbol tables and relocations.
std::vector<uintptr_t> linkTableStarts() {
    std::vector<uintptr_t> starts;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD || segment.p_offset != 0) continue;
                if (segment.p_flags == PF_R)
                    static_cast<std::vector<uintptr_t>*>(data)->push_back(info->dlpi_addr + segment.p_vaddr);
                break;
            }
            return 0;
        },
        &starts);
    std::sort(starts.begin(), starts.end());
    return starts;
}

std::vector<CodeMapping> linkTables() {
    const std::vector<uintptr_t> starts = linkTableStarts();
    std::vector<CodeMapping> tables = codeMappings([](const char*) { return true; });
    std::erase_if(tables, [&](const CodeMapping& mapping) {
        return !std::binary_search(starts.begin(), starts.end(), mapping.start);
    });
    return tables;
}

}  // namespace

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

uint64_t residentCode(const std::vector<std::string>& names) {
    uint64_t total = 0;
    for (const CodeMapping& mapping : codeMappings(names)) total += mapping.resident;
    return total;
}

uint64_t returnCode(const std::vector<std::string>& names) { return giveBack(codeMappings(names)); }

uint64_t returnLinkTables() { return giveBack(linkTables()); }

}  // namespace OwnMemory
