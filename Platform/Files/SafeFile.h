#pragma once

#include "Platform/Files/FileError.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <sys/types.h>

// Reading and removing files in our own folders without following a link at the final
// component and without ever opening a FIFO or a device (which could block or never end).
namespace SafeFile {

// Whether anything is at the path: a link counts, whatever it leads to.
bool exists(const QString& path);
// Whether a regular file (not a link to one) is at the path.
bool isRegular(const QString& path);
// Whether a folder (not a link to one) of the user's that only the user can enter is at the path.
bool isPrivateFolder(const QString& path);
// The permission bits of the regular file (not a link to one) at the path; absent for anything else.
std::optional<mode_t> regularFileMode(const QString& path);
// What tells one version of a file from another: its device, inode, size and modification time
// (each atomic write makes a new inode); empty when there is none.
QByteArray stamp(const QString& path);
// Which file or folder is at the path: its device, inode and, where the file system keeps it, its
// birth time (a link's own, unless `followLink`); empty when there is none. A file replaced by a
// rename, or a folder removed and made again, is another one.
QByteArray identity(const QString& path, bool followLink = false);
// A free name beside a damaged file to keep it under: "<file>.damaged-<UTC time>", with "-2", "-3"...
// after it when a file was kept in the same second.
QString asidePath(const QString& file, const QDateTime& now);
// The copy kept aside of `file` (a regular "<file>.damaged-…" beside it) that holds exactly `bytes`,
// if there is one: a damaged file is kept once per distinct content, not at every look.
std::optional<QString> keptAsideAlready(const QString& file, const QByteArray& bytes);

// The regular file at the path, open for reading; null with the reason when it is missing, a
// link, or anything but a regular file. Opening never blocks.
std::unique_ptr<QFile> openRegular(const QString& path, FileError* error = nullptr);
// The contents of the regular file at the path, read as above. A file larger than `maxBytes` is
// refused unread (its error tells so with isTooLarge()): every caller names the most its file holds.
std::optional<QByteArray> readRegular(const QString& path, qint64 maxBytes, FileError* error = nullptr);

// Where a file or folder the user may have linked elsewhere (a settings file kept with their
// dotfiles, a synced folder) is read and written: the path itself when it is no link or is
// missing, else the link's final target when that is a regular file (a folder, with `folder`)
// of the user's own. Absent with the reason for any other link: one that leads nowhere, to
// another user's file, a device or a FIFO.
std::optional<QString> followUsersLink(const QString& path, bool folder = false, FileError* error = nullptr);

// The names of the regular files in a folder, which must not itself be a link. Absent (with the
// reason) when it cannot be listed.
std::optional<QStringList> regularFileNames(const QString& folder, FileError* error = nullptr);

// Removes the file at the path when it is a regular file; a link or anything else is left alone
// and reported. A missing file is reported as missing.
std::optional<FileError> removeRegular(const QString& path);

}  // namespace SafeFile
