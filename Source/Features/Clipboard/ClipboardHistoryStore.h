#pragma once

#include "Platform/Files/FolderLock.h"
#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class ClipboardHistoryMerge;
class ClipboardHistoryPlace;
class SerialQueue;

Q_DECLARE_LOGGING_CATEGORY(lcClipboard)

// The clipboard history's files: "history.json" and the images in "Images" beside it. Every read,
// write and sweep after construction runs on one serial queue (the image queue), in the order it
// was asked for; only regular files of our own are written or removed, never through a link.
// Another instance of the program (the same user on another display) may keep the same files: each
// save, clear, sweep and stored image holds the folder's lock, and a save merges what the other
// saved meanwhile. While the other holds the lock the work waits on the queue, the newest save
// pending, and is done as soon as the lock is free.
class ClipboardHistoryStore {
public:
    // More pins than this are unpinned.
    static constexpr int maxPinned = 5;

    // What reading the history file found.
    struct Loaded {
        std::vector<ClipboardItem> items;
        int limit = 0;
        bool damaged = false;  // the file could not be read
        bool savesBlocked = false;  // keep the file as it is: it could not be kept aside, or is not ours
        QSet<QUuid> idsInFile;  // the entries whose ids the file gave
        std::vector<QUuid> leftOut;  // ids of the records left out by the limit
        QByteArray stamp;  // the file's version, taken before it was read
        std::optional<QString> saves;  // the saves the file descends from, as its first record names them
        bool stopped = false;  // the read was stopped before its end: nothing is known of the file
    };

    // Makes the folder and its "Images" private. A link the user made to a folder of their own is
    // followed (and that folder keeps its mode); a link to anything else is refused: nothing is
    // then read, written or removed there.
    explicit ClipboardHistoryStore(const QString& historyFolder);
    ~ClipboardHistoryStore();  // finishes the queued work, waiting a bounded time for a lock

    // From now on, work waiting for another instance's lock, or reading what it saved, gives up
    // `ms` from now, and says in the log what it did not do; a take-in that would write nothing
    // ends at once: at quit.
    void stopWaitingAfter(int ms);

    // Where the files are: in the folder a link leads to, when it was followed.
    QString historyFile() const { return historyFile_; }
    QString imagesDirectory() const { return imagesDirectory_; }
    // True when nothing at all (not even a link) stands at the history file's place.
    bool historyFileIsAbsent() const;
    // True when the folder is a link that is not followed.
    bool folderRefused() const { return refused_; }

    // A folder only the user can enter; a link or someone else's folder is refused. Any queue.
    static bool makePrivateFolder(const QString& path);
    // Removes one of our files; a missing one is no failure. Any queue.
    static void removeFile(const QString& path);
    // An upper-case UUID plus ".png".
    static bool isStoredImageName(const QString& name);
    // A stored image name inside our images folder where the history is kept now. Any queue.
    bool isOwnImageFile(const QString& path) const;

    // Reads the history file on the calling thread: pins first, then the others up to `limit`.
    // A damaged file is moved aside, records that cannot be read are kept in a copy aside. The
    // file is parsed as it is read, a chunk at a time; with `stop`, the read looks at it before
    // each chunk and each entry, and once it is raised ends at once, changing nothing.
    static Loaded read(const QString& file, const QString& imagesDirectory, int limit, const QDateTime& now,
                       const std::atomic<bool>* stop = nullptr);
    Loaded read(int limit, const QDateTime& now) const;
    // Reads the history file on the queue; `ready` runs on the GUI thread when takeLoad() has it.
    void startLoad(int limit, const QDateTime& now, std::function<void()> ready);
    // The read started by startLoad() once it is done (then it is no longer pending).
    std::optional<Loaded> takeLoad();
    // Drops the read started by startLoad(), done or not: one under way stops at its next look.
    void discardLoad();
    // Tests only: runs on the image queue each time a read of the history file (at start-up, or of
    // another instance's save) looks whether to stop, with how many bytes of the file it has read
    // and what tells it to stop, so that a test can hold the read there.
    using LoadCheckpoint = std::function<void(qint64 bytesRead, const std::function<bool()>& stop)>;
    static void setLoadCheckpointForTesting(LoadCheckpoint checkpoint);

    // Writes the entries as the history file, with what another instance saved meanwhile taken in
    // as a start reads it and merged in (the others held to `limit`); a save overtaken by a newer
    // one (or by removeAll()) is skipped. A file holding records this version cannot read is copied
    // aside first, as at a start; where no copy can be kept, nothing is written. When the merge
    // changed the entries and no newer save follows, `merged` gets what was written, on the GUI thread.
    void save(std::vector<ClipboardItem> items, int limit = std::numeric_limits<int>::max(),
              std::function<void(std::vector<ClipboardItem>)> merged = {});
    // Reads the history file when another instance has written it since this one last read or
    // wrote it, and hands `merged` what the entries become with its changes merged in (as save()
    // does, but writing nothing), unless a save is asked for meanwhile or the quit begins. A file
    // that is missing or cannot be read leaves the entries as they are. When the entries keep what
    // the file lacks (its writer never had them), `saveNeeded` runs after `merged`, on the GUI thread.
    void refresh(std::vector<ClipboardItem> items, int limit, std::function<void(std::vector<ClipboardItem>)> merged,
                 std::function<void()> saveNeeded = {});
    // Entries removed here, which a save must not take in again from another instance's file.
    void noteRemoved(const std::vector<QUuid>& ids);
    // Keeps a copied image as a PNG under a new name (a PNG byte for byte), then hands its
    // reference to `stored` on the GUI thread. Data that is no image is dropped.
    void storeImage(const QByteArray& data, std::function<void(const ClipboardImageReference&)> stored);
    // Removes the stored images that neither `named`, the history file nor a kept-aside copy of it
    // names, and writes cut short.
    void sweep(QSet<QString> named);
    // Removes the history file, its kept-aside copies and every stored image.
    void removeAll();
    // Blocks until the queued work has finished.
    void waitUntilIdle();

private:
    struct PendingLoad;

    // What this instance knows of the file from a start's read.
    void noteLoaded(const Loaded& loaded) const;

    QString imagesDirectory_;
    QString historyFile_;
    std::unique_ptr<SerialQueue> queue_;
    std::shared_ptr<PendingLoad> pendingLoad_;
    std::shared_ptr<ClipboardHistoryMerge> merge_;
    std::shared_ptr<ClipboardHistoryPlace> place_;
    bool refused_ = false;
    // Raised by every save and by removeAll(); a queued write older than the latest is skipped.
    std::shared_ptr<std::atomic<quint64>> saveSequence_ = std::make_shared<std::atomic<quint64>>(0);
    // When work waiting for the folder's lock gives up: never, until quit.
    std::shared_ptr<FolderLock::Deadline> giveUpAt_ = std::make_shared<FolderLock::Deadline>();
};
