#include "Platform/Files/SafeFile.h"

#include "Platform/Files/NativePath.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace SafeFile {

namespace {

QByteArray encoded(const QString& path) { return NativePath::encode(path); }

void report(FileError* out, FileError error) {
    if (out) *out = std::move(error);
}

FileError refusalFor(const QString& path, mode_t mode) {
    if (S_ISLNK(mode)) return FileError::refused(path, QStringLiteral("is a symbolic link"));
    return FileError::refused(path, QStringLiteral("is not a regular file"));
}

}  // namespace

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(encoded(path).constData(), &st) == 0;
}

bool isRegular(const QString& path) {
    struct stat st {};
    return ::lstat(encoded(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isPrivateFolder(const QString& path) {
    struct stat st {};
    return ::lstat(encoded(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::optional<mode_t> regularFileMode(const QString& path) {
    struct stat st {};
    if (::lstat(encoded(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return st.st_mode & 0777;
}

QByteArray stamp(const QString& path) {
    struct stat st {};
    if (::lstat(encoded(path).constData(), &st) != 0) return {};
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino)) + ':' +
           QByteArray::number(qint64(st.st_size)) + ':' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

QByteArray identity(const QString& path, bool followLink) {
    struct statx st {};
    if (::statx(AT_FDCWD, encoded(path).constData(), followLink ? 0 : AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME,
                &st) != 0)
        return {};
    // The inode of a folder removed is given to the next one made (ext4): its birth tells them apart.
    QByteArray identity = QByteArray::number(quint64(makedev(st.stx_dev_major, st.stx_dev_minor))) + ':' +
                          QByteArray::number(quint64(st.stx_ino));
    if (st.stx_mask & STATX_BTIME)
        identity += ':' + QByteArray::number(qint64(st.stx_btime.tv_sec)) + '.' +
                    QByteArray::number(quint64(st.stx_btime.tv_nsec));
    return identity;
}

QString asidePath(const QString& file, const QDateTime& now) {
    const QString base = file + QStringLiteral(".damaged-") + now.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = base;
    for (int n = 2; exists(path); ++n) path = base + QString::asprintf("-%d", n);
    return path;
}

std::optional<QString> keptAsideAlready(const QString& file, const QByteArray& bytes) {
    const QFileInfo info(file);
    const QString folder = info.absolutePath(), prefix = info.fileName() + QStringLiteral(".damaged-");
    for (const QString& name : regularFileNames(folder).value_or(QStringList())) {
        if (!name.startsWith(prefix)) continue;
        const QString path = folder + QLatin1Char('/') + name;
        const std::unique_ptr<QFile> copy = openRegular(path);
        if (!copy || copy->size() != bytes.size()) continue;
        // Compared a chunk at a time: a large copy is never held beside the bytes.
        std::vector<char> chunk(1 << 20);
        qint64 at = 0;
        for (qint64 count; (count = copy->read(chunk.data(), qint64(chunk.size()))) > 0; at += count)
            if (at + count > bytes.size() || std::memcmp(chunk.data(), bytes.constData() + at, size_t(count)) != 0)
                break;
        if (at == bytes.size() && copy->atEnd()) return path;
    }
    return std::nullopt;
}

std::unique_ptr<QFile> openRegular(const QString& path, FileError* error) {
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        report(error, code == ELOOP ? refusalFor(path, S_IFLNK) : FileError::fromErrno(path, code));
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        report(error, FileError::fromErrno(path, errno));
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        report(error, refusalFor(path, st.st_mode));
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        report(error, FileError{path, file->errorString(), EIO});
        ::close(fd);
        return nullptr;
    }
    return file;
}

std::optional<QByteArray> readRegular(const QString& path, qint64 maxBytes, FileError* error) {
    const std::unique_ptr<QFile> file = openRegular(path, error);
    if (!file) return std::nullopt;
    auto tooLarge = [&] {
        report(error, FileError{path, QStringLiteral("is larger than %1 bytes").arg(maxBytes), EFBIG});
        return std::nullopt;
    };
    const qint64 size = file->size();
    if (size > maxBytes) return tooLarge();
    // Room for what the file holds, not for the cap; it may grow while it is read.
    QByteArray bytes = file->read(size);
    for (;;) {
        const QByteArray more = file->read(std::min<qint64>(maxBytes + 1 - bytes.size(), 64 << 10));
        if (more.isEmpty()) break;
        bytes += more;
        if (bytes.size() > maxBytes) return tooLarge();
    }
    if (file->error() != QFileDevice::NoError) {
        report(error, FileError{path, file->errorString(), EIO});
        return std::nullopt;
    }
    return bytes;
}

std::optional<QString> followUsersLink(const QString& path, bool folder, FileError* error) {
    struct stat st {};
    if (::lstat(encoded(path).constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(encoded(path).constData(), nullptr);
    if (!resolved) {
        const int code = errno;
        report(error, code == ENOENT ? FileError::refused(path, QStringLiteral("is a link to nothing"))
                                     : FileError::fromErrno(path, code));
        return std::nullopt;
    }
    const QString target = NativePath::decode(resolved);
    ::free(resolved);
    if (::stat(encoded(target).constData(), &st) != 0) {
        report(error, FileError::fromErrno(path, errno));
        return std::nullopt;
    }
    const bool kind = folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
    if (!kind || st.st_uid != ::geteuid()) {
        report(error,
               FileError::refused(path, (folder ? QStringLiteral("is a link to %1, which is no folder of yours")
                                                : QStringLiteral("is a link to %1, which is no regular file of yours"))
                                            .arg(NativePath::displayed(target))));
        return std::nullopt;
    }
    return target;
}

std::optional<QStringList> regularFileNames(const QString& folder, FileError* error) {
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        struct stat st {};
        const bool link = ::lstat(encoded(folder).constData(), &st) == 0 && S_ISLNK(st.st_mode);
        report(error, link ? refusalFor(folder, S_IFLNK) : FileError::fromErrno(folder, code));
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        report(error, FileError::fromErrno(folder, errno));
        ::close(fd);
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names.append(NativePath::decode(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

std::optional<FileError> removeRegular(const QString& path) {
    const QFileInfo info(path);
    const int folder = ::open(encoded(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return FileError::fromErrno(path, errno);
    const QByteArray name = encoded(info.fileName());
    std::optional<FileError> result;
    struct stat st {};
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        result = FileError::fromErrno(path, errno);
    else if (!S_ISREG(st.st_mode))
        result = refusalFor(path, st.st_mode);
    else if (::unlinkat(folder, name.constData(), 0) != 0)
        result = FileError::fromErrno(path, errno);
    ::close(folder);
    return result;
}

}  // namespace SafeFile
