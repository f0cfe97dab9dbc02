#pragma once

#include "Platform/Files/FileError.h"

#include <QByteArray>

#include <optional>

// Removing a folder of our own with everything in it.
namespace FolderTree {

// Removes the folder `name` in the open folder `parent` and everything in it, working through open
// folders so that no path grows long: a tree deeper than PATH_MAX goes too, with few files open at
// once. A link is removed as a link, never followed; `name` itself must be a real folder. It never
// leaves that folder: a folder inside on another file system, or one that is moved while it works,
// stops it with an error. The error's path is `name`.
std::optional<FileError> remove(int parent, const QByteArray& name);

}  // namespace FolderTree
