#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <mutex>

// Where the history folder leads now, looked at before each piece of work as at start: a link the
// user made to a folder of their own is followed (and may lead elsewhere now), one to anything else
// is refused, said once until it changes. Also what could not be saved, said again at quit. Any queue.
class ClipboardHistoryPlace {
public:
    struct Now {
        QString historyFile, imagesDirectory;
        QStringList privateFolders;  // made private before a write: the history folder, unless linked
        bool refused = false;
        QString why;  // why it is refused
        bool linked() const { return privateFolders.isEmpty(); }
    };

    explicit ClipboardHistoryPlace(const QString& folder);
    const QString& folder() const { return folder_; }

    Now now();
    // A save that could not be made: said when its reason is new, and again at quit.
    void notSaved(size_t entries, const QString& why);
    void saved();
    void tellAtQuit();

private:
    const QString folder_;  // as it was given
    std::mutex mutex_;
    QString refusal_;  // said last
    QString unsaved_;  // why the last save was not made
    size_t unsavedEntries_ = 0;
    bool told_ = false;
};
