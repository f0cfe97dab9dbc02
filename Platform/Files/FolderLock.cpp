#include "Platform/Files/FolderLock.h"

#include "Platform/Files/NativePath.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

void FolderLock::Deadline::bringTo(TimePoint at) {
    {
        std::lock_guard lock(mutex_);
        if (at >= at_) return;
        at_ = at;
    }
    changed_.notify_all();
}

bool FolderLock::Deadline::passed() const {
    std::lock_guard lock(mutex_);
    return std::chrono::steady_clock::now() >= at_;
}

bool FolderLock::Deadline::isSet() const {
    std::lock_guard lock(mutex_);
    return at_ != TimePoint::max();
}

void FolderLock::Deadline::sleep(int ms) const {
    const TimePoint end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(mutex_);
    // Brought forward meanwhile: the wait goes on to the new end.
    while (std::chrono::steady_clock::now() < std::min(end, at_)) changed_.wait_until(lock, std::min(end, at_));
}

FolderLock::FolderLock(const QString& folder) {
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

FolderLock FolderLock::waitFor(const QString& folder, const Deadline& deadline, const std::function<bool()>& giveUp) {
    for (int attempt = 0;; ++attempt) {
        FolderLock lock(folder);
        if (!lock.busy() || deadline.passed() || (giveUp && giveUp())) return lock;
        deadline.sleep(retryDelayMs(attempt));
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
