#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <functional>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Building file trees for the walker, the Trash and the disk scanners.
namespace FileTree {

inline QByteArray native(const QString& path) { return QFile::encodeName(path); }

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

}  // namespace FileTree
