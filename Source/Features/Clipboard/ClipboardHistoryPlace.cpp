#include "Source/Features/Clipboard/ClipboardHistoryPlace.h"

#include "Platform/Files/SafeFile.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"

#include <QDir>

#include <optional>
#include <utility>

ClipboardHistoryPlace::ClipboardHistoryPlace(const QString& folder) : folder_(QDir::cleanPath(folder)) {}

ClipboardHistoryPlace::Now ClipboardHistoryPlace::now() {
    FileError error;
    const std::optional<QString> place = SafeFile::followUsersLink(folder_, true, &error);
    Now found;
    std::lock_guard lock(mutex_);
    if (!place) {
        found.refused = true;
        found.why = error.message();
        if (std::exchange(refusal_, found.why) != found.why)
            qCWarning(lcClipboard, "History folder %s; the history is kept in memory only", qPrintable(refusal_));
        return found;
    }
    refusal_.clear();
    found.historyFile = *place + QStringLiteral("/history.json");
    found.imagesDirectory = *place + QStringLiteral("/Images");
    if (*place == folder_) found.privateFolders << folder_;
    return found;
}

void ClipboardHistoryPlace::notSaved(size_t entries, const QString& why) {
    std::lock_guard lock(mutex_);
    unsavedEntries_ = entries;
    if (std::exchange(unsaved_, why) != why)
        qCWarning(lcClipboard, "The history is not saved (%zu entries): %s", entries, qPrintable(why));
}

void ClipboardHistoryPlace::saved() {
    std::lock_guard lock(mutex_);
    unsaved_.clear();
}

void ClipboardHistoryPlace::tellAtQuit() {
    std::lock_guard lock(mutex_);
    if (!unsaved_.isEmpty() && !std::exchange(told_, true))
        qCWarning(lcClipboard, "The history is not saved (%zu entries): %s", unsavedEntries_, qPrintable(unsaved_));
}
