#include "Platform/Files/FolderLock.h"

#include "Platform/Files/NativePath.h"

#include <QSet>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::mutex noLocksMutex;
QSet<QString> noLocksFolders;

bool simulatedNoLocks(const QString& folder) {
    std::lock_guard lock(noLocksMutex);
    return noLocksFolders.contains(folder);
}

}  // namespace

FolderLock::FolderLock(const QString& folder) {
    if (simulatedNoLocks(folder)) {
        state_ = State::noLocks;
        failure_ = FileError::fromErrno(folder, ENOLCK);
        return;
    }
    const int fd = ::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failure_ = FileError::fromErrno(folder, errno);
        return;
    }
    int code = 0;
    do {
        code = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
    } while (code == EINTR);
    if (code == 0) {
        fd_ = fd;
        state_ = State::held;
        return;
    }
    ::close(fd);
    if (code == EWOULDBLOCK) {
        state_ = State::busy;
        failure_ = FileError::refused(folder, QStringLiteral("is locked by another instance"));
    } else {
        state_ = code == ENOLCK || code == EOPNOTSUPP ? State::noLocks : State::failed;
        failure_ = FileError::fromErrno(folder, code);
    }
}

FolderLock FolderLock::waitFor(const QString& folder, const std::function<bool()>& giveUp) {
    for (int attempt = 0;; ++attempt) {
        FolderLock lock(folder);
        if (!lock.busy() || giveUp()) return lock;
        std::this_thread::sleep_for(std::chrono::milliseconds(retryDelayMs(attempt)));
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, State::failed)),
      failure_(std::move(other.failure_)) {}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}

int FolderLock::quitWaitLeftMs() {
    using namespace std::chrono;
    static const steady_clock::time_point end = steady_clock::now() + milliseconds(quitWaitMs);
    return int(std::max<qint64>(duration_cast<milliseconds>(end - steady_clock::now()).count(), 0));
}

int FolderLock::retryDelayMs(int attempt) { return std::min(5 << std::min(attempt, 6), 250); }

void FolderLock::simulateNoLocks(const QString& folder, bool on) {
    std::lock_guard lock(noLocksMutex);
    if (on)
        noLocksFolders.insert(folder);
    else
        noLocksFolders.remove(folder);
}
