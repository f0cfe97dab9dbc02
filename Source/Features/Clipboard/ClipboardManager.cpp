#include "Source/Features/Clipboard/ClipboardManager.h"

#include "Platform/Core/Clock.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/X11/KeyCodes.h"
#include "Platform/X11/SyntheticKeys.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Extensions/PngData.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"
#include "Source/Features/Clipboard/RichTextReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcClipboard, "com.pelwick.Quorvin.Clipboard", QtInfoMsg)

namespace {

const QString kAsideInfix = QStringLiteral(".damaged-");

// A folder only the user can enter; a link or someone else's folder is refused. Any queue.
bool makePrivateFolder(const QString& path) {
    if (const auto error = FileWriter::shared().makePrivateFolder(path)) {
        qCWarning(lcClipboard, "Cannot use the folder %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

// Writes the file atomically, readable by the user only, into our folders (made private in
// order, from the history folder down, so that a linked one is never written below). Any queue.
bool writePrivateFile(const QString& path, const QByteArray& bytes, const QStringList& folders) {
    for (const QString& folder : folders)
        if (!makePrivateFolder(folder)) return false;
    if (const auto error = FileWriter::shared().write(path, bytes, 0600)) {
        qCWarning(lcClipboard, "Cannot write %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

// Removes one of our files; a missing one is no failure. Any queue.
void removeFile(const QString& path) {
    if (const auto error = SafeFile::removeRegular(path); error && !error->isMissing())
        qCWarning(lcClipboard, "Cannot remove %s", qPrintable(error->message()));
}

// A free name beside the history file for a copy kept aside: "history.json.damaged-<time>".
QString asidePath(const QString& file) {
    const QString base =
        file + kAsideInfix + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = base;
    for (int n = 2; QFileInfo(path).exists() || QFileInfo(path).isSymLink(); ++n) path = base + QString::asprintf("-%d", n);
    return path;
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

// Removes the stored images that no entry names and no kept-aside copy of the history names:
// only regular files of our own names inside the images folder. Runs on the image queue.
void sweepImages(QSet<QString> named, const QString& historyFile, const QString& imagesDirectory, bool readHistoryFile) {
    const QString folder = QFileInfo(historyFile).absolutePath();
    const QString asidePrefix = QFileInfo(historyFile).fileName() + kAsideInfix;
    // Writes cut short by a crash or a kill; a write still under way keeps its file.
    FileWriter::sweepUnfinishedWrites(folder);
    FileWriter::sweepUnfinishedWrites(imagesDirectory);
    for (const QString& name : SafeFile::regularFileNames(folder).value_or(QStringList())) {
        if (FileWriter::isTemporaryName(name)) continue;
        const bool aside = name.startsWith(asidePrefix);
        if (!aside && !(readHistoryFile && name == QFileInfo(historyFile).fileName())) continue;
        if (const auto bytes = SafeFile::readRegular(folder + QLatin1Char('/') + name)) collectImageNames(*bytes, named);
    }
    const auto names = SafeFile::regularFileNames(imagesDirectory);
    if (!names) return;
    long removed = 0;
    for (const QString& name : *names) {
        if (!ClipboardManager::isStoredImageName(name) || named.contains(name)) continue;
        if (!SafeFile::removeRegular(imagesDirectory + QLatin1Char('/') + name)) ++removed;
    }
    if (removed > 0) qCInfo(lcClipboard, "Cleaned up %ld orphaned image files", removed);
}

}  // namespace

// The start-up read of the history file, handed from the image queue to the GUI thread.
struct ClipboardManager::PendingLoad {
    std::mutex mutex;
    std::optional<LoadedHistory> result;
    bool discarded = false;
};

const QStringList ClipboardManager::concealedTypes = {PasteboardType::concealed, PasteboardType::transient,
                                                      PasteboardType::autoGenerated};

ClipboardManager& ClipboardManager::shared() {
    static ClipboardManager* manager = [] {
        // Create the folder private before anything is put in it.
        makePrivateFolder(URL::applicationSupportBase() + QStringLiteral("/ClipboardHistory"));
        return new ClipboardManager(Pasteboard::general(), UserDefaults::standard(),
                                    URL::applicationSupport(QStringLiteral("ClipboardHistory")));
    }();
    return *manager;
}

ClipboardManager::ClipboardManager(Pasteboard& pasteboard, UserDefaults& defaults, const QString& historyFolder,
                                   QObject* parent)
    : QObject(parent), pasteboard_(pasteboard), settings_(defaults), historyFolder_(QDir::cleanPath(historyFolder)) {
    imagesDirectory_ = historyFolder_ + QStringLiteral("/Images");
    historyFileURL_ = historyFolder_ + QStringLiteral("/history.json");
    if (makePrivateFolder(historyFolder_)) makePrivateFolder(imagesDirectory_);

    lastChangeCount_ = pasteboard_.changeCount();  // what is on the pasteboard at launch is not recorded
    imageQueue_ = std::make_unique<SerialQueue>("com.merovane.clipboard-images", QueuePriority::utility);

    // A limit that only stands because a damaged settings file was reset must not cut the history.
    limitFromReset_ = defaults.startedFromDamagedFile() && !settings_.maxItems.isStored();
    const int limit = historyLimit();
    struct stat st {};
    if (::lstat(QFile::encodeName(historyFileURL_).constData(), &st) != 0 && errno == ENOENT) {
        // First launch: nothing to read.
        cleanupOrphanedImages();
    } else {
        // Read on the image queue: a large file must not hold up the GUI thread. Copies made
        // meanwhile are taken once it is in.
        loading_ = true;
        pendingLoad_ = std::make_shared<PendingLoad>();
        QPointer<ClipboardManager> self(this);
        imageQueue_->async([self, pending = pendingLoad_, file = historyFileURL_, images = imagesDirectory_, limit,
                            now = Clock::shared().now()] {
            LoadedHistory loaded = readHistoryFile(file, images, limit, now);
            {
                std::lock_guard lock(pending->mutex);
                if (pending->discarded) return;
                pending->result = std::move(loaded);
            }
            Dispatch::main([self] {
                if (self) self->finishLoading();
            });
        });
    }

    connect(&settings_.maxItems, &SettingBase::changed, this, [this] {
        limitFromReset_ = false;
        if (trimHistory(historyLimit())) saveHistory();
    });
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { waitForPendingWrites(); });
}

ClipboardManager::~ClipboardManager() {
    if (timer_) timer_->stop();
    imageQueue_.reset();  // finishes the queued writes
}

int ClipboardManager::pinnedCount() const {
    int count = 0;
    while (count < int(history_.size()) && history_[size_t(count)].isPinned) ++count;
    return count;
}

void ClipboardManager::publish() { emit historyChanged(); }

// MARK: Polling

void ClipboardManager::startMonitoring() {
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
    }
    auto* timer = new QTimer(this);
    timer->setInterval(int(pollInterval * 1000));
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer, &QTimer::timeout, this, &ClipboardManager::poll);
    timer->start();
    timer_ = timer;
    disconnect(changeNotices_);
    // Where the pasteboard reads each change as it comes, its contents arrive here; otherwise a
    // change notice makes the store look at once.
    watching_ = pasteboard_.watchChanges(&ClipboardManager::nextCaptureFetch, this,
                                         [this](const PasteboardContents& contents) {
        // A paste's own change is looked at after it, a change during start-up once it is done.
        if (!isPasting_ && !loading_) handleContents(contents);
    });
    if (!watching_)
        changeNotices_ = connect(&pasteboard_, &Pasteboard::changed, this, &ClipboardManager::scheduleCheck);
}

// A clear and a write made together are one change to read.
void ClipboardManager::scheduleCheck() {
    if (checkScheduled_) return;
    checkScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        checkScheduled_ = false;
        checkClipboard();
    });
}

// The fallback poll. A change being read ahead gets one poll period before it is read here.
void ClipboardManager::poll() {
    const qint64 count = pasteboard_.changeCount();
    if (watching_ && count != lastChangeCount_ && unhandledSincePoll_ != count) {
        unhandledSincePoll_ = count;
        return;
    }
    checkClipboard();
}

void ClipboardManager::checkClipboard() {
    if (isPasting_ || reading_ || loading_) return;  // a read in progress looks again when it ends
    if (pasteboard_.changeCount() == lastChangeCount_) return;
    reading_ = true;
    pasteboard_.readContents(&ClipboardManager::nextCaptureFetch, this, [this](const PasteboardContents& contents) {
        reading_ = false;
        handleContents(contents);
        if (!watching_ && pasteboard_.changeCount() != lastChangeCount_) scheduleCheck();
    });
}

// The contents of one change, read ahead or asked for; each change is handled once.
void ClipboardManager::handleContents(const PasteboardContents& contents) {
    if (contents.status == PasteboardContents::Status::changed) return;  // the newer change follows
    if (contents.changeCount <= lastChangeCount_) return;
    lastChangeCount_ = contents.changeCount;

    dropConcealedItems();

    std::optional<QString> sourceApp;
    if (const auto app = Workspace::shared().frontmostApplication()) {
        if (!app->localizedName.isEmpty()) sourceApp = app->localizedName;
        if (!app->bundleIdentifier.isEmpty()) {
            if (settings_.ignoredApps.value().contains(app->bundleIdentifier)) return;
        }
    }
    if (contents.status == PasteboardContents::Status::ownerSilent) {
        qCWarning(lcClipboard, "The clipboard's owner did not answer in time; this copy is not recorded");
        return;
    }
    recordContents(contents, sourceApp);
}

std::optional<PasteboardFetch> ClipboardManager::nextCaptureFetch(const PasteboardContents& sofar) {
    auto wanted = [&sofar](const QString& type) {
        return sofar.types.contains(type) && !sofar.requested.contains(type);
    };
    const bool concealed = std::any_of(concealedTypes.begin(), concealedTypes.end(),
                                       [&sofar](const QString& type) { return sofar.types.contains(type); });
    if (concealed) {
        if (wanted(PasteboardType::string)) return PasteboardFetch{PasteboardType::string, maxTextBytes};
        return std::nullopt;
    }
    if (wanted(PasteboardType::fileURLs)) return PasteboardFetch{PasteboardType::fileURLs, maxFileListBytes};
    if (readFileURLs(sofar)) return std::nullopt;
    const QString image = imageType(sofar.types);
    if (!image.isEmpty()) {
        if (wanted(image)) return PasteboardFetch{image, maxImageBytes};
        const auto data = sofar.value(image);
        if (data && !data->isEmpty() && !sofar.isTruncated(image)) return std::nullopt;
    }
    if (wanted(PasteboardType::string)) return PasteboardFetch{PasteboardType::string, maxTextBytes};
    return std::nullopt;
}

void ClipboardManager::recordContents(const PasteboardContents& contents, const std::optional<QString>& sourceApp) {
    const bool concealed = std::any_of(concealedTypes.begin(), concealedTypes.end(),
                                       [&contents](const QString& type) { return contents.types.contains(type); });
    const auto text = contents.string();
    if (text && contents.isTruncated(PasteboardType::string))
        qCInfo(lcClipboard, "A copied text longer than %lld bytes is kept as its first %lld bytes",
               qlonglong(maxTextBytes), qlonglong(maxTextBytes));
    if (concealed) {
        if (text && !text->isEmpty()) addConcealed(*text, sourceApp);
        return;
    }
    if (const auto urls = readFileURLs(contents)) {
        addContent(ClipboardContent::files(*urls), sourceApp, Clock::shared().now());
        return;
    }
    const QString type = imageType(contents.types);
    if (!type.isEmpty()) {
        const auto data = contents.value(type);
        if (data && contents.isTruncated(type)) {
            qCInfo(lcClipboard, "A copied image of more than %lld bytes is not recorded", qlonglong(maxImageBytes));
        } else if (data && !data->isEmpty()) {
            persistImage(PasteboardImage{*data, type}, sourceApp);
            return;
        }
    }
    if (text && !text->trimmed().isEmpty())
        addContent(ClipboardContent::text(*text), sourceApp, Clock::shared().now());
}

std::optional<QList<QUrl>> ClipboardManager::readFileURLs(const PasteboardContents& contents) {
    const auto body = contents.value(PasteboardType::fileURLs);
    if (!body || contents.isTruncated(PasteboardType::fileURLs)) return std::nullopt;
    const QList<QUrl> urls = Pasteboard::urlsFromUriList(*body);
    if (urls.isEmpty()) return std::nullopt;
    // Only local files make a file entry: a copied web address is text.
    for (const QUrl& url : urls)
        if (!url.isValid() || url.scheme() != QLatin1String("file") || url.path().isEmpty()) return std::nullopt;
    return urls;
}

QString ClipboardManager::imageType(const QStringList& types) {
    if (types.contains(PasteboardType::png)) return PasteboardType::png;
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString& type : types)
        if (type.startsWith(QLatin1String("image/")) && readable.contains(type.toLatin1())) return type;
    return {};
}

// MARK: Concealed copies

void ClipboardManager::dropConcealedItems() {
    concealedExpiry_.cancel();
    const auto before = history_.size();
    std::erase_if(history_, [](const ClipboardItem& item) { return item.isConcealed; });
    if (history_.size() != before) publish();
}

void ClipboardManager::addConcealed(const QString& text, const std::optional<QString>& sourceApp) {
    ClipboardItem item = ClipboardItem::make(ClipboardContent::text(text), Clock::shared().now(), sourceApp);
    item.isConcealed = true;
    history_.insert(history_.begin() + pinnedCount(), std::move(item));
    publish();
    concealedExpiry_.schedule(this, concealedLifetime_, [this] { dropConcealedItems(); });
}

// MARK: Recording

int ClipboardManager::insertionIndex(const QDateTime& date) const {
    for (size_t i = size_t(pinnedCount()); i < history_.size(); ++i)
        if (history_[i].copiedAt < date) return int(i);
    return int(history_.size());
}

void ClipboardManager::addContent(const ClipboardContent& content, const std::optional<QString>& sourceApp,
                                  const QDateTime& copiedAt) {
    // The echo of our own paste, or a later copy of the same content.
    if (lastPastedContent_ && *lastPastedContent_ == content) {
        deleteUncommittedImage(content);
        return;
    }
    auto found = std::find_if(history_.begin(), history_.end(), [&content](const ClipboardItem& item) {
        return !item.isConcealed && item.content == content;
    });
    if (found != history_.end()) {
        ClipboardItem entry = *found;
        history_.erase(found);
        deleteUncommittedImage(content);
        if (entry.copyCount < std::numeric_limits<qint64>::max()) ++entry.copyCount;
        entry.copiedAt = copiedAt;
        if (sourceApp) entry.sourceApp = sourceApp;
        // A pin stays in the pinned block, at its end.
        const int index = entry.isPinned ? pinnedCount() : insertionIndex(copiedAt);
        history_.insert(history_.begin() + index, std::move(entry));
        publish();
        saveHistory();
        return;
    }
    ClipboardItem item = ClipboardItem::make(content, copiedAt, sourceApp);
    history_.insert(history_.begin() + insertionIndex(copiedAt), std::move(item));
    trimHistory(historyLimit());
    publish();
    saveHistory();
}

void ClipboardManager::persistImage(const PasteboardImage& image, const std::optional<QString>& sourceApp) {
    const QString path =
        imagesDirectory_ + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
    const quint64 generation = imageWriteGeneration_;
    const QDateTime copiedAt = Clock::shared().now();
    QPointer<ClipboardManager> self(this);
    imageQueue_->async([self, image, path, images = imagesDirectory_, generation, copiedAt, sourceApp] {
        QImage decoded;
        if (!decoded.loadFromData(image.data) || decoded.isNull()) return;
        // A PNG is kept byte for byte, so that pasting it back is recognised as our own.
        QByteArray png = image.data;
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
        const QString fingerprint = ClipboardImageReference::fingerprintFor(png);
        if (!writePrivateFile(path, png, {QFileInfo(images).absolutePath(), images})) return;
        Dispatch::main([self, path, size = *size, fingerprint, sourceApp, copiedAt, generation] {
            if (!self || self->imageWriteGeneration_ != generation) {
                removeFile(path);
                return;
            }
            self->addContent(ClipboardContent::image(ClipboardImageReference{path, size, fingerprint}), sourceApp,
                             copiedAt);
        });
    });
}

bool ClipboardManager::isStoredImageName(const QString& name) {
    return name.size() == 40 && isStoredImageNameAt(name.toLatin1().constData()) && name.toLatin1() == name.toUtf8();
}

// Images are ours when they carry a name we give, inside our images folder; they are told apart
// by that name alone, however the folder was reached.
bool ClipboardManager::isOwnImageFile(const QString& path) const {
    const QFileInfo info(QDir::cleanPath(path));
    return !path.isEmpty() && info.absolutePath() == imagesDirectory_ && isStoredImageName(info.fileName());
}

void ClipboardManager::deleteUncommittedImage(const ClipboardContent& content) {
    const ClipboardImageReference* ref = content.imageReference();
    if (!ref) return;
    const QString name = QFileInfo(ref->path).fileName();
    for (const ClipboardItem& item : history_)
        if (item.imagePath && QFileInfo(*item.imagePath).fileName() == name) return;
    if (isOwnImageFile(ref->path)) removeFile(ref->path);
}

void ClipboardManager::deleteImageFiles(const std::vector<ClipboardItem>& removed) {
    bool hadImage = false;
    QSet<QString> named;
    bool namedBuilt = false;
    for (const ClipboardItem& item : removed) {
        if (!item.imagePath) continue;
        hadImage = true;
        if (!namedBuilt) {
            for (const ClipboardItem& kept : history_)
                if (kept.imagePath) named.insert(QFileInfo(*kept.imagePath).fileName());
            namedBuilt = true;
        }
        // Only our own files, and only when no remaining entry still names them.
        if (isOwnImageFile(*item.imagePath) && !named.contains(QFileInfo(*item.imagePath).fileName()))
            removeFile(*item.imagePath);
    }
    if (hadImage) {
        ClipboardFullImageCache::cache().removeAllObjects();
        ClipboardPreviewImageCache::cache().removeAllObjects();
    }
}

// MARK: Pins, removal, limits

ClipboardManager::PinToggleResult ClipboardManager::togglePin(const QUuid& id) {
    auto it = std::find_if(history_.begin(), history_.end(), [&id](const ClipboardItem& item) { return item.id == id; });
    if (it == history_.end() || it->isConcealed) return PinToggleResult::notPinnable;
    if (!it->isPinned) {
        const auto pins = std::count_if(history_.begin(), history_.end(), [](const ClipboardItem& i) { return i.isPinned; });
        if (pins >= maxPinned) return PinToggleResult::limitReached;
    }
    it->isPinned = !it->isPinned;
    const bool nowPinned = it->isPinned;
    std::stable_partition(history_.begin(), history_.end(), [](const ClipboardItem& i) { return i.isPinned; });
    publish();
    saveHistory();
    return nowPinned ? PinToggleResult::pinned : PinToggleResult::unpinned;
}

void ClipboardManager::removeItem(const QUuid& id) {
    std::vector<ClipboardItem> removed;
    for (auto it = history_.begin(); it != history_.end();) {
        if (it->id == id) {
            removed.push_back(std::move(*it));
            it = history_.erase(it);
        } else {
            ++it;
        }
    }
    if (!removed.empty()) {
        publish();
        deleteImageFiles(removed);
    }
    saveHistory();
}

void ClipboardManager::clear() {
    ++imageWriteGeneration_;
    discardStartUpLoad();
    history_.clear();
    lastPastedContent_.reset();
    concealedExpiry_.cancel();
    ClipboardFullImageCache::cache().removeAllObjects();
    ClipboardPreviewImageCache::cache().removeAllObjects();
    publish();
    // After the writes already queued: the file, its kept-aside copies and every stored image go.
    ++*saveSequence_;
    imageQueue_->async([file = historyFileURL_, images = imagesDirectory_] {
        removeFile(file);
        const QString folder = QFileInfo(file).absolutePath();
        const QString asidePrefix = QFileInfo(file).fileName() + kAsideInfix;
        for (const QString& name : SafeFile::regularFileNames(folder).value_or(QStringList()))
            if (name.startsWith(asidePrefix)) removeFile(folder + QLatin1Char('/') + name);
        for (const QString& name : SafeFile::regularFileNames(images).value_or(QStringList()))
            removeFile(images + QLatin1Char('/') + name);
    });
}

int ClipboardManager::normalizeConfiguredHistoryLimit(UserDefaults& defaults) {
    ClipboardSettings settings(defaults);
    return normalizeConfiguredHistoryLimit(settings.maxItems);
}

int ClipboardManager::normalizeConfiguredHistoryLimit(Setting<int>& limit) {
    const int value = limit.value();
    if (limit.store().doubleValue(limit.key()) != double(value)) limit.set(value);
    return value;
}

int ClipboardManager::historyLimit() {
    // The reset's default is not the user's choice: it is not written back either.
    if (limitFromReset_) return *settings_.maxItems.maximum();
    return normalizeConfiguredHistoryLimit(settings_.maxItems);
}

void ClipboardManager::applyHistoryLimit(int limit) {
    limitFromReset_ = false;
    settings_.maxItems.set(limit);
    if (trimHistory(settings_.maxItems.held(limit))) saveHistory();
}

bool ClipboardManager::trimHistory(int limit) {
    if (int(history_.size()) <= limit) return false;
    std::vector<ClipboardItem> pinned, unpinned;
    for (ClipboardItem& item : history_) (item.isPinned ? pinned : unpinned).push_back(std::move(item));
    const size_t retain = size_t(std::max(limit - int(pinned.size()), 0));
    std::vector<ClipboardItem> dropped;
    if (retain < unpinned.size()) {
        dropped.assign(std::make_move_iterator(unpinned.begin() + ptrdiff_t(retain)), std::make_move_iterator(unpinned.end()));
        unpinned.resize(retain);
    }
    history_ = std::move(pinned);
    history_.insert(history_.end(), std::make_move_iterator(unpinned.begin()), std::make_move_iterator(unpinned.end()));
    deleteImageFiles(dropped);
    publish();
    return true;
}

void ClipboardManager::normalizePinnedLimit() {
    int pins = 0;
    bool changed = false;
    for (ClipboardItem& item : history_) {
        if (!item.isPinned) continue;
        if (++pins > maxPinned) {
            item.isPinned = false;
            changed = true;
        }
    }
    if (!changed) return;
    std::stable_partition(history_.begin(), history_.end(), [](const ClipboardItem& i) { return i.isPinned; });
    publish();
    saveHistory();
}

void ClipboardManager::cleanupOrphanedImages() {
    QSet<QString> named;
    for (const ClipboardItem& item : history_)
        if (item.imagePath) named.insert(QFileInfo(*item.imagePath).fileName());
    // On the image queue, after the file work already queued. A history file left in place
    // because it could not be kept aside still names images that must stay.
    imageQueue_->async([named = std::move(named), file = historyFileURL_, images = imagesDirectory_,
                        readHistory = savesBlocked_] { sweepImages(named, file, images, readHistory); });
}

// MARK: The history file

void ClipboardManager::saveHistory() {
    if (loading_) return;       // the history read at start-up is saved once it is in
    if (savesBlocked_) return;  // said in the log when the file was read
    std::vector<ClipboardItem> items;
    items.reserve(history_.size());
    for (const ClipboardItem& item : history_)
        if (!item.isConcealed) items.push_back(item);
    const quint64 sequence = ++*saveSequence_;
    // Encoded and written on the image queue, in order; a save overtaken by a newer one is skipped.
    imageQueue_->async([items = std::move(items), sequence, latest = saveSequence_, path = historyFileURL_] {
        if (latest->load() != sequence) return;  // a newer save or a clear follows
        std::vector<ClipboardItemCodable> records;
        records.reserve(items.size());
        for (const ClipboardItem& item : items) records.push_back(ClipboardItemCodable::fromItem(item));
        writePrivateFile(path, ClipboardItemCodable::encodeFile(records), {QFileInfo(path).absolutePath()});
    });
}

ClipboardManager::LoadedHistory ClipboardManager::readHistoryFile(const QString& file, const QString& imagesDirectory,
                                                                   int limit, const QDateTime& now) {
    LoadedHistory loaded;
    loaded.limit = limit;
    FileError error;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(file, &error);
    if (!bytes && error.isMissing()) return loaded;  // first launch
    if (!bytes && error.code == 0) {
        // A link or a device in the file's place is neither read nor replaced.
        qCWarning(lcClipboard, "History file %s: it is neither read nor written, and the history is kept in memory only",
                  qPrintable(error.message()));
        loaded.savesBlocked = true;
        return loaded;
    }
    int skipped = 0;
    const auto records = bytes ? ClipboardItemCodable::decodeFile(*bytes, &skipped) : std::nullopt;
    if (!records) {
        // Kept for the user; the next save starts a new file, but never over this one.
        loaded.damaged = true;
        const QString aside = asidePath(file);
        if (const auto moveError = FileWriter::shared().moveAside(file, aside)) {
            qCWarning(lcClipboard,
                      "History file %s is damaged and cannot be moved aside (%s); it is left as it is and the history "
                      "is kept in memory only",
                      qPrintable(file), qPrintable(moveError->reason));
            loaded.savesBlocked = true;
        } else {
            qCWarning(lcClipboard, "History file %s is damaged; moved it to %s and started empty", qPrintable(file),
                      qPrintable(aside));
        }
        return loaded;
    }
    if (skipped > 0) {
        // Records this version cannot read (a newer version's, say) are not lost by the rewrite.
        const QString aside = asidePath(file);
        if (const auto copyError = FileWriter::shared().write(aside, *bytes, 0600)) {
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

    std::vector<const ClipboardItemCodable*> pinned, others;
    for (const ClipboardItemCodable& record : *records) (record.isPinned.value_or(false) ? pinned : others).push_back(&record);
    const size_t keepOthers = size_t(std::max(limit - int(pinned.size()), 0));
    if (others.size() > keepOthers) others.resize(keepOthers);

    QSet<QUuid> ids;
    loaded.items.reserve(pinned.size() + others.size());
    for (const auto* list : {&pinned, &others}) {
        for (const ClipboardItemCodable* record : *list) {
            auto item = record->toClipboardItem(now, imagesDirectory);
            if (!item) continue;
            // One id per entry: removing one must not remove another.
            while (ids.contains(item->id)) item->id = QUuid::createUuid();
            ids.insert(item->id);
            loaded.items.push_back(std::move(*item));
        }
    }
    return loaded;
}

void ClipboardManager::installLoaded(LoadedHistory loaded) {
    history_ = std::move(loaded.items);
    historyFileDamaged_ = loaded.damaged;
    savesBlocked_ = loaded.savesBlocked;
    publish();
    if (!history_.empty()) saveHistory();
}

void ClipboardManager::loadHistory(int limit) {
    discardStartUpLoad();
    installLoaded(readHistoryFile(historyFileURL_, imagesDirectory_, limit, Clock::shared().now()));
}

void ClipboardManager::finishLoading() {
    if (!pendingLoad_) return;
    std::optional<LoadedHistory> loaded;
    {
        std::lock_guard lock(pendingLoad_->mutex);
        loaded.swap(pendingLoad_->result);
    }
    if (!loaded) return;
    pendingLoad_.reset();
    loading_ = false;
    const int limit = loaded->limit;
    installLoaded(std::move(*loaded));
    normalizePinnedLimit();
    if (trimHistory(limit)) saveHistory();
    cleanupOrphanedImages();
    if (isMonitoring()) checkClipboard();  // a copy made while the file was read
}

void ClipboardManager::discardStartUpLoad() {
    if (pendingLoad_) {
        std::lock_guard lock(pendingLoad_->mutex);
        pendingLoad_->discarded = true;
        pendingLoad_->result.reset();
    }
    pendingLoad_.reset();
    loading_ = false;
}

void ClipboardManager::waitForPendingWrites() {
    if (!imageQueue_) return;
    imageQueue_->waitUntilIdle();
    if (loading_) {
        finishLoading();
        imageQueue_->waitUntilIdle();
    }
}

// MARK: Pasting

void ClipboardManager::paste(const ClipboardItem& item) {
    QList<PasteboardItem> items;
    switch (item.content.kind()) {
    case ClipboardContent::Kind::text: {
        PasteboardItem text;
        text.setString(item.content.textValue());
        items.append(text);
        break;
    }
    case ClipboardContent::Kind::files:
        for (const QUrl& url : item.content.fileURLs()) {
            PasteboardItem file;
            file.setData(PasteboardType::fileURLs, Pasteboard::uriList({url}));
            file.setData(PasteboardType::gnomeCopiedFiles, "copy\n" + url.toEncoded());
            items.append(file);
        }
        break;
    case ClipboardContent::Kind::image: {
        // Load first: a missing image leaves the user's pasteboard as it was.
        const ClipboardImageReference* ref = item.content.imageReference();
        QByteArray png;
        // Only images stored by us are pasted, never a file a record names elsewhere.
        if (QFileInfo(QDir::cleanPath(ref->path)).absolutePath() == imagesDirectory_ &&
            !ClipboardFullImageCache::image(*ref).isNull())
            png = SafeFile::readRegular(ref->path).value_or(QByteArray());
        if (png.isEmpty()) {
            isPasting_ = false;
            lastPastedContent_.reset();
            return;
        }
        PasteboardItem image;
        image.setData(PasteboardType::png, png);
        items.append(image);
        break;
    }
    }
    if (items.isEmpty()) return;
    beginPaste(item.content, items);
}

void ClipboardManager::pastePlainText(const QString& text) {
    if (text.isEmpty()) return;
    PasteboardItem item;
    item.setString(text);
    beginPaste(ClipboardContent::text(text), {item});
}

void ClipboardManager::pastePlainText() {
    pasteboard_.readContents(&ClipboardManager::nextPlainTextFetch, this, [this](const PasteboardContents& contents) {
        if (contents.status != PasteboardContents::Status::read) return;
        const auto text = plainText(contents);
        if (text && !text->isEmpty()) pastePlainText(*text);
    });
}

void ClipboardManager::beginPaste(const ClipboardContent& content, const QList<PasteboardItem>& items) {
    isPasting_ = true;
    lastPastedContent_ = content;
    pasteboard_.clearContents();
    pasteboard_.writeObjects(items);
    pasteboard_.writePrimarySelection(items);
    simulateCmdV();
    Dispatch::mainAfter(pasteRelease, this, [this] { isPasting_ = false; });
}

std::optional<PasteboardFetch> ClipboardManager::nextPlainTextFetch(const PasteboardContents& sofar) {
    if (const auto text = sofar.value(PasteboardType::string); text && !text->isEmpty()) return std::nullopt;
    for (const QString& type : {PasteboardType::string, PasteboardType::rtf, PasteboardType::rtfApplication,
                                PasteboardType::html}) {
        if (sofar.types.contains(type) && !sofar.requested.contains(type))
            return PasteboardFetch{type, type == PasteboardType::string ? maxTextBytes : maxTextBytes * 8};
    }
    return std::nullopt;
}

std::optional<QString> ClipboardManager::plainText(const PasteboardContents& contents) {
    if (const auto text = contents.string(); text && !text->isEmpty()) return text;
    for (const QString& type : {PasteboardType::rtf, PasteboardType::rtfApplication}) {
        if (const auto rtf = contents.value(type))
            if (auto characters = RichTextReader::charactersOfRtf(*rtf)) return characters;
    }
    if (const auto html = contents.value(PasteboardType::html)) return RichTextReader::charactersOfHtml(*html);
    return std::nullopt;
}

void ClipboardManager::simulateCmdV() {
    SyntheticKeys& keys = SyntheticKeys::shared();
    if (!keys.isAvailable()) return;
    // Control+V types ^V in a terminal; Shift+Insert pastes in terminals and text fields alike.
    // Insert is the Help key in the key vocabulary; its events carry the Shift flag.
    keys.post({KeyCodes::kVK_Shift, true, 0});
    keys.post({KeyCodes::kVK_Help, true, KeyCodes::maskShift});
    keys.post({KeyCodes::kVK_Help, false, KeyCodes::maskShift});
    keys.post({KeyCodes::kVK_Shift, false, 0});
}
