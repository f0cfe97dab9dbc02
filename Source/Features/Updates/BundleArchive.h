#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Unpacks the zip archive of an update from bytes already in memory (the bytes whose signature
// was checked), refusing anything that could reach outside the target folder: absolute names,
// ".." components, links of any kind, devices, FIFOs and sockets. Every entry must lie inside one
// top folder whose name ends in ".app". Size and entry count are capped. Files keep the mode the
// archive gives them (the signed manifest checks it); every folder is made 0755, whatever the
// archive or the umask says.
namespace BundleArchive {

struct Limits {
    qint64 totalBytes = 1024LL * 1024 * 1024;  // unpacked, all entries together
    int entries = 20000;
};

struct Result {
    QString topFolder;  // the name of the one ".app" folder, on success
    QString error;      // what was refused, for the log; empty on success
};

// Unpacks into `folder` (which must exist and be empty). On failure part of the archive may be
// there: the caller removes the folder.
Result unpack(const QByteArray& zip, const QString& folder, const Limits& limits = {});

// Whether a name from an archive is a plain relative path: not empty, not absolute, no empty, "."
// or ".." component, no backslash.
bool isSafeEntryName(const QString& name);

}  // namespace BundleArchive
