#pragma once

#include "Platform/Files/FileError.h"

#include <QString>

#include <optional>

// Moves items to the desktop's Trash. Never deletes and never copies: an item no trash on its own
// file system can take stays where it is, with the reason.
class Trash {
public:
    virtual ~Trash() = default;

    static Trash& shared();
    // Replaces the shared trash (tests); nullptr restores the Linux one.
    static void setShared(Trash* trash);

    // Moves the file, folder or link at the absolute `path` (a link is moved, not followed) into a
    // trash and records where it came from. Gives the item's new path, or the reason it stayed.
    struct Outcome {
        std::optional<FileError> error;
        QString trashedPath;
        bool moved() const { return !error; }
    };
    virtual Outcome moveToTrash(const QString& path) = 0;
};

// The freedesktop Trash: the home trash under the data home for items on its file system, else
// "$topdir/.Trash/$uid" (when ".Trash" is a real sticky folder) or "$topdir/.Trash-$uid" on the
// item's own file system, each with "files" and "info" and a ".trashinfo" per item.
class LinuxTrash final : public Trash {
public:
    // `dataHome` empty: $XDG_DATA_HOME, else ~/.local/share, read at each move.
    explicit LinuxTrash(QString dataHome = QString());

    Outcome moveToTrash(const QString& path) override;

    // The home trash folder.
    QString homeTrash() const;

private:
    QString dataHome_;
};
