#include "Platform/System/SysFs.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SysFs {

std::string join(const QString& root, std::string_view path) {
    std::string base = root.toStdString();
    while (!base.empty() && base.back() == '/') base.pop_back();
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    base += '/';
    base += path;
    return base;
}

std::string join(const std::string& base, std::string_view name) {
    std::string out = base;
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

bool readFile(const std::string& path, std::string& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        buffer.clear();
        return false;
    }
    size_t size = 0;
    if (buffer.capacity() < 4096) buffer.reserve(4096);
    buffer.resize(buffer.capacity());
    for (;;) {
        if (size == buffer.size()) buffer.resize(buffer.size() * 2);
        const ssize_t n = ::read(fd, buffer.data() + size, buffer.size() - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            buffer.clear();
            return false;
        }
        if (n == 0) break;
        size += size_t(n);
    }
    ::close(fd);
    buffer.resize(size);
    return true;
}

namespace {
// Reads at most capacity - 1 bytes of a small file; -1 when unreadable.
ssize_t readSmall(const std::string& path, char* out, size_t capacity) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t n;
    do {
        n = ::read(fd, out, capacity - 1);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n >= 0) out[n] = '\0';
    return n;
}
}  // namespace

std::optional<std::string> readLine(const std::string& path) {
    char buffer[256];
    const ssize_t n = readSmall(path, buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    std::string_view text(buffer, size_t(n));
    if (const size_t nl = text.find('\n'); nl != std::string_view::npos) text = text.substr(0, nl);
    return std::string(trimmed(text));
}

std::optional<int64_t> readInteger(const std::string& path) {
    char buffer[64];
    const ssize_t n = readSmall(path, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    const char* p = buffer;
    const char* end = buffer + n;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    uint64_t value = 0;
    if (!parseUnsigned(p, end, value) || value > uint64_t(INT64_MAX)) return std::nullopt;
    return negative ? -int64_t(value) : int64_t(value);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool naturalLess(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a[i] >= '0' && a[i] <= '9';
        const bool db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            size_t ie = i, je = j;
            while (ie < a.size() && a[ie] >= '0' && a[ie] <= '9') ++ie;
            while (je < b.size() && b[je] >= '0' && b[je] <= '9') ++je;
            std::string_view na = a.substr(i, ie - i), nb = b.substr(j, je - j);
            while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return naturalLess(a, b); });
    return names;
}

bool parseUnsigned(const char*& p, const char* end, uint64_t& value) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p >= end || *p < '0' || *p > '9') return false;
    uint64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        const uint64_t digit = uint64_t(*p - '0');
        v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;  // saturate instead of wrapping
        ++p;
    }
    value = v;
    return true;
}

std::string_view trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::vector<int>> parseCpuList(std::string_view text) {
    text = trimmed(text);
    std::vector<int> cpus;
    if (text.empty()) return cpus;
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        uint64_t first = 0, last = 0;
        if (!parseUnsigned(p, end, first)) return std::nullopt;
        last = first;
        if (p < end && *p == '-') {
            ++p;
            if (!parseUnsigned(p, end, last) || last < first) return std::nullopt;
        }
        if (last > 65535) return std::nullopt;
        for (uint64_t c = first; c <= last; ++c) cpus.push_back(int(c));
        if (p >= end) break;
        if (*p != ',') return std::nullopt;
        ++p;
    }
    std::sort(cpus.begin(), cpus.end());
    cpus.erase(std::unique(cpus.begin(), cpus.end()), cpus.end());
    return cpus;
}

}  // namespace SysFs
