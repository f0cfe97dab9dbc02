#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads processes from a proc file system (/proc, or a captured tree in tests).
// Every read fails softly: a process that ends or hides itself while being read is simply absent.
class ProcessReader {
public:
    // The fields of <pid>/stat that the process list uses.
    struct Stat {
        int32_t pid = 0;
        int32_t ppid = 0;
        char state = '?';
        uint32_t flags = 0;
        uint64_t utime = 0;       // clock ticks
        uint64_t stime = 0;       // clock ticks
        uint64_t startTicks = 0;  // clock ticks after boot; with the pid it identifies the process
        uint64_t rssPages = 0;    // resident pages (the counter statm's second field shows too)
        std::string comm;         // the kernel's name of the process, at most 15 bytes
        uint64_t cpuTicks() const { return utime + stime; }
    };

    // Everything about one process (the convenient form; the process list reads piecewise).
    struct Record {
        Stat stat;
        uint64_t residentBytes = 0;  // resident pages × page size
        QString executablePath;  // empty when the link cannot be read (another user's process)
        QStringList arguments;   // the command line; empty for kernel threads and zombies
        bool isKernelThread = false;
    };

    static constexpr uint32_t kernelThreadFlag = 0x00200000;  // PF_KTHREAD

    explicit ProcessReader(QString procRoot = QStringLiteral("/proc"));
    ~ProcessReader();
    ProcessReader(ProcessReader&& other) noexcept;
    ProcessReader& operator=(ProcessReader&& other) noexcept;
    ProcessReader(const ProcessReader&) = delete;
    ProcessReader& operator=(const ProcessReader&) = delete;

    const QString& root() const { return root_; }

    // The numeric entries of the root folder, ascending; false when the folder cannot be read.
    // With folders, each entry's inode number beside its pid: a pid taken by a new process comes
    // with a new folder.
    bool listPids(std::vector<int32_t>& out, std::vector<uint64_t>* folders = nullptr) const;
    bool readStat(int32_t pid, Stat& out) const;
    QStringList readArguments(int32_t pid) const;
    // The target of <pid>/exe without a trailing " (deleted)"; empty when unreadable.
    QString readExecutablePath(int32_t pid) const;
    std::optional<Record> read(int32_t pid) const;
    std::vector<Record> readAll() const;

    // Boot time plus the start ticks; absent when the root's stat file has no btime line.
    std::optional<QDateTime> startDate(uint64_t startTicks) const;

    // Kernel threads: kthreadd (pid 2) and its children, or a process flagged PF_KTHREAD that
    // has no command line.
    static bool isKernelThread(const Stat& stat, bool hasArguments);
    // Parses the text of <pid>/stat; the name sits between the first '(' and the last ')'.
    static bool parseStat(std::string_view text, Stat& out);

    static long clockTicksPerSecond();
    static long pageSize();

private:
    // Reads root/<pid>/<name> into buffer; returns the length or -1.
    long readSmall(int32_t pid, const char* name, char* buffer, size_t size, bool untilEnd = false) const;

    QString root_;
    int rootFd_ = -1;
    std::optional<qint64> bootTime_;  // seconds since the epoch
};
