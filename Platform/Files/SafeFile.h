#pragma once

#include "Platform/Files/FileError.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Reading and removing files in our own folders without following a link at the final
// component and without ever opening a FIFO or a device (which could block or never end).
namespace SafeFile {

// Whether a regular file (not a link to one) is at the path.
bool isRegular(const QString& path);

// The regular file at the path, open for reading; null with the reason when it is missing, a
// link, or anything but a regular file. Opening never blocks.
std::unique_ptr<QFile> openRegular(const QString& path, FileError* error = nullptr);
// The contents of the regular file at the path, read as above.
std::optional<QByteArray> readRegular(const QString& path, FileError* error = nullptr);

// The names of the regular files in a folder, which must not itself be a link. Absent (with the
// reason) when it cannot be listed.
std::optional<QStringList> regularFileNames(const QString& folder, FileError* error = nullptr);

// Removes the file at the path when it is a regular file; a link or anything else is left alone
// and reported. A missing file is reported as missing.
std::optional<FileError> removeRegular(const QString& path);

}  // namespace SafeFile
