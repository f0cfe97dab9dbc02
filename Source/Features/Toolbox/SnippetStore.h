#pragma once

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SaveLineage.h"
#include "Platform/Files/FileError.h"
#include "Source/Features/Toolbox/Snippet.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class FolderLock;

// The user's text snippets, newest additions first, kept in "Snippets/snippets.json" and
// rewritten whole, atomically, on every change. Three starters stand in while there is nothing
// to show. A file that cannot be read is kept aside before anything is written over it; a
// record that cannot be read is skipped (the file is copied aside first); each damaged content
// is kept once. A folder or file the user linked to their own is read and written through the
// link. Another instance of the program (the same user on another display) may keep the same
// file: each save takes the folder's lock, reads the file again and keeps what the other saved
// since this one last read or wrote it, and the other's saves are taken in a moment after they
// are made (what the file's path names now is watched, also after its folder was moved away or made
// again). While the other holds the lock a save stays pending and is
// made as soon as it is free; quitting waits for it a bounded time. GUI thread only.
class SnippetStore : public QObject {
    Q_OBJECT
public:
    // The store over Application Support's "Snippets"; created on first use, never destroyed.
    static SnippetStore& shared();

    // A store keeping "snippets.json" in `folder`; loads it at once, first removing what saves cut
    // short by a crash or a kill left there.
    explicit SnippetStore(const QString& folder, QObject* parent = nullptr);
    ~SnippetStore() override;  // a pending save is made only when the lock is free now

    const QList<Snippet>& snippets() const { return snippets_; }
    // The first snippet whose title equals `name` ignoring case (full case folding, with the
    // user's locale's rule for i); the name is not trimmed, and letters that differ by more than
    // case (е and ё) differ.
    std::optional<Snippet> snippet(const QString& name) const;

    // Inserts at the front and saves.
    void add(const Snippet& snippet);
    // Replaces the first entry with the same id and saves; does nothing when there is none.
    void update(const Snippet& snippet);
    // Removes every entry with the same id and saves, also when none was there.
    void remove(const Snippet& snippet);

    QString fileURL() const { return fileURL_; }
    // Whether a save waits for another instance to let go of the folder's lock.
    bool savePending() const { return pending_; }
    // Makes a pending save, waiting at most `waitMs` for the lock (at quit); says in the log when
    // it could not.
    void finishPendingSave(int waitMs);

    // The three starters, made once per process (fresh ids, dated when first asked for).
    static const QList<Snippet>& starters();

    // The largest file read, and written: anything larger is not read back.
    static constexpr qint64 largestFile = qint64(32) << 20;
    // The file's bytes for a list: a compact JSON array. The first record names the saves the
    // file descends from (`saves`, when given), under a key older versions pass over.
    static QByteArray encode(const QList<Snippet>& snippets, const QString& saves = {});
    struct Decoded {
        QList<Snippet> snippets;
        int skipped = 0;  // records that could not be read
        std::optional<QString> saves;  // what the first record names
    };
    // Absent when the bytes are no JSON array.
    static std::optional<Decoded> decode(const QByteArray& bytes);

signals:
    void snippetsChanged();
    // Right after the snippetsChanged of a list that took in another instance's save.
    void othersSaveTakenIn();

private:
    // Where the file is read and written: through the links the user made to their own folder or file.
    struct Place {
        QString folder;  // holds "snippets.json" (perhaps a link)
        QString file;
        bool folderLinked = false;
        bool fileLinked = false;
    };
    std::optional<Place> place(FileError* error) const;
    // The file's snippets; absent when it is missing or damaged (kept aside, or saves blocked).
    // `lineage` gets the version read.
    std::optional<Decoded> read(const Place& where, SaveLineage* lineage = nullptr);
    void load();
    // Takes in what another instance saved; writes only what a writer that never had it left out.
    void takeInOthersSave();
    // Whether the writer of a file of `lineage` never had this instance's save that last changed
    // or removed a snippet.
    std::function<bool(const QUuid&)> unseenBy(const SaveLineage& lineage) const;
    void migrateStarterExamples();
    // Keeps the file's present bytes beside it: moved when `move`, else copied; nothing is done
    // for bytes kept before. False when it failed.
    bool keepAside(const Place& where, const std::optional<QByteArray>& bytes, bool move);
    void save();
    // With the folder's lock `waited` for, or tried now.
    void saveWith(const FolderLock* waited);
    // Tries the pending save again a moment later.
    void scheduleRetry();
    // Under the folder's lock: reads the file again, merges and writes; true when another
    // instance's changes came in. Left pending while another instance holds the lock.
    bool writeMerged(const Place& where, const FolderLock* waited);

    QString folder_;
    QString fileURL_;
    QList<Snippet> snippets_;
    QHash<QUuid, Snippet> base_;  // the file's snippets at this instance's last read or write
    SaveLineage baseLineage_;  // and the saves that file descends from
    SavesWritten<QUuid> written_;  // of the snippets changed or removed here
    QByteArray writtenStamp_;  // the file as written last under the lock; empty when not known
    bool startersStandIn_ = false;  // the starters are shown for a file that held none
    bool lockFailureSaid_ = false;
    bool pending_ = false;  // a save waits for the lock
    int retryAttempt_ = 0;
    WorkItem retry_;
    bool savesBlocked_ = false;  // the file's place holds something we must not write over
    unsigned newFileMode_ = 0600;  // a new file's: a damaged one's it replaces, kept aside
    bool blockedReported_ = false;
};
