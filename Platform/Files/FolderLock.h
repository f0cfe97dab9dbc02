#pragma once

#include "Platform/Files/FileError.h"

#include <QString>

#include <optional>

// An advisory lock on a folder (flock on the folder itself, so no file is made for it), taken by
// each running instance of the program around a read and rewrite of a file in that folder: two
// instances of one user (two displays) then take turns instead of writing over each other's
// changes. Waits at most `waitMs` for the other instance; without the lock by then (or on a
// file system without locks) the caller goes on unlocked, and later locks of that folder do not
// wait until one is had again. Released when it goes.
class FolderLock {
public:
    FolderLock(const QString& folder, int waitMs);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // Why it is not held.
    const std::optional<FileError>& failure() const { return failure_; }

private:
    int fd_ = -1;
    std::optional<FileError> failure_;
};
