#pragma once

#include <QString>

// For as long as it lives, the folder behaves as one on a file system that keeps no locks: flock on
// it fails with `error` (ENOLCK, EOPNOTSUPP). The program's own call to flock is the one that
// fails, so what it makes of the error is tested; flock on anything else is left as it is.
class NoLocksFolder {
public:
    NoLocksFolder(const QString& folder, int error);
    ~NoLocksFolder();
    NoLocksFolder(const NoLocksFolder&) = delete;
    NoLocksFolder& operator=(const NoLocksFolder&) = delete;

private:
    unsigned long long device_ = 0, inode_ = 0;
};
