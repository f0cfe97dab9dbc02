#include "Source/Features/Clipboard/ClipboardHistoryStore.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/FolderLock.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Extensions/PngData.h"
#include "Source/Features/Clipboard/ClipboardHistoryMerge.h"
#include "Source/Features/Clipboard/ClipboardHistoryOnDisk.h"
#include "Source/Features/Clipboard/ClipboardHistoryPlace.h"
#include "Source/Features/Clipboard/ClipboardHistoryReader.h"
#include "Source/Features/Clipboard/ClipboardManager.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcClipboard, "com.pelwick.Quorvin.Clipboard", QtInfoMsg)

using OnDisk = ClipboardHistoryOnDisk;
using Place = ClipboardHistoryPlace;

namespace {

const QString kAsideInfix = QStringLiteral(".damaged-");

// The history folder's lock, waited for on the image queue while another instance holds it, until
// `deadline` passes or `giveUp` says so. Written without it only where the file system keeps no
// locks, said once.
struct HistoryLock {
    HistoryLock(const QString& fileInFolder, const FolderLock::Deadline& deadline,
                const std::function<bool()>& giveUp = {})
        : lock(FolderLock::waitFor(QFileInfo(fileInFolder).absolutePath(), deadline, giveUp)) {
        static std::atomic<bool> said{false};
        if (lock.state() == FolderLock::State::noLocks && !said.exchange(true))
            qCWarning(lcClipboard, "The history folder is written without a lock: %s",
                      qPrintable(lock.failure()->message()));
        else if (lock.state() == FolderLock::State::failed)
            qCWarning(lcClipboard, "Cannot lock the history folder: %s", qPrintable(lock.failure()->message()));
    }
    bool mayWrite() const { return lock.held() || lock.state() == FolderLock::State::noLocks; }
    FolderLock lock;
};

// Writes the file atomically, readable by the user only, into our folders (made private in
// order, from the history folder down, so that a linked one is never written below). Any queue.
bool writePrivateFile(const QString& path, const QByteArray& bytes, const QStringList& folders) {
    for (const QString& folder : folders)
        if (!ClipboardHistoryStore::makePrivateFolder(folder)) return false;
    if (const auto error = FileWriter::shared().writePrivate(path, bytes)) {
        qCWarning(lcClipboard, "Cannot write %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

bool isPng(const QByteArray& bytes) { return bytes.startsWith("\x89PNG\r\n\x1a\n"); }

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Whether the 40 bytes at `at` are a stored image name ("<UUID>.png").
bool isStoredImageNameAt(const char* at) {
    for (int i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? at[i] != '-' : !isUpperHex(at[i])) return false;
    }
    return std::memcmp(at + 36, ".png", 4) == 0;
}

// The stored image names that appear anywhere in the bytes (a damaged file need not parse).
void collectImageNames(const QByteArray& bytes, QSet<QString>& names) {
    for (qsizetype at = bytes.indexOf(".png", 36); at >= 0; at = bytes.indexOf(".png", at + 4)) {
        const char* start = bytes.constData() + at - 36;
        if (isStoredImageNameAt(start)) names.insert(QString::fromLatin1(start, 40));
    }
}

// The stored image names in the file, read a chunk at a time (a huge one is never held whole);
// false with the reason when it cannot be read to its end.
bool collectImageNamesIn(const QString& path, QSet<QString>& names, FileError& error) {
    const std::unique_ptr<QFile> file = SafeFile::openRegular(path, &error);
    if (!file) return false;
    ClipboardHistoryReader source(*file, {});
    std::vector<char> chunk(1 << 20);
    QByteArray window;
    for (qint64 count; (count = source(chunk.data(), qint64(chunk.size()))) > 0;) {
        window = window.right(39);  // a name cut by the chunk's end
        window.append(chunk.data(), count);
        collectImageNames(window, names);
    }
    if (source.failure) error = *source.failure;
    return !source.failure;
}

// Whether the file was changed less than a minute ago: an image another instance stored then
// may not be named in the history file yet.
bool isRecent(const QString& path) {
    struct stat st {};
    if (::lstat(NativePath::encode(path).constData(), &st) != 0) return false;
    return std::abs(QDateTime::currentSecsSinceEpoch() - qint64(st.st_mtim.tv_sec)) < 60;
}

// Removes the stored images that no entry names, nor the history file (as another instance may
// have saved it) or a kept-aside copy of it, nor any stored in the last minute: only regular files of our own names
// inside the images folder. Runs on the image queue.
void sweepImages(QSet<QString> named, const QString& historyFile, const QString& imagesDirectory, bool linked,
                 bool readHistoryFile) {
    const QString folder = QFileInfo(historyFile).absolutePath();
    const QString asidePrefix = QFileInfo(historyFile).fileName() + kAsideInfix;
    // Writes cut short by a crash or a kill; a write still under way keeps its file. A folder
    // reached through a link is not swept.
    if (!linked) FileWriter::sweepUnfinishedWrites(folder);
    FileWriter::sweepUnfinishedWrites(imagesDirectory);
    for (const QString& name : SafeFile::regularFileNames(folder).value_or(QStringList())) {
        if (FileWriter::isTemporaryName(name)) continue;
        const bool aside = name.startsWith(asidePrefix);
        if (!aside && !(readHistoryFile && name == QFileInfo(historyFile).fileName())) continue;
        FileError error;
        if (!collectImageNamesIn(folder + QLatin1Char('/') + name, named, error) && !error.isMissing()) {
            // The images it may name are not known: all stay.
            qCWarning(lcClipboard, "History file %s; no stored image is removed", qPrintable(error.message()));
            return;
        }
    }
    const auto names = SafeFile::regularFileNames(imagesDirectory);
    if (!names) return;
    long removed = 0;
    for (const QString& name : *names) {
        if (!ClipboardHistoryStore::isStoredImageName(name) || named.contains(name)) continue;
        const QString path = imagesDirectory + QLatin1Char('/') + name;
        if (isRecent(path)) continue;
        if (!SafeFile::removeRegular(path)) ++removed;
    }
    if (removed > 0) qCInfo(lcClipboard, "Cleaned up %ld orphaned image files", removed);
}

}  // namespace

// The start-up read of the history file, handed from the image queue to the GUI thread.
struct ClipboardHistoryStore::PendingLoad {
    std::mutex mutex;
    std::optional<Loaded> result;
    bool discarded = false;
    std::atomic<bool> stop{false};
};

ClipboardHistoryStore::ClipboardHistoryStore(const QString& historyFolder) {
    place_ = std::make_shared<Place>(historyFolder);
    // A link the user made to a folder of their own is followed, as for the settings and snippets;
    // the folder it leads to keeps its mode. A link to anything else is refused, and said once.
    const Place::Now place = place_->now();
    imagesDirectory_ = place.refused ? place_->folder() + QStringLiteral("/Images") : place.imagesDirectory;
    historyFile_ = place.refused ? place_->folder() + QStringLiteral("/history.json") : place.historyFile;
    refused_ = place.refused;
    if (!refused_ && (place.linked() || makePrivateFolder(place_->folder()))) makePrivateFolder(imagesDirectory_);
    queue_ = std::make_unique<SerialQueue>("com.merovane.clipboard-images", QueuePriority::utility);
    merge_ = std::make_shared<ClipboardHistoryMerge>();
}

ClipboardHistoryStore::~ClipboardHistoryStore() {
    discardLoad();
    stopWaitingAfter(FolderLock::quitWaitMs);
    queue_.reset();
}

void ClipboardHistoryStore::stopWaitingAfter(int ms) {
    giveUpAt_->bringTo(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
    // After the saves already asked for.
    queue_->async([place = place_] { place->tellAtQuit(); });
}

bool ClipboardHistoryStore::historyFileIsAbsent() const {
    struct stat st {};
    return ::lstat(NativePath::encode(historyFile_).constData(), &st) != 0 && errno == ENOENT;
}

bool ClipboardHistoryStore::makePrivateFolder(const QString& path) {
    if (const auto error = FileWriter::shared().makePrivateFolder(path)) {
        qCWarning(lcClipboard, "Cannot use the folder %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

void ClipboardHistoryStore::removeFile(const QString& path) {
    if (const auto error = SafeFile::removeRegular(path); error && !error->isMissing())
        qCWarning(lcClipboard, "Cannot remove %s", qPrintable(error->message()));
}

bool ClipboardHistoryStore::isStoredImageName(const QString& name) {
    return name.size() == 40 && isStoredImageNameAt(name.toLatin1().constData()) && name.toLatin1() == name.toUtf8();
}

// Images are ours when they carry a name we give, inside the images folder of the place the
// history is kept in now (a linked folder may lead elsewhere since the start), and that folder is
// our private one, not a link.
bool ClipboardHistoryStore::isOwnImageFile(const QString& path) const {
    const QFileInfo info(QDir::cleanPath(path));
    if (path.isEmpty() || !isStoredImageName(info.fileName())) return false;
    const Place::Now where = place_->now();
    return !where.refused && info.absolutePath() == where.imagesDirectory &&
           SafeFile::isPrivateFolder(where.imagesDirectory);
}

// MARK: Reading

ClipboardHistoryStore::Loaded ClipboardHistoryStore::read(const QString& file, const QString& imagesDirectory,
                                                          int limit, const QDateTime& now,
                                                          const std::atomic<bool>* stop) {
    Loaded loaded;
    loaded.limit = limit;
    const std::function<bool()> stopAsked = stop ? std::function<bool()>([stop] { return stop->load(); }) : nullptr;
    FileError error;
    std::unique_ptr<QFile> in;
    std::optional<ClipboardHistoryReader> source;
    int skipped = 0;
    std::optional<std::vector<ClipboardItemCodable>> records;
    // A file another program rewrites in place meanwhile is read again once it holds still.
    for (int look = 0;; ++look) {
        loaded.stamp = SafeFile::stamp(file);
        error = FileError();
        source.reset();
        in = SafeFile::openRegular(file, &error);
        if (!in && error.isMissing()) return loaded;  // first launch
        if (!in && error.code == 0) {
            // A link or a device in the file's place is neither read nor replaced.
            qCWarning(lcClipboard,
                      "History file %s: it is neither read nor written, and the history is kept in memory only",
                      qPrintable(error.message()));
            loaded.savesBlocked = true;
            return loaded;
        }
        // Parsed as it is read: the file is never held whole beside the entries it makes.
        if (in) source.emplace(*in, stopAsked);
        skipped = 0;
        loaded.leftOut.clear();
        loaded.saves.reset();
        records = source ? source->keptRecords(limit, &loaded.leftOut, &skipped, &loaded.saves) : std::nullopt;
        if (source && source->stopped) {
            loaded.stopped = true;
            return loaded;
        }
        if (look == OnDisk::rereads || !OnDisk::readAgain(file, loaded.stamp, !records || (source && source->failure)))
            break;
        records.reset();
        if (!OnDisk::waitUntilStill(file, stopAsked)) {
            loaded.stopped = true;
            return loaded;
        }
    }
    if (source && source->failure) error = *source->failure;
    const bool unreadable = !source || source->failure;
    if (!records) {
        // Kept for the user; the next save starts a new file, but never over this one.
        loaded.damaged = true;
        const QString aside = SafeFile::asidePath(file, QDateTime::currentDateTimeUtc());
        if (const auto moveError = FileWriter::shared().moveAside(file, aside)) {
            qCWarning(lcClipboard,
                      "History file %s is damaged and cannot be moved aside (%s); it is left as it is and the history "
                      "is kept in memory only",
                      qPrintable(file), qPrintable(moveError->reason));
            loaded.savesBlocked = true;
        } else {
            qCWarning(lcClipboard, "History file %s %s; moved it to %s and started empty", qPrintable(file),
                      unreadable ? qPrintable(error.reason) : "is damaged", qPrintable(aside));
        }
        return loaded;
    }
    // Records this version cannot read (a newer version's, say) are not lost by the rewrite.
    if (const auto copyError = skipped > 0 ? OnDisk::keepCopyAside(file, skipped) : std::nullopt) {
        qCWarning(lcClipboard,
                  "History file %s holds %d records that cannot be read and no copy of it can be kept (%s); it is "
                  "left as it is and the history is kept in memory only",
                  qPrintable(file), skipped, qPrintable(copyError->reason));
        loaded.savesBlocked = true;
    }

    QSet<QUuid> ids;
    loaded.items.reserve(records->size());
    for (const ClipboardItemCodable& record : *records) {
        if (source->stopRequested()) {
            loaded = Loaded();
            loaded.stopped = true;
            return loaded;
        }
        auto item = record.toClipboardItem(now, imagesDirectory);
        if (!item) continue;
        // One id per entry: removing one must not remove another.
        const bool fromFile = record.itemID && QUuid(*record.itemID) == item->id && !ids.contains(item->id);
        while (ids.contains(item->id)) item->id = QUuid::createUuid();
        ids.insert(item->id);
        if (fromFile) loaded.idsInFile.insert(item->id);
        loaded.items.push_back(std::move(*item));
    }
    return loaded;
}

ClipboardHistoryStore::Loaded ClipboardHistoryStore::read(int limit, const QDateTime& now) const {
    Loaded loaded = read(historyFile_, imagesDirectory_, limit, now);
    noteLoaded(loaded);
    return loaded;
}

void ClipboardHistoryStore::startLoad(int limit, const QDateTime& now, std::function<void()> ready) {
    pendingLoad_ = std::make_shared<PendingLoad>();
    queue_->async(
        [pending = pendingLoad_, file = historyFile_, images = imagesDirectory_, limit, now, ready = std::move(ready)] {
            Loaded loaded = read(file, images, limit, now, &pending->stop);
            {
                std::lock_guard lock(pending->mutex);
                if (pending->discarded || loaded.stopped) return;
                pending->result = std::move(loaded);
            }
            Dispatch::main(ready);
        });
}

std::optional<ClipboardHistoryStore::Loaded> ClipboardHistoryStore::takeLoad() {
    if (!pendingLoad_) return std::nullopt;
    std::optional<Loaded> loaded;
    {
        std::lock_guard lock(pendingLoad_->mutex);
        loaded.swap(pendingLoad_->result);
    }
    if (!loaded) return loaded;
    pendingLoad_.reset();
    noteLoaded(*loaded);
    return loaded;
}

void ClipboardHistoryStore::noteLoaded(const Loaded& loaded) const {
    // A damaged file was moved aside: nothing of it is known.
    const QByteArray stamp = loaded.damaged ? QByteArray() : loaded.stamp;
    merge_->loaded(loaded.items, loaded.idsInFile, loaded.leftOut, stamp,
                   ClipboardHistoryLineage::of(loaded.saves, stamp));
}

void ClipboardHistoryStore::discardLoad() {
    if (pendingLoad_) {
        pendingLoad_->stop = true;
        std::lock_guard lock(pendingLoad_->mutex);
        pendingLoad_->discarded = true;
        pendingLoad_->result.reset();
    }
    pendingLoad_.reset();
}

void ClipboardHistoryStore::setLoadCheckpointForTesting(LoadCheckpoint checkpoint) {
    ClipboardHistoryReader::setCheckpointForTesting(std::move(checkpoint));
}

// MARK: Writing

void ClipboardHistoryStore::save(std::vector<ClipboardItem> items, int limit,
                                 std::function<void(std::vector<ClipboardItem>)> merged) {
    const quint64 sequence = ++*saveSequence_;
    // Encoded and written on the image queue, in order; a save overtaken by a newer one is skipped.
    queue_->async([items = std::move(items), sequence, latest = saveSequence_, place = place_, merge = merge_, limit,
                   giveUpAt = giveUpAt_, now = QDateTime::currentDateTimeUtc(), merged = std::move(merged)]() mutable {
        if (latest->load() != sequence) return;  // a newer save or a clear follows
        const Place::Now where = place->now();
        if (where.refused) return place->notSaved(items.size(), where.why);
        const QString& path = where.historyFile;
        for (const QString& folder : where.privateFolders)
            if (!ClipboardHistoryStore::makePrivateFolder(folder))
                return place->notSaved(items.size(), folder + QStringLiteral(" cannot be used"));
        // Pending while another instance holds the lock; what it saved meanwhile is read back
        // under the lock and merged in, given up as the wait is.
        const auto giveUp = [&] { return latest->load() != sequence; };
        const HistoryLock lock(path, *giveUpAt, giveUp);
        if (latest->load() != sequence) return;  // the newer save writes what this one held
        if (!lock.mayWrite()) {
            if (lock.lock.busy())
                qCWarning(lcClipboard, "The history is not saved (%zu entries): %s", items.size(),
                          qPrintable(lock.lock.failure()->message()));
            return;
        }
        bool changed = false, mergedFile = true;
        ClipboardHistoryLineage lineage;
        // A file as this instance wrote it last holds nothing new: it need not be read.
        if (merge->isAsWritten(SafeFile::stamp(path))) {
            lineage = merge->base().next();
        } else {
            const OnDisk found =
                OnDisk::read(path, where.imagesDirectory, now, limit, [&] { return giveUp() || giveUpAt->passed(); });
            switch (found.state) {
            case OnDisk::State::stopped:
                if (latest->load() == sequence)
                    qCWarning(lcClipboard, "The history is not saved (%zu entries): quitting while %s was read",
                              items.size(), qPrintable(path));
                return;
            case OnDisk::State::refused: return place->notSaved(items.size(), found.error.message());
            case OnDisk::State::read:
                // Records this version cannot read (a newer build's, say) are kept in a copy, as at a start.
                if (const auto copyError =
                        found.skipped > 0 ? OnDisk::keepCopyAside(path, found.skipped) : std::nullopt)
                    return place->notSaved(
                        items.size(),
                        QStringLiteral("%1 holds %2 records that cannot be read and no copy of it can be kept (%3)")
                            .arg(path, QString::number(found.skipped), copyError->reason));
                items = merge->merge(std::move(items), found.items, limit, maxPinned, changed, found.lineage);
                lineage = found.lineage.next();
                break;
            case OnDisk::State::unreadable: {
                // Kept for the user, as at a start: never written over.
                const QString aside = SafeFile::asidePath(path, QDateTime::currentDateTimeUtc());
                if (const auto moveError = FileWriter::shared().moveAside(path, aside))
                    return place->notSaved(items.size(), QStringLiteral("%1, and it cannot be moved aside (%2)")
                                                             .arg(found.error.message(), moveError->reason));
                qCWarning(lcClipboard, "History file %s; moved it to %s", qPrintable(found.error.message()),
                          qPrintable(aside));
                [[fallthrough]];
            }
            case OnDisk::State::missing:
                // Built on no file: the other display unites its list with this one, losing nothing.
                if (items.empty()) return place->saved();
                lineage = ClipboardHistoryLineage().next();
                mergedFile = false;
                break;
            }
        }
        std::vector<ClipboardItemCodable> records;
        records.reserve(items.size());
        for (const ClipboardItem& item : items) records.push_back(ClipboardItemCodable::fromItem(item));
        if (!records.empty()) records.front().saves = lineage.text();
        if (!writePrivateFile(path, ClipboardItemCodable::encodeFile(records), where.privateFolders))
            return place->notSaved(items.size(), path + QStringLiteral(" cannot be written"));
        place->saved();
        // Only a file written under the lock is what both last agreed on. It is read again at the
        // next save when the entries here lack what was merged in (until they take it in).
        const QByteArray stamp = SafeFile::stamp(path);
        if (records.empty()) lineage = ClipboardHistoryLineage::ofEmpty(stamp, lineage);
        if (lock.lock.held()) merge->written(items, changed ? QByteArray() : stamp, lineage, mergedFile);
        if (!changed || !merged) return;
        Dispatch::main([items = std::move(items), sequence, latest, merged = std::move(merged)]() mutable {
            if (latest->load() == sequence) merged(std::move(items));
        });
    });
}

void ClipboardHistoryStore::refresh(std::vector<ClipboardItem> items, int limit,
                                    std::function<void(std::vector<ClipboardItem>)> merged,
                                    std::function<void()> saveNeeded) {
    if (refused_) return;
    const quint64 sequence = saveSequence_->load();
    queue_->async([items = std::move(items), sequence, latest = saveSequence_, place = place_, merge = merge_, limit,
                   giveUpAt = giveUpAt_, now = QDateTime::currentDateTimeUtc(), merged = std::move(merged),
                   saveNeeded = std::move(saveNeeded)]() mutable {
        if (latest->load() != sequence) return;  // a save follows, and merges
        const Place::Now where = place->now();
        if (where.refused || merge->isKnown(SafeFile::stamp(where.historyFile))) return;
        // One that cannot be looked at, or is gone with its folder, leaves the entries here as they
        // are. The read ends at once when a save follows (it merges) or at quit.
        const auto stop = [&] { return latest->load() != sequence || giveUpAt->isSet(); };
        const OnDisk found = OnDisk::read(where.historyFile, where.imagesDirectory, now, limit, stop);
        if (found.state != OnDisk::State::read) return;
        bool changed = false;
        items = merge->merge(std::move(items), found.items, limit, maxPinned, changed, found.lineage);
        merge->seen(found.items, found.stamp, found.lineage);
        // Saved by one that never had some of the entries here (where the file was gone, say): a
        // save gives them back to the file at once.
        QSet<QUuid> inFile;
        for (const ClipboardItem& item : found.items) inFile.insert(item.id);
        const bool fileLacks = std::any_of(items.begin(), items.end(),
                                           [&inFile](const ClipboardItem& item) { return !inFile.contains(item.id); });
        if (!changed && !fileLacks) return;
        Dispatch::main([items = std::move(items), sequence, latest, changed, merged = std::move(merged),
                        saveNeeded = fileLacks ? std::move(saveNeeded) : nullptr]() mutable {
            if (latest->load() != sequence) return;
            if (changed && merged) merged(std::move(items));
            if (saveNeeded) saveNeeded();
        });
    });
}

void ClipboardHistoryStore::noteRemoved(const std::vector<QUuid>& ids) { merge_->removed(ids); }

void ClipboardHistoryStore::storeImage(const QByteArray& data,
                                       std::function<void(const ClipboardImageReference&)> stored) {
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
    if (refused_) return;  // said once
    queue_->async([data, name, place = place_, giveUpAt = giveUpAt_, stored = std::move(stored)] {
        QImage decoded;
        if (!decoded.loadFromData(data) || decoded.isNull()) return;
        // A PNG is kept byte for byte, so that pasting it back is recognised as our own.
        QByteArray png = data;
        if (!isPng(png)) {
            const auto encoded = pngData(decoded);
            if (!encoded) return;
            png = *encoded;
        }
        QBuffer buffer(&png);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        const auto size = ClipboardImageReference::pixelSizeFrom(reader);
        if (!size) return;
        if (png.size() > ClipboardImageReference::largestFile) return;  // it would not be read back
        const QString fingerprint = ClipboardImageReference::fingerprintFor(png);
        const Place::Now where = place->now();
        if (where.refused) return;
        const QString path = where.imagesDirectory + QLatin1Char('/') + name;
        {
            // Held while the file is written, so another instance's sweep spares it.
            const HistoryLock lock(where.imagesDirectory, *giveUpAt);
            if (!lock.mayWrite()) {
                if (lock.lock.busy())
                    qCWarning(lcClipboard, "A copied image is not kept: %s",
                              qPrintable(lock.lock.failure()->message()));
                return;
            }
            if (!writePrivateFile(path, png, where.privateFolders + QStringList{where.imagesDirectory})) return;
        }
        Dispatch::main([stored, reference = ClipboardImageReference{path, *size, fingerprint}] { stored(reference); });
    });
}

void ClipboardHistoryStore::sweep(QSet<QString> named) {
    if (refused_) return;
    queue_->async([named = std::move(named), place = place_, merge = merge_, giveUpAt = giveUpAt_] {
        const Place::Now where = place->now();
        if (where.refused) return;
        // Another instance's images are named in the file it saved, perhaps since this one read it;
        // a file as this one read or wrote it names none that `named` lacks.
        const HistoryLock lock(where.historyFile, *giveUpAt);
        if (!lock.mayWrite()) return;  // left to the next sweep
        sweepImages(named, where.historyFile, where.imagesDirectory, where.linked(),
                    !merge->isAsWritten(SafeFile::stamp(where.historyFile)));
    });
}

void ClipboardHistoryStore::removeAll() {
    ++*saveSequence_;
    if (refused_) return;
    queue_->async([place = place_, merge = merge_, giveUpAt = giveUpAt_, now = QDateTime::currentDateTimeUtc()] {
        const Place::Now where = place->now();
        if (where.refused) {
            qCWarning(lcClipboard, "The history is not cleared: %s", qPrintable(where.why));
            return;
        }
        const QString& file = where.historyFile;
        const QString& images = where.imagesDirectory;
        const HistoryLock lock(file, *giveUpAt);
        if (!lock.mayWrite()) {
            if (lock.lock.busy())
                qCWarning(lcClipboard, "The history is not cleared: %s", qPrintable(lock.lock.failure()->message()));
            return;
        }
        // Cleared by writing it empty, so that a file gone with its folder is never taken for a clear.
        // A save built on the clear goes on from what the file descended from, so that the other
        // display drops what it had even when it never saw the empty file.
        ClipboardHistoryLineage before = merge->base();
        if (!merge->isKnown(SafeFile::stamp(file))) {
            const OnDisk found = OnDisk::read(file, images, now, 0, [&] { return giveUpAt->passed(); });
            if (found.state == OnDisk::State::read) before = found.lineage;
        }
        merge->cleared();
        if (writePrivateFile(file, QByteArrayLiteral("[]"), where.privateFolders)) {
            const QByteArray stamp = SafeFile::stamp(file);
            merge->written({}, stamp, ClipboardHistoryLineage::ofEmpty(stamp, before));
            place->saved();
        } else {
            qCWarning(lcClipboard, "The history is not cleared: %s cannot be written", qPrintable(file));
        }
        const QString folder = QFileInfo(file).absolutePath();
        const QString asidePrefix = QFileInfo(file).fileName() + kAsideInfix;
        for (const QString& name : SafeFile::regularFileNames(folder).value_or(QStringList()))
            if (name.startsWith(asidePrefix)) removeFile(folder + QLatin1Char('/') + name);
        for (const QString& name : SafeFile::regularFileNames(images).value_or(QStringList()))
            removeFile(images + QLatin1Char('/') + name);
    });
}

void ClipboardHistoryStore::waitUntilIdle() { queue_->waitUntilIdle(); }
