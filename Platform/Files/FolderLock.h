#pragma once

#include "Platform/Files/FileError.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

// An advisory lock on a folder (flock on the folder itself, so no file is made for it), taken by
// each running instance of the program around a read and rewrite of a file in that folder: two
// instances of one user (two displays) then take turns instead of writing over each other's
// changes. Taking it never waits: a writer that finds it busy keeps its write pending and tries
// again later (`retryDelayMs`). Only on a file system that keeps no locks at all is a file
// written without it. Released when it goes.
class FolderLock {
public:
    enum class State {
        held,
        busy,  // another instance holds it
        noLocks,  // the file system keeps no locks (ENOLCK, EOPNOTSUPP): write without one
        failed,  // the folder cannot be opened
    };

    // When a wait for the lock ends: never, until it is brought forward (at quit). It may be
    // brought forward from another thread while a wait sleeps between tries; that wakes it.
    class Deadline {
    public:
        using TimePoint = std::chrono::steady_clock::time_point;
        Deadline() = default;
        explicit Deadline(TimePoint at) : at_(at) {}
        // Brings it to `at`, unless it comes sooner already.
        void bringTo(TimePoint at);
        bool passed() const;
        // Whether it was brought to a time at all.
        bool isSet() const;
        // Sleeps `ms`, or until it passes when that comes first.
        void sleep(int ms) const;

    private:
        mutable std::mutex mutex_;
        mutable std::condition_variable changed_;
        TimePoint at_ = TimePoint::max();
    };

    // Tries once, at once.
    explicit FolderLock(const QString& folder);
    // Tries until the lock is not busy, or until `deadline` passes or `giveUp` says so (then it is
    // busy); a sleep between tries never runs past the deadline. Off the GUI thread only, or for a
    // bounded time at quit.
    static FolderLock waitFor(const QString& folder, const Deadline& deadline,
                              const std::function<bool()>& giveUp = {});
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&&) = delete;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::held; }
    bool busy() const { return state_ == State::busy; }
    // Why it is not held.
    const std::optional<FileError>& failure() const { return failure_; }

    // The longest quitting waits for another instance to let go of a lock a pending save wants.
    static constexpr int quitWaitMs = 3000;
    // What is left of that wait, counted from the first ask, so that the stores share it.
    static int quitWaitLeftMs();
    // How long to wait before trying a busy lock again: short at first, at most a quarter second.
    static int retryDelayMs(int attempt);

private:
    int fd_ = -1;
    State state_ = State::failed;
    std::optional<FileError> failure_;
};
