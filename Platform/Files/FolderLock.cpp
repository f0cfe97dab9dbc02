#include "Platform/Files/FolderLock.h"

#include "Platform/Files/NativePath.h"

#include <QSet>

#include <chrono>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Folders whose last wait ran out: held by an instance that may be stopped, they are not waited
// for again until the lock is had once more.
std::mutex stuckMutex;
QSet<QString> stuckFolders;

}  // namespace

FolderLock::FolderLock(const QString& folder, int waitMs) {
    {
        std::lock_guard lock(stuckMutex);
        if (stuckFolders.contains(folder)) waitMs = 0;
    }
    const int fd = ::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failure_ = FileError::fromErrno(folder, errno);
        return;
    }
    // Polled rather than blocking, so that a stopped or hung instance holds no one up for long.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        if ((code != EWOULDBLOCK && code != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            failure_ = code == EWOULDBLOCK
                           ? FileError::refused(folder, QStringLiteral("is locked by another instance for too long"))
                           : FileError::fromErrno(folder, code);
            ::close(fd);
            if (code == EWOULDBLOCK && waitMs > 0) {
                std::lock_guard lock(stuckMutex);
                stuckFolders.insert(folder);
            }
            return;
        }
        if (code != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    fd_ = fd;
    std::lock_guard lock(stuckMutex);
    stuckFolders.remove(folder);
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}
