#include "Platform/Files/LinuxFileWriter.h"

#include "Platform/Files/NativePath.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    void assign(int fd) {
        reset();
        fd_ = fd;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; false when close reports an error (a write that did not reach the disk).
    bool reset() {
        if (fd_ < 0) return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

QByteArray encoded(const QString& path) { return NativePath::encode(path); }

FileError linkRefusal(const QString& path) { return FileError::refused(path, QStringLiteral("is a symbolic link")); }

// The reason a descriptor's file is refused as a target, or none for a regular file.
std::optional<FileError> notRegular(const QString& path, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return linkRefusal(path);
    if (!S_ISREG(st.st_mode)) return FileError::refused(path, QStringLiteral("is not a regular file"));
    return std::nullopt;
}

// Writes all bytes, resuming after interruptions and short writes.
std::optional<FileError> writeAll(int fd, const QString& path, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return FileError::fromErrno(path, errno);
        }
        data += written;
        left -= written;
    }
    return std::nullopt;
}

// Makes the missing folders above `path` as mkdir -p does (0777 less the umask). A failure shows
// in what the caller does next.
void makeParents(const QByteArray& path) {
    struct stat st {};
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        const QByteArray folder = path.left(slash);
        if (::stat(folder.constData(), &st) != 0 && errno == ENOENT) ::mkdir(folder.constData(), 0777);
    }
}

// The folder at `path`, made with `mode` less the umask when missing, open without following a
// link there; `st` is its status and `made` whether this call made it.
std::optional<FileError> openFolder(const QString& path, mode_t mode, Descriptor& folder, struct stat& st, bool& made) {
    const QByteArray native = encoded(path);
    made = false;
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT) return FileError::fromErrno(path, errno);
        makeParents(native);
        if (::mkdir(native.constData(), mode & 07777) == 0)
            made = true;
        else if (errno != EEXIST)
            return FileError::fromErrno(path, errno);
        if (::lstat(native.constData(), &st) != 0) return FileError::fromErrno(path, errno);
    }
    if (S_ISLNK(st.st_mode)) return linkRefusal(path);
    if (!S_ISDIR(st.st_mode)) return FileError::refused(path, QStringLiteral("is not a folder"));
    // Opened without following, so nothing is done through a link put there meanwhile.
    folder.assign(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) return errno == ELOOP ? linkRefusal(path) : FileError::fromErrno(path, errno);
    if (::fstat(folder.get(), &st) != 0) return FileError::fromErrno(path, errno);
    if (st.st_uid != ::geteuid()) return FileError::refused(path, QStringLiteral("belongs to another user"));
    return std::nullopt;
}

}  // namespace

int LinuxFileWriter::sync(int fd) { return ::fsync(fd); }

FileWriter::Result LinuxFileWriter::write(const QString& path, const QByteArray& bytes, mode_t mode) {
    return put(path, bytes, mode, Put::replaceKeepingMode);
}

FileWriter::Result LinuxFileWriter::writePrivate(const QString& path, const QByteArray& bytes) {
    return put(path, bytes, 0600, Put::replace);
}

FileWriter::Result LinuxFileWriter::create(const QString& path, const QByteArray& bytes, mode_t mode) {
    return put(path, bytes, mode, Put::create);
}

FileWriter::Result LinuxFileWriter::put(const QString& path, const QByteArray& bytes, mode_t mode, Put how) {
    const bool replace = how != Put::create;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty()) return FileError::refused(path, QStringLiteral("names no file"));
    // The folders above may be links (a linked home); only the last component is never followed.
    const Descriptor folder(::open(encoded(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return FileError::fromErrno(path, errno);
    const QByteArray target = encoded(name);

    struct stat st {};
    if (::fstatat(folder.get(), target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!replace) return FileError::fromErrno(path, EEXIST);
        if (auto refusal = notRegular(path, st)) return refusal;
        if (how == Put::replaceKeepingMode) mode = st.st_mode & 0777;
    } else if (errno != ENOENT) {
        return FileError::fromErrno(path, errno);
    }

    struct stat folderStat {};
    if (::fstat(folder.get(), &folderStat) != 0) return FileError::fromErrno(path, errno);
    // Named as ours until it is renamed or removed, so that a sweep of the folder spares it.
    struct Held {
        dev_t device;
        ino_t inode;
        QByteArray name;
        ~Held() {
            if (!name.isEmpty()) releaseTemporary(device, inode, name);
        }
    } held{folderStat.st_dev, folderStat.st_ino, {}};
    QByteArray temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 8 && !file.valid(); ++attempt) {
        if (!held.name.isEmpty()) releaseTemporary(held.device, held.inode, held.name);
        temporary = encoded(temporaryName());
        held.name = temporary;
        holdTemporary(held.device, held.inode, held.name);
        file.assign(::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             mode & 07777));
        if (!file.valid() && errno != EEXIST) return FileError::fromErrno(path, errno);
    }
    if (!file.valid()) return FileError::fromErrno(path, EEXIST);

    auto fail = [&](FileError error) {
        file.reset();
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return error;
    };
    // The umask must not loosen or tighten what the caller asked for.
    if (::fchmod(file.get(), mode & 07777) != 0) return fail(FileError::fromErrno(path, errno));
    if (auto error = writeAll(file.get(), path, bytes)) return fail(*error);
    if (sync(file.get()) != 0) return fail(FileError::fromErrno(path, errno));
    if (!file.reset()) return fail(FileError::fromErrno(path, errno));
    if (replace) {
        if (::renameat(folder.get(), temporary.constData(), folder.get(), target.constData()) != 0)
            return fail(FileError::fromErrno(path, errno));
    } else if (::renameat2(folder.get(), temporary.constData(), folder.get(), target.constData(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return fail(FileError::fromErrno(path, errno));
        // Without the no-replace rename, a hard link claims the name just as surely.
        if (::linkat(folder.get(), temporary.constData(), folder.get(), target.constData(), 0) != 0)
            return fail(FileError::fromErrno(path, errno));
        ::unlinkat(folder.get(), temporary.constData(), 0);
    }
    ::fsync(folder.get());  // the new name survives a power cut; some file systems cannot sync folders
    return std::nullopt;
}

FileWriter::Result LinuxFileWriter::append(const QString& path, const QByteArray& bytes, mode_t mode) {
    // Non-blocking, so that a FIFO put in the file's place cannot stall the open.
    Descriptor file(::open(encoded(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                           mode & 07777));
    if (!file.valid()) return errno == ELOOP ? linkRefusal(path) : FileError::fromErrno(path, errno);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return FileError::fromErrno(path, errno);
    if (auto refusal = notRegular(path, st)) return refusal;
    const ssize_t written = ::write(file.get(), bytes.constData(), size_t(bytes.size()));  // one write: one piece
    if (written < 0) return FileError::fromErrno(path, errno);
    if (written != ssize_t(bytes.size()))
        return FileError::refused(path, QStringLiteral("wrote %1 of %2 bytes").arg(written).arg(bytes.size()));
    if (!file.reset()) return FileError::fromErrno(path, errno);
    return std::nullopt;
}

FileWriter::Result LinuxFileWriter::makeFolder(const QString& path, mode_t mode) {
    Descriptor folder;
    struct stat st {};
    bool made = false;
    return openFolder(path, mode, folder, st, made);
}

FileWriter::Result LinuxFileWriter::makePrivateFolder(const QString& path) {
    Descriptor folder;
    struct stat st {};
    bool made = false;
    if (auto error = openFolder(path, 0700, folder, st, made)) return error;
    // Made exactly 0700 whatever the umask; one that was there only loses what others may do.
    const mode_t wanted = made ? 0700 : st.st_mode & 0700;
    if ((st.st_mode & 07777) != wanted && ::fchmod(folder.get(), wanted) != 0) return FileError::fromErrno(path, errno);
    return std::nullopt;
}

FileWriter::Result LinuxFileWriter::moveAside(const QString& from, const QString& to) {
    const QByteArray source = encoded(from), target = encoded(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    if (errno != EINVAL && errno != ENOSYS) return FileError::fromErrno(from, errno);
    // A file system without the no-replace rename: a second name, then the first one goes.
    if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), 0) != 0)
        return FileError::fromErrno(from, errno);
    if (::unlink(source.constData()) != 0) {
        const int code = errno;
        ::unlink(target.constData());
        return FileError::fromErrno(from, code);
    }
    return std::nullopt;
}
