#pragma once

#include "Platform/Files/FileError.h"
#include "Source/Features/Clipboard/ClipboardHistoryMerge.h"
#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// What a look at the history file found: what another instance saved, taken in as a start reads
// it. Any queue but the GUI thread (a file being rewritten is waited out).
struct ClipboardHistoryOnDisk {
    enum class State { read, missing, unreadable, refused, stopped };
    State state = State::missing;
    std::vector<ClipboardItem> items;  // the entries that carry their ids, held to the limit
    ClipboardHistoryLineage lineage;
    QByteArray stamp;  // the version read
    FileError error;  // why it could not be read
    int skipped = 0;  // records read past that this version cannot read (a newer one's, say)

    // How many times a file that changed while it was read is read again, once it holds still.
    static constexpr int rereads = 3;

    // The entries the history file holds now that carry their ids, held to `limit` as a start holds
    // them. A missing file tells nothing (a clear writes it empty): its folder was moved away or
    // removed, and perhaps made again. A link or a device in its place is refused. A file that
    // changed while it was read, or cannot be read and was changed a moment ago, is read again once
    // it holds still; `stop` ends the read (and the wait) at its next look.
    static ClipboardHistoryOnDisk read(const QString& file, const QString& imagesDirectory, const QDateTime& now,
                                       int limit, const std::function<bool()>& stop);
    // Whether to read the file again: it changed since `stamp` (the version a read began at), or
    // could not be read (`failed`) and was changed a moment ago, a writer perhaps paused in it.
    static bool readAgain(const QString& file, const QByteArray& stamp, bool failed);
    // Waits until the file holds still: the same version twice, a moment apart, last changed a
    // while ago. False when `stop` says so first; after some seconds it is taken as it is.
    static bool waitUntilStill(const QString& file, const std::function<bool()>& stop);
    // Keeps a copy of the file, which holds `skipped` records this version cannot read, beside it
    // before it is written over, once per distinct content; the failure when none can be kept.
    static std::optional<FileError> keepCopyAside(const QString& file, int skipped);
};
