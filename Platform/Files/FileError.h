#pragma once

#include <QString>

#include <cerrno>

// Why a file operation failed: the path it concerned and the reason, for the log.
struct FileError {
    QString path;
    QString reason;
    int code = 0;  // errno, or 0 when we refused on our own

    static FileError fromErrno(const QString& path, int code);
    static FileError refused(const QString& path, const QString& reason);

    bool isMissing() const { return code == ENOENT; }
    // Refused unread for its size.
    bool isTooLarge() const { return code == EFBIG; }
    // "<path>: <reason>"
    QString message() const;
};
