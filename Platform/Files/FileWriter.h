#pragma once

#include "Platform/Files/FileError.h"

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/types.h>

// Every file the program writes goes through here. Nothing is done through a link at the final
// component of a path: a target, a file appended to or a folder made that is a symbolic link is
// refused. Each operation gives no value on success and the path and reason on failure; the caller
// logs it. Safe to use from any thread.
class FileWriter {
public:
    using Result = std::optional<FileError>;

    virtual ~FileWriter() = default;

    static FileWriter& shared();
    // Replaces the shared writer (tests); nullptr restores the Linux one.
    static void setShared(FileWriter* writer);

    // Replaces the file at `path` with `bytes` atomically: a new file beside it (created
    // exclusively, synced) is renamed over it, so a crash leaves the old file or the new one.
    // The new file has the permissions of the file it replaces (the user's choice), or exactly
    // `mode` when there was none. Refused when the target is a link or anything but a regular file.
    [[nodiscard]] virtual Result write(const QString& path, const QByteArray& bytes, mode_t mode) = 0;
    // As write(), but the file is always 0600, whatever the one it replaces had: data that stays
    // the user's alone (the clipboard history).
    [[nodiscard]] virtual Result writePrivate(const QString& path, const QByteArray& bytes) = 0;
    // Writes a new file at `path` as write() does, but never over anything already there: fails
    // with EEXIST instead, so the name can serve as a claim.
    [[nodiscard]] virtual Result create(const QString& path, const QByteArray& bytes, mode_t mode) = 0;
    // Appends `bytes` to a regular file in one write, creating it with `mode` when missing.
    [[nodiscard]] virtual Result append(const QString& path, const QByteArray& bytes, mode_t mode) = 0;
    // Makes `path` a folder: created with `mode` less the umask (its parents as needed, as by
    // mkdir -p) when missing; otherwise it must be a real folder (not a link) of the user's, and
    // is left as it is.
    [[nodiscard]] virtual Result makeFolder(const QString& path, mode_t mode) = 0;
    // Makes `path` a folder only the user can enter: created with mode 0700 (its parents as
    // needed) when missing; otherwise it must be a real folder (not a link) of the user's, and
    // loses any access of others (its owner's own bits stay as they are).
    [[nodiscard]] virtual Result makePrivateFolder(const QString& path) = 0;
    // Renames `from` to `to` in the same file system; never replaces anything at `to`.
    [[nodiscard]] virtual Result moveAside(const QString& from, const QString& to) = 0;

    // The name of a new temporary file, and whether a name is one (left behind by a crash).
    static QString temporaryName();
    static bool isTemporaryName(const QString& name);

    // Removes from `folder` the temporary files that writes cut short by a crash or a kill left
    // behind: regular files of ours with a temporary name that no write of this process is
    // still filling. A folder that is a link is left alone, and so is every link in it. Returns
    // how many were removed.
    static int sweepUnfinishedWrites(const QString& folder);

protected:
    // A write in progress holds its temporary name (in the folder with that device and inode)
    // from before the file is created until it is renamed or removed, so a sweep spares it.
    static void holdTemporary(dev_t device, ino_t folder, const QByteArray& name);
    static void releaseTemporary(dev_t device, ino_t folder, const QByteArray& name);
};
