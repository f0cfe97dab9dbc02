#pragma once

#include "Platform/Files/NativePath.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Building file trees for the walker, the Trash and the disk scanners.
namespace FileTree {

inline QByteArray native(const QString& path) { return QFile::encodeName(path); }

// The permission bits of what stands at `path` (a link's own), or -1.
inline int mode(const QString& path) {
    struct stat st {};
    return ::lstat(NativePath::encode(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// The names in a folder, as their bytes.
inline std::set<std::string> entries(const QString& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath::encode(folder).toStdString()))
        names.insert(entry.path().filename().string());
    return names;
}

// A file of `size` bytes of data (so every byte is allocated), its folders made as needed.
inline bool writeFile(const QString& path, qint64 size, char fill = 'x') {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray chunk(64 * 1024, fill);
    for (qint64 left = size; left > 0; left -= chunk.size())
        if (file.write(chunk.constData(), std::min<qint64>(left, chunk.size())) < 0) return false;
    return true;
}

// A file with `size` bytes allocated to it and no data written (fast for large sizes).
inline bool allocateFile(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return size == 0 || ::posix_fallocate(file.handle(), 0, size) == 0;
}

// As allocateFile, for a path given as its exact bytes (a name need not be UTF-8).
inline bool allocateBytes(const QByteArray& path, qint64 size) {
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        if (::mkdir(path.left(slash).constData(), 0755) != 0 && errno != EEXIST) return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = size == 0 || ::posix_fallocate(fd, 0, size) == 0;
    ::close(fd);
    return ok;
}

inline bool existsBytes(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

inline QByteArray readBytes(const QByteArray& path) {
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(fd);
    return out;
}

// A chain of `levels` folders each named `name` below the folder at `path`, with a file "leaf" at its
// bottom; made through open folders, so it may go deeper than PATH_MAX.
inline bool makeDeepChain(const QString& path, int levels, const char* name = "deep") {
    int fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; fd >= 0 && i < levels; ++i) {
        const int next = ::mkdirat(fd, name, 0755) == 0 ? ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        ::close(fd);
        fd = next;
    }
    if (fd < 0) return false;
    const int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool ok = leaf >= 0 && ::write(leaf, "x", 1) == 1;
    if (leaf >= 0) ::close(leaf);
    ::close(fd);
    return ok;
}

// A file `length` bytes long of which only `written` bytes at its start hold data.
inline bool writeSparse(const QString& path, qint64 length, qint64 written) {
    if (!writeFile(path, written)) return false;
    return ::truncate(native(path).constData(), length) == 0;
}

inline qint64 allocated(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

// Whether mode bits stop this process: false for root, which reads any folder.
inline bool modesBindUs() { return ::geteuid() != 0; }

// Runs fn on a thread of its own without the two capabilities that let root read any folder,
// so that a folder of mode 000 is as unreadable to it as to any user. Capabilities belong to a
// thread, so the rest of the process keeps them.
inline void withoutReadOverride(const std::function<void()>& fn) {
    std::thread thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) == 0) {
            data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            ::syscall(SYS_capset, &header, data);
        }
        fn();
    });
    thread.join();
}

// du's allocated total of a tree on one file system, -1 when it cannot be run. As root it runs
// without the read-override capabilities, like withoutReadOverride().
inline qint64 duBytes(const QString& path) {
    QProcess du;
    QStringList arguments{"-x", "-s", "-B1", path};
    if (::geteuid() == 0) {
        arguments = QStringList{"--bounding-set=-dac_override,-dac_read_search",
                                "--inh-caps=-dac_override,-dac_read_search", "du"} + arguments;
        du.start("setpriv", arguments);
    } else {
        du.start("du", arguments);
    }
    if (!du.waitForFinished(60000)) return -1;
    const QByteArray out = du.readAllStandardOutput();
    bool ok = false;
    const qint64 bytes = out.left(out.indexOf('\t')).toLongLong(&ok);
    return ok ? bytes : -1;
}

// Runs `body` in a child process with a mount namespace of its own in which a fresh tmpfs covers
// the empty folder `mountPoint`: another file system, unseen by the rest of the machine and gone
// with the child. Gives what `body` reported (empty when all held), or nothing where this system
// allows no private mount.
inline std::optional<QString> inPrivateMount(const QString& mountPoint, const std::function<QString()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return std::nullopt;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(channel[0]);
        auto put = [](const char* file, const QByteArray& text) {
            const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
            if (fd >= 0) ::close(fd);
            return ok;
        };
        // Root makes a mount namespace directly; a user makes a user namespace with it.
        bool ok = ::unshare(CLONE_NEWNS) == 0;
        if (!ok && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0)
            ok = put("/proc/self/setgroups", "deny") &&
                 put("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
                 put("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
        if (!ok || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("quorvin-test", native(mountPoint).constData(), "tmpfs", 0, "size=16m") != 0)
            ::_exit(77);
        const QByteArray report = body().toUtf8();
        const bool sent = ::write(channel[1], report.constData(), size_t(report.size())) == report.size();
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        report.append(buffer, n);
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return QStringLiteral("the child process failed");
    return QString::fromUtf8(report);
}

}  // namespace FileTree
