#include "Platform/Files/FolderLock.h"

#include "Platform/Files/NativePath.h"

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FolderLock::FolderLock(const QString& folder, int waitMs) {
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
            return;
        }
        if (code != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    fd_ = fd;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}
