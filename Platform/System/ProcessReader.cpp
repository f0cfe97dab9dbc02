#include "Platform/System/ProcessReader.h"

#include <QFile>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr size_t maxArgumentsBytes = 64 * 1024;

template <typename T>
bool parseNumber(std::string_view& text, T& out) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (ec != std::errc() || end == text.data()) return false;
    text.remove_prefix(size_t(end - text.data()));
    return true;
}

bool skipField(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty()) return false;
    const size_t space = text.find(' ');
    text.remove_prefix(space == std::string_view::npos ? text.size() : space);
    return true;
}

int pidPath(char* out, size_t size, int32_t pid, const char* name) {
    // "<pid>/<name>" without printf: pids are plain decimal numbers.
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, pid);
    if (ec != std::errc()) return -1;
    const size_t pidLen = size_t(end - digits), nameLen = std::strlen(name);
    if (pidLen + 1 + nameLen + 1 > size) return -1;
    std::memcpy(out, digits, pidLen);
    out[pidLen] = '/';
    std::memcpy(out + pidLen + 1, name, nameLen + 1);
    return 0;
}

}  // namespace

ProcessReader::ProcessReader(QString procRoot) : root_(std::move(procRoot)) {
    rootFd_ = ::open(QFile::encodeName(root_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QFile stat(root_ + "/stat");
    if (stat.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : stat.readAll().split('\n')) {
            if (!line.startsWith("btime ")) continue;
            bool ok = false;
            const qint64 value = line.mid(6).trimmed().toLongLong(&ok);
            if (ok && value > 0) bootTime_ = value;
            break;
        }
    }
}

ProcessReader::~ProcessReader() {
    if (rootFd_ >= 0) ::close(rootFd_);
}

ProcessReader::ProcessReader(ProcessReader&& other) noexcept
    : root_(std::move(other.root_)), rootFd_(std::exchange(other.rootFd_, -1)), bootTime_(other.bootTime_) {}

ProcessReader& ProcessReader::operator=(ProcessReader&& other) noexcept {
    if (this != &other) {
        if (rootFd_ >= 0) ::close(rootFd_);
        root_ = std::move(other.root_);
        rootFd_ = std::exchange(other.rootFd_, -1);
        bootTime_ = other.bootTime_;
    }
    return *this;
}

long ProcessReader::clockTicksPerSecond() {
    static const long ticks = [] {
        const long t = sysconf(_SC_CLK_TCK);
        return t > 0 ? t : 100;
    }();
    return ticks;
}

long ProcessReader::pageSize() {
    static const long size = [] {
        const long s = sysconf(_SC_PAGESIZE);
        return s > 0 ? s : 4096;
    }();
    return size;
}

bool ProcessReader::listPids(std::vector<int32_t>& out, std::vector<uint64_t>* folders) const {
    out.clear();
    if (folders) folders->clear();
    if (rootFd_ < 0) return false;
    const int fd = ::openat(rootFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] < '1' || name[0] > '9') continue;
        int32_t pid = 0;
        const size_t len = std::strlen(name);
        const auto [end, ec] = std::from_chars(name, name + len, pid);
        if (ec == std::errc() && end == name + len && pid > 0) {
            out.push_back(pid);
            if (folders) folders->push_back(uint64_t(entry->d_ino));
        }
    }
    ::closedir(dir);
    if (!folders) {
        std::sort(out.begin(), out.end());
        return true;
    }
    std::vector<size_t> order(out.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return out[a] < out[b]; });
    std::vector<int32_t> pids(out.size());
    std::vector<uint64_t> inodes(out.size());
    for (size_t i = 0; i < order.size(); ++i) {
        pids[i] = out[order[i]];
        inodes[i] = (*folders)[order[i]];
    }
    out = std::move(pids);
    *folders = std::move(inodes);
    return true;
}

long ProcessReader::readSmall(int32_t pid, const char* name, char* buffer, size_t size, bool untilEnd) const {
    if (rootFd_ < 0) return -1;
    char path[64];
    if (pidPath(path, sizeof path, pid, name) != 0) return -1;
    const int fd = ::openat(rootFd_, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    size_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, buffer + total, size - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return -1;
        }
        if (n == 0) break;
        total += size_t(n);
        // stat arrives whole in one read (saves a call per file).
        if (!untilEnd) break;
    }
    ::close(fd);
    return long(total);
}

bool ProcessReader::parseStat(std::string_view text, Stat& out) {
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return false;
    std::string_view head = text.substr(0, open);
    Stat s;
    if (!parseNumber(head, s.pid)) return false;
    s.comm.assign(text.data() + open + 1, close - open - 1);

    std::string_view rest = text.substr(close + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty()) return false;
    s.state = rest.front();
    rest.remove_prefix(1);
    // Fields after the state: ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt
    // utime stime cutime cstime priority nice num_threads itrealvalue starttime vsize rss ...
    if (!parseNumber(rest, s.ppid)) return false;
    for (int i = 0; i < 4; ++i)
        if (!skipField(rest)) return false;
    if (!parseNumber(rest, s.flags)) return false;
    for (int i = 0; i < 4; ++i)
        if (!skipField(rest)) return false;
    if (!parseNumber(rest, s.utime) || !parseNumber(rest, s.stime)) return false;
    for (int i = 0; i < 6; ++i)
        if (!skipField(rest)) return false;
    if (!parseNumber(rest, s.startTicks)) return false;
    if (!skipField(rest) || !parseNumber(rest, s.rssPages)) return false;
    out = std::move(s);
    return true;
}

bool ProcessReader::readStat(int32_t pid, Stat& out) const {
    char buffer[2048];
    const long n = readSmall(pid, "stat", buffer, sizeof buffer);
    if (n <= 0) return false;
    return parseStat(std::string_view(buffer, size_t(n)), out);
}

QStringList ProcessReader::readArguments(int32_t pid) const {
    QByteArray data(4096, Qt::Uninitialized);
    long n = readSmall(pid, "cmdline", data.data(), size_t(data.size()), true);
    if (n == data.size()) {
        // Long command lines: read again with room for the arguments we care about.
        data.resize(qsizetype(maxArgumentsBytes));
        n = readSmall(pid, "cmdline", data.data(), size_t(data.size()), true);
    }
    QStringList args;
    if (n <= 0) return args;
    data.truncate(n);
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\0', start);
        if (end < 0) end = data.size();
        args << QString::fromLocal8Bit(data.constData() + start, end - start);
        start = end + 1;
    }
    return args;
}

QString ProcessReader::readExecutablePath(int32_t pid) const {
    if (rootFd_ < 0) return {};
    char path[64];
    if (pidPath(path, sizeof path, pid, "exe") != 0) return {};
    char target[4096];
    const ssize_t n = ::readlinkat(rootFd_, path, target, sizeof target - 1);
    if (n <= 0) return {};
    std::string_view link(target, size_t(n));
    constexpr std::string_view deleted = " (deleted)";
    if (link.size() > deleted.size() && link.substr(link.size() - deleted.size()) == deleted)
        link.remove_suffix(deleted.size());
    return QFile::decodeName(QByteArray(link.data(), qsizetype(link.size())));
}

bool ProcessReader::isKernelThread(const Stat& stat, bool hasArguments) {
    if (stat.pid == 2 || stat.ppid == 2) return true;
    return (stat.flags & kernelThreadFlag) != 0 && !hasArguments;
}

std::optional<ProcessReader::Record> ProcessReader::read(int32_t pid) const {
    Record r;
    if (!readStat(pid, r.stat)) return std::nullopt;
    r.arguments = readArguments(pid);
    r.isKernelThread = isKernelThread(r.stat, !r.arguments.isEmpty());
    if (!r.isKernelThread) {
        r.residentBytes = r.stat.rssPages * uint64_t(pageSize());
        r.executablePath = readExecutablePath(pid);
    }
    return r;
}

std::vector<ProcessReader::Record> ProcessReader::readAll() const {
    std::vector<int32_t> pids;
    std::vector<Record> records;
    if (!listPids(pids)) return records;
    records.reserve(pids.size());
    for (int32_t pid : pids)
        if (auto r = read(pid)) records.push_back(std::move(*r));
    return records;
}

std::optional<QDateTime> ProcessReader::startDate(uint64_t startTicks) const {
    if (!bootTime_) return std::nullopt;
    const qint64 ms = *bootTime_ * 1000 + qint64(startTicks * 1000 / uint64_t(clockTicksPerSecond()));
    // Qt::UTC, not a QTimeZone: a date of that kind is kept inside the QDateTime, with no block of its own.
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}
