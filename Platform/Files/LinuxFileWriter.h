#pragma once

#include "Platform/Files/FileWriter.h"

// The file writer over the Linux system calls (openat with O_EXCL and O_NOFOLLOW, fsync, renameat).
class LinuxFileWriter : public FileWriter {
public:
    Result write(const QString& path, const QByteArray& bytes, mode_t mode) override;
    Result writePrivate(const QString& path, const QByteArray& bytes) override;
    Result create(const QString& path, const QByteArray& bytes, mode_t mode) override;
    Result append(const QString& path, const QByteArray& bytes, mode_t mode) override;
    Result makeFolder(const QString& path, mode_t mode) override;
    Result makePrivateFolder(const QString& path) override;
    Result moveAside(const QString& from, const QString& to) override;

protected:
    // Flushes a new file to the disk before it takes its name; tests make it fail.
    virtual int sync(int fd);

private:
    enum class Put { replaceKeepingMode, replace, create };
    Result put(const QString& path, const QByteArray& bytes, mode_t mode, Put how);
};
