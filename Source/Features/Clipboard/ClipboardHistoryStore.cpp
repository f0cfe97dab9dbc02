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

// Which folder holds the file now.
QByteArray folderOf(const QString& file) { return SafeFile::identity(QFileInfo(file).absolutePath()); }

// What another instance saved, taken in as a start reads it: the entries the history file holds
// now that carry their ids, held to `limit` the same way; absent when it cannot be read, or when
// `stop` ended the read (`stopped`). A file missing from `folder`, the one this instance last read
// or wrote it in, was cleared there and holds none; one missing from another folder tells nothing
// (that folder was moved away or removed, and perhaps made again, or is a link now).
std::optional<std::vector<ClipboardItem>> itemsOnDisk(const QString& file, const QString& imagesDirectory,
                                                      const QDateTime& now, const QByteArray& folder, int limit,
                                                      const std::function<bool()>& stop, bool& stopped) {
    stopped = false;
    FileError error;
    const std::unique_ptr<QFile> in = SafeFile::openRegular(file, &error);
    if (!in && error.isMissing() && !folder.isEmpty() && folderOf(file) == folder) return std::vector<ClipboardItem>();
    if (!in) return std::nullopt;
    ClipboardHistoryReader source(*in, stop);
    const auto records = source.keptRecords(limit);
    stopped = source.stopped;
    if (!records) return std::nullopt;
    std::vector<ClipboardItem> items;
    for (const ClipboardItemCodable& record : *records) {
        // A record without an id would be a new entry at every read: only a file of an older version has one.
        if (!record.itemID || QUuid(*record.itemID).isNull()) continue;
        if (auto item = record.toClipboardItem(now, imagesDirectory)) items.push_back(std::move(*item));
    }
    return items;
}

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

// The folder this instance last read or wrote the history file in (its identity). Any queue.
struct ClipboardHistoryStore::FileFolder {
    void heldFile(const QString& file) {
        const QByteArray identity = folderOf(file);
        std::lock_guard lock(mutex);
        this->identity = identity;
    }
    QByteArray held() const {
        std::lock_guard lock(mutex);
        return identity;
    }

    mutable std::mutex mutex;
    QByteArray identity;
};

ClipboardHistoryStore::ClipboardHistoryStore(const QString& historyFolder) {
    const QString folder = QDir::cleanPath(historyFolder);
    // A link the user made to a folder of their own is followed, as for the settings and snippets;
    // the folder it leads to keeps its mode. A link to anything else is refused, and said once.
    FileError error;
    const std::optional<QString> place = SafeFile::followUsersLink(folder, true, &error);
    imagesDirectory_ = place.value_or(folder) + QStringLiteral("/Images");
    historyFile_ = place.value_or(folder) + QStringLiteral("/history.json");
    if (!place) {
        qCWarning(lcClipboard, "History folder %s; the history is kept in memory only", qPrintable(error.message()));
        refused_ = true;
    } else {
        if (*place == folder) privateFolders_ << folder;
        if (*place != folder || makePrivateFolder(folder)) makePrivateFolder(imagesDirectory_);
    }
    queue_ = std::make_unique<SerialQueue>("com.merovane.clipboard-images", QueuePriority::utility);
    merge_ = std::make_shared<ClipboardHistoryMerge>();
    fileFolder_ = std::make_shared<FileFolder>();
}

ClipboardHistoryStore::~ClipboardHistoryStore() {
    discardLoad();
    stopWaitingAfter(FolderLock::quitWaitMs);
    queue_.reset();
}

void ClipboardHistoryStore::stopWaitingAfter(int ms) {
    giveUpAt_->bringTo(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
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

// Images are ours when they carry a name we give, inside our images folder; they are told apart
// by that name alone, however the folder was reached.
bool ClipboardHistoryStore::isOwnImageFile(const QString& path) const {
    const QFileInfo info(QDir::cleanPath(path));
    return !path.isEmpty() && info.absolutePath() == imagesDirectory_ && isStoredImageName(info.fileName());
}

// MARK: Reading

ClipboardHistoryStore::Loaded ClipboardHistoryStore::read(const QString& file, const QString& imagesDirectory,
                                                          int limit, const QDateTime& now,
                                                          const std::atomic<bool>* stop) {
    Loaded loaded;
    loaded.limit = limit;
    loaded.stamp = SafeFile::stamp(file);
    FileError error;
    const std::unique_ptr<QFile> in = SafeFile::openRegular(file, &error);
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
    const std::function<bool()> stopAsked = stop ? std::function<bool()>([stop] { return stop->load(); }) : nullptr;
    std::optional<ClipboardHistoryReader> source;
    if (in) source.emplace(*in, stopAsked);
    int skipped = 0;
    const auto records = source ? source->keptRecords(limit, &loaded.leftOut, &skipped) : std::nullopt;
    if (source && source->stopped) {
        loaded.stopped = true;
        return loaded;
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
    if (skipped > 0) {
        // Records this version cannot read (a newer version's, say) are not lost by the rewrite.
        const QString aside = SafeFile::asidePath(file, QDateTime::currentDateTimeUtc());
        FileError readError;
        const std::optional<QByteArray> bytes =
            SafeFile::readRegular(file, ClipboardHistoryReader::largestFile, &readError);
        const auto copyError = bytes ? FileWriter::shared().writePrivate(aside, *bytes) : std::make_optional(readError);
        if (copyError) {
            qCWarning(lcClipboard,
                      "History file %s holds %d records that cannot be read and no copy of it can be kept (%s); it is "
                      "left as it is and the history is kept in memory only",
                      qPrintable(file), skipped, qPrintable(copyError->reason));
            loaded.savesBlocked = true;
        } else {
            qCWarning(lcClipboard, "History file %s holds %d records that cannot be read; kept a copy as %s",
                      qPrintable(file), skipped, qPrintable(aside));
        }
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
    merge_->loaded(loaded.items, loaded.idsInFile, loaded.leftOut, loaded.damaged ? QByteArray() : loaded.stamp);
    if (!loaded.stamp.isEmpty()) fileFolder_->heldFile(historyFile_);
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
    merge_->loaded(loaded->items, loaded->idsInFile, loaded->leftOut, loaded->damaged ? QByteArray() : loaded->stamp);
    if (!loaded->stamp.isEmpty()) fileFolder_->heldFile(historyFile_);
    return loaded;
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
    queue_->async([items = std::move(items), sequence, latest = saveSequence_, path = historyFile_,
                   images = imagesDirectory_, folders = privateFolders_, merge = merge_, fileFolder = fileFolder_,
                   limit, giveUpAt = giveUpAt_, now = QDateTime::currentDateTimeUtc(),
                   merged = std::move(merged)]() mutable {
        if (latest->load() != sequence) return;  // a newer save or a clear follows
        for (const QString& folder : folders)
            if (!ClipboardHistoryStore::makePrivateFolder(folder)) return;
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
        bool changed = false;
        // A file as this instance wrote it last holds nothing new: it need not be read. One missing
        // from a folder made since (by this save, say) was not cleared: the entries are written whole.
        if (!merge->isAsWritten(SafeFile::stamp(path))) {
            bool stopped = false;
            const auto onDisk = itemsOnDisk(
                path, images, now, fileFolder->held(), limit, [&] { return giveUp() || giveUpAt->passed(); }, stopped);
            if (stopped) {
                if (latest->load() == sequence)
                    qCWarning(lcClipboard, "The history is not saved (%zu entries): quitting while %s was read",
                              items.size(), qPrintable(path));
                return;
            }
            if (onDisk) items = merge->merge(std::move(items), *onDisk, limit, maxPinned, changed);
        }
        std::vector<ClipboardItemCodable> records;
        records.reserve(items.size());
        for (const ClipboardItem& item : items) records.push_back(ClipboardItemCodable::fromItem(item));
        if (!writePrivateFile(path, ClipboardItemCodable::encodeFile(records), folders)) return;
        fileFolder->heldFile(path);
        // Only a file written under the lock is what both last agreed on. It is read again at the
        // next save when the entries here lack what was merged in (until they take it in).
        if (lock.lock.held()) merge->written(items, changed ? QByteArray() : SafeFile::stamp(path));
        if (!changed || !merged) return;
        Dispatch::main([items = std::move(items), sequence, latest, merged = std::move(merged)]() mutable {
            if (latest->load() == sequence) merged(std::move(items));
        });
    });
}

void ClipboardHistoryStore::refresh(std::vector<ClipboardItem> items, int limit,
                                    std::function<void(std::vector<ClipboardItem>)> merged) {
    if (refused_) return;
    const quint64 sequence = saveSequence_->load();
    queue_->async([items = std::move(items), sequence, latest = saveSequence_, path = historyFile_,
                   images = imagesDirectory_, merge = merge_, fileFolder = fileFolder_, limit, giveUpAt = giveUpAt_,
                   now = QDateTime::currentDateTimeUtc(), merged = std::move(merged)]() mutable {
        if (latest->load() != sequence) return;  // a save follows, and merges
        const QByteArray stamp = SafeFile::stamp(path);
        if (merge->isKnown(stamp)) return;
        // One that cannot be looked at, or is gone with its folder, leaves the entries here as they
        // are. The read ends at once when a save follows (it merges) or at quit.
        const auto stop = [&] { return latest->load() != sequence || giveUpAt->isSet(); };
        bool stopped = false;
        const auto onDisk = itemsOnDisk(path, images, now, fileFolder->held(), limit, stop, stopped);
        if (!onDisk) return;
        if (!stamp.isEmpty()) fileFolder->heldFile(path);
        bool changed = false;
        items = merge->merge(std::move(items), *onDisk, limit, maxPinned, changed);
        merge->seen(*onDisk, stamp);
        if (!changed) return;
        Dispatch::main([items = std::move(items), sequence, latest, merged = std::move(merged)]() mutable {
            if (latest->load() == sequence) merged(std::move(items));
        });
    });
}

void ClipboardHistoryStore::noteRemoved(const std::vector<QUuid>& ids) { merge_->removed(ids); }

void ClipboardHistoryStore::storeImage(const QByteArray& data,
                                       std::function<void(const ClipboardImageReference&)> stored) {
    const QString path = imagesDirectory_ + QLatin1Char('/') +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
    if (refused_) return;  // said once
    queue_->async([data, path, images = imagesDirectory_, folders = privateFolders_ + QStringList{imagesDirectory_},
                   giveUpAt = giveUpAt_, stored = std::move(stored)] {
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
        {
            // Held while the file is written, so another instance's sweep spares it.
            const HistoryLock lock(images, *giveUpAt);
            if (!lock.mayWrite()) {
                if (lock.lock.busy())
                    qCWarning(lcClipboard, "A copied image is not kept: %s",
                              qPrintable(lock.lock.failure()->message()));
                return;
            }
            if (!writePrivateFile(path, png, folders)) return;
        }
        Dispatch::main([stored, reference = ClipboardImageReference{path, *size, fingerprint}] { stored(reference); });
    });
}

void ClipboardHistoryStore::sweep(QSet<QString> named) {
    if (refused_) return;
    queue_->async([named = std::move(named), file = historyFile_, images = imagesDirectory_,
                   linked = privateFolders_.isEmpty(), merge = merge_, giveUpAt = giveUpAt_] {
        // Another instance's images are named in the file it saved, perhaps since this one read it;
        // a file as this one read or wrote it names none that `named` lacks.
        const HistoryLock lock(file, *giveUpAt);
        if (!lock.mayWrite()) return;  // left to the next sweep
        sweepImages(named, file, images, linked, !merge->isAsWritten(SafeFile::stamp(file)));
    });
}

void ClipboardHistoryStore::removeAll() {
    ++*saveSequence_;
    if (refused_) return;
    queue_->async([file = historyFile_, images = imagesDirectory_, merge = merge_, giveUpAt = giveUpAt_] {
        const HistoryLock lock(file, *giveUpAt);
        if (!lock.mayWrite()) {
            if (lock.lock.busy())
                qCWarning(lcClipboard, "The history is not cleared: %s", qPrintable(lock.lock.failure()->message()));
            return;
        }
        merge->cleared();
        removeFile(file);
        const QString folder = QFileInfo(file).absolutePath();
        const QString asidePrefix = QFileInfo(file).fileName() + kAsideInfix;
        for (const QString& name : SafeFile::regularFileNames(folder).value_or(QStringList()))
            if (name.startsWith(asidePrefix)) removeFile(folder + QLatin1Char('/') + name);
        for (const QString& name : SafeFile::regularFileNames(images).value_or(QStringList()))
            removeFile(images + QLatin1Char('/') + name);
    });
}

void ClipboardHistoryStore::waitUntilIdle() { queue_->waitUntilIdle(); }
