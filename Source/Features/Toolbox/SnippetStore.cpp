#include "Source/Features/Toolbox/SnippetStore.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/JsonText.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/FolderLock.h"
#include "Platform/Files/PathWatcher.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cstring>

Q_LOGGING_CATEGORY(lcSnippets, "com.pelwick.Quorvin.Snippets", QtInfoMsg)

namespace {

const QString kOldStarterTitle = QStringLiteral("Ссылка из буфера в Markdown");
const QString kOldStarterBody = QStringLiteral("[{{текст}}]({{clipboard}})");
const QString kLinkStarterTitle = QStringLiteral("Markdown-ссылка из буфера");
const QString kLinkStarterBody = QStringLiteral("[{{название ссылки}}]({{clipboard}})");

// Full case folding of the NFC form; Turkic locales keep their dotted and dotless i apart.
QString caseFolded(const QString& text) {
    const char* language = icu::Locale::getDefault().getLanguage();
    const bool turkic = std::strcmp(language, "tr") == 0 || std::strcmp(language, "az") == 0;
    icu::UnicodeString folded(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    folded.foldCase(turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_SUCCESS(status)) {
        const icu::UnicodeString normal = nfc->normalize(folded, status);
        if (U_SUCCESS(status)) folded = normal;
    }
    return QString(reinterpret_cast<const QChar*>(folded.getBuffer()), folded.length());
}

// What a save writes: `ours` with what another instance changed in the file since it held `base`
// (as this instance last read or wrote it) laid in: its additions and edits, and its removals of
// snippets unchanged here. Where both changed a snippet, or one removed it, ours win. `standIns`:
// starters shown here for a file that held none; unchanged, they give way to a file that holds
// snippets now, and one changed or removed here replaces the file's untouched copy of it.
QList<Snippet> merged(const QList<Snippet>& ours, const QHash<QUuid, Snippet>& base, const QList<Snippet>& onDisk,
                      const QList<Snippet>& standIns) {
    QHash<QUuid, const Snippet*> disk;
    for (const Snippet& snippet : onDisk)
        if (!disk.contains(snippet.id)) disk.insert(snippet.id, &snippet);
    QSet<QUuid> skipped;  // the file's untouched copies of starters changed or removed here
    for (const Snippet& starter : standIns) {
        if (onDisk.isEmpty() || ours.contains(starter)) continue;
        for (const Snippet& snippet : onDisk)
            if (!base.contains(snippet.id) && snippet.title == starter.title && snippet.body == starter.body)
                skipped.insert(snippet.id);
    }

    QList<Snippet> result;
    QSet<QUuid> ourIds, kept;
    for (const Snippet& snippet : ours) {
        if (!onDisk.isEmpty() && standIns.contains(snippet)) continue;
        ourIds.insert(snippet.id);
        const auto known = base.constFind(snippet.id);
        const auto there = disk.constFind(snippet.id);
        if (known == base.constEnd() || *known != snippet)
            result.append(snippet);
        else if (there != disk.constEnd())
            result.append(**there);  // perhaps edited there
        else
            continue;  // removed there
        kept.insert(snippet.id);
    }
    // The other's additions go after the snippet they follow in the file; those at its top go
    // after the additions made here, newest first as well.
    QHash<QUuid, QList<Snippet>> after;
    QList<Snippet> first;
    std::optional<QUuid> previous;
    for (const Snippet& snippet : onDisk) {
        if (kept.contains(snippet.id)) previous = snippet.id;
        if (ourIds.contains(snippet.id) || base.contains(snippet.id) || skipped.contains(snippet.id) ||
            disk.value(snippet.id) != &snippet)
            continue;
        (previous ? after[*previous] : first).append(snippet);
    }
    QList<Snippet> laidIn;
    for (const Snippet& snippet : result) {
        if (!first.isEmpty() && (base.contains(snippet.id) || disk.contains(snippet.id))) {
            laidIn.append(first);
            first.clear();
        }
        laidIn.append(snippet);
        laidIn.append(after.value(snippet.id));
    }
    laidIn.append(first);
    return laidIn;
}

}  // namespace

SnippetStore& SnippetStore::shared() {
    // The folder is made by the first save.
    static SnippetStore* store = new SnippetStore(URL::applicationSupportBase() + QStringLiteral("/Snippets"));
    return *store;
}

SnippetStore::SnippetStore(const QString& folder, QObject* parent)
    : QObject(parent), folder_(QDir::cleanPath(folder)), fileURL_(folder_ + QStringLiteral("/snippets.json")) {
    load();
    // Another instance's saves are taken in soon after, not only at this one's next save: the file
    // is watched, and the one the user's links lead to.
    auto* watcher = new PathWatcher(
        [this] {
            FileError error;
            const std::optional<Place> where = place(&error);
            return where ? QStringList{fileURL_, where->file} : QStringList{fileURL_};
        },
        this);
    connect(watcher, &PathWatcher::changed, this, &SnippetStore::takeInOthersSave);
    // A save waiting for another instance's lock waits a bounded time more.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { finishPendingSave(FolderLock::quitWaitLeftMs()); });
}

SnippetStore::~SnippetStore() { finishPendingSave(0); }

void SnippetStore::finishPendingSave(int waitMs) {
    if (!savePending()) return;
    retry_.cancel();
    FileError refusal;
    const std::optional<Place> where = place(&refusal);
    if (!where) return;
    const FolderLock::Deadline deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs));
    const FolderLock lock = FolderLock::waitFor(where->folder, deadline);
    if (lock.busy()) {
        qCWarning(lcSnippets, "The snippets are not saved (%lld snippets): %s", qlonglong(snippets_.size()),
                  qPrintable(lock.failure()->message()));
        scheduleRetry();
        return;
    }
    saveWith(&lock);
}

void SnippetStore::takeInOthersSave() {
    FileError error;
    const std::optional<Place> where = savesBlocked_ ? std::nullopt : place(&error);
    // This instance's own save is not read back.
    if (!where || (!writtenStamp_.isEmpty() && SafeFile::stamp(where->file) == writtenStamp_)) return;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(where->file, largestFile);
    const std::optional<Decoded> onDisk = bytes ? decode(*bytes) : std::nullopt;
    // A file gone or damaged is left to the next save.
    if (!onDisk || onDisk->skipped > 0) return;
    QHash<QUuid, Snippet> now;
    for (const Snippet& snippet : onDisk->snippets) now.insert(snippet.id, snippet);
    QList<Snippet> list = merged(snippets_, base_, onDisk->snippets, startersStandIn_ ? starters() : QList<Snippet>());
    base_ = std::move(now);
    if (!onDisk->snippets.isEmpty()) startersStandIn_ = false;
    if (list.isEmpty()) {
        list = starters();  // as a start shows a file that holds none
        startersStandIn_ = true;
    }
    if (list == snippets_) return;
    snippets_ = std::move(list);
    emit snippetsChanged();
    emit othersSaveTakenIn();
}

const QList<Snippet>& SnippetStore::starters() {
    static const QList<Snippet> list = [] {
        const QDateTime now = Clock::shared().now();
        return QList<Snippet>{
            {QUuid::createUuid(), QStringLiteral("Дата и время"), QStringLiteral("{{datetime}}"), now},
            {QUuid::createUuid(), QStringLiteral("Ответ на письмо"),
             QStringLiteral("Здравствуйте, {{имя}}!\n\nСпасибо за сообщение. Отвечу по существу до {{date}}.\n\n"
                            "С уважением,\n{{подпись}}"),
             now},
            {QUuid::createUuid(), kLinkStarterTitle, kLinkStarterBody, now},
        };
    }();
    return list;
}

QByteArray SnippetStore::encode(const QList<Snippet>& snippets) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Snippet& snippet : snippets) array.push_back(snippet.toJson());
    // Invalid UTF-16 (a lone surrogate) becomes U+FFFD rather than failing the write.
    return QByteArray::fromStdString(array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::optional<SnippetStore::Decoded> SnippetStore::decode(const QByteArray& bytes) {
    if (!JsonText::isOneValue(bytes)) return std::nullopt;
    const nlohmann::json array = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (array.is_discarded() || !array.is_array()) return std::nullopt;
    Decoded decoded;
    for (const nlohmann::json& record : array) {
        if (auto snippet = Snippet::fromJson(record))
            decoded.snippets.append(*snippet);
        else
            ++decoded.skipped;
    }
    return decoded;
}

std::optional<SnippetStore::Place> SnippetStore::place(FileError* error) const {
    const std::optional<QString> folder = SafeFile::followUsersLink(folder_, true, error);
    if (!folder) return std::nullopt;
    const QString name = *folder + QStringLiteral("/snippets.json");
    const std::optional<QString> file = SafeFile::followUsersLink(name, false, error);
    if (!file) return std::nullopt;
    return Place{*folder, *file, *folder != folder_, *file != name};
}

std::optional<SnippetStore::Decoded> SnippetStore::read(const Place& where) {
    FileError error;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(where.file, largestFile, &error);
    if (bytes) {
        std::optional<Decoded> decoded = decode(*bytes);
        if (!decoded) {
            qCWarning(lcSnippets, "Snippets file %s cannot be read as snippets", qPrintable(fileURL_));
            // A linked file stays where the user keeps it; a copy goes aside and the next save replaces it.
            if (!keepAside(where, *bytes, !where.fileLinked)) savesBlocked_ = true;
        } else if (decoded->skipped > 0) {
            qCWarning(lcSnippets, "Snippets file %s: skipped %d snippets that cannot be read", qPrintable(fileURL_),
                      decoded->skipped);
            keepAside(where, *bytes, false);
        }
        return decoded;
    }
    if (error.code != 0 && !error.isMissing()) {
        qCWarning(lcSnippets, "Snippets file %s cannot be read (%s)", qPrintable(fileURL_), qPrintable(error.reason));
        if (where.fileLinked || !keepAside(where, std::nullopt, true)) savesBlocked_ = true;
    } else if (!error.isMissing()) {
        // A device or a FIFO in its place is neither read, moved nor replaced.
        qCWarning(lcSnippets, "Snippets file %s; the snippets are kept in memory only", qPrintable(error.message()));
        savesBlocked_ = true;
    }
    return std::nullopt;
}

void SnippetStore::load() {
    FileError error;
    const std::optional<Place> where = place(&error);
    {
        // Saves cut short by a crash or a kill; another instance's save under way holds the lock
        // and keeps its file. A linked folder is not swept.
        std::optional<FolderLock> lock;
        if (where) lock.emplace(where->folder);
        if (const int swept = lock && lock->busy() ? 0 : FileWriter::sweepUnfinishedWrites(folder_))
            qCInfo(lcSnippets, "Removed %d unfinished writes from %s", swept, qPrintable(folder_));
    }
    std::optional<Decoded> decoded;
    if (!where) {
        // A link to what is not the user's own is neither read nor written through.
        qCWarning(lcSnippets, "Snippets file %s; the snippets are kept in memory only", qPrintable(error.message()));
        savesBlocked_ = true;
    } else {
        decoded = read(*where);
    }

    if (decoded)
        for (const Snippet& snippet : decoded->snippets) base_.insert(snippet.id, snippet);
    if (!decoded || decoded->snippets.isEmpty()) {
        snippets_ = starters();  // written by the first save, not now
        startersStandIn_ = true;
        return;
    }
    snippets_ = decoded->snippets;
    migrateStarterExamples();
}

bool SnippetStore::keepAside(const Place& where, const std::optional<QByteArray>& bytes, bool move) {
    const QString name = where.folder + QStringLiteral("/snippets.json");
    // The file that takes a moved one's place is made with the mode the user gave it.
    if (const std::optional<mode_t> mode = move ? SafeFile::regularFileMode(name) : std::nullopt) newFileMode_ = *mode;
    // One copy per damaged content: a file that is still the same at the next start is kept already.
    if (const std::optional<QString> path = bytes ? SafeFile::keptAsideAlready(name, *bytes) : std::nullopt) {
        if (move) {
            if (const auto error = SafeFile::removeRegular(name)) {
                qCWarning(lcSnippets, "Cannot remove the snippets file kept as %s (%s); it is not written over",
                          qPrintable(*path), qPrintable(error->reason));
                return false;
            }
        }
        qCInfo(lcSnippets, "The snippets file is kept as %s already", qPrintable(*path));
        return true;
    }
    const QString aside = SafeFile::asidePath(name, Clock::shared().now());
    const auto error = move ? FileWriter::shared().moveAside(name, aside)
                            : FileWriter::shared().create(aside, bytes.value_or(QByteArray()), 0600);
    if (error) {
        qCWarning(lcSnippets, "Cannot keep the snippets file aside as %s (%s)%s", qPrintable(aside),
                  qPrintable(error->reason), move ? "; it is left as it is and not written over" : "");
        return false;
    }
    qCWarning(lcSnippets, "Kept a copy of the snippets file as %s", qPrintable(aside));
    return true;
}

void SnippetStore::migrateStarterExamples() {
    for (Snippet& snippet : snippets_) {
        if (snippet.title != kOldStarterTitle || snippet.body != kOldStarterBody) continue;
        snippet.title = kLinkStarterTitle;
        snippet.body = kLinkStarterBody;
        save();
        return;
    }
}

std::optional<Snippet> SnippetStore::snippet(const QString& name) const {
    const QString wanted = caseFolded(name);
    for (const Snippet& snippet : snippets_)
        if (caseFolded(snippet.title) == wanted) return snippet;
    return std::nullopt;
}

void SnippetStore::add(const Snippet& snippet) {
    snippets_.prepend(snippet);
    emit snippetsChanged();
    save();
}

void SnippetStore::update(const Snippet& snippet) {
    for (Snippet& entry : snippets_) {
        if (entry.id != snippet.id) continue;
        entry = snippet;
        emit snippetsChanged();
        save();
        return;
    }
}

void SnippetStore::remove(const Snippet& snippet) {
    if (snippets_.removeIf([&snippet](const Snippet& entry) { return entry.id == snippet.id; }) > 0)
        emit snippetsChanged();
    save();
}

void SnippetStore::save() { saveWith(nullptr); }

void SnippetStore::scheduleRetry() {
    pending_ = true;
    retry_.schedule(this, FolderLock::retryDelayMs(retryAttempt_++) / 1000.0, [this] {
        if (pending_) save();
    });
}

void SnippetStore::saveWith(const FolderLock* waited) {
    pending_ = false;
    if (savesBlocked_) {
        if (!blockedReported_)
            qCWarning(lcSnippets, "Snippets are not written: %s is left as it is", qPrintable(fileURL_));
        blockedReported_ = true;
        return;
    }
    FileError refusal;
    // Found again at every save: the user may have linked the folder or the file meanwhile.
    const std::optional<Place> where = place(&refusal);
    if (!where) {
        qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(refusal.message()));
        return;
    }
    // Made private when missing; a folder that is there, or linked, is the user's and keeps its mode.
    if (!where->folderLinked) {
        if (const auto error = FileWriter::shared().makeFolder(folder_, 0700)) {
            qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(error->message()));
            return;
        }
    }
    const bool takenIn = writeMerged(*where, waited);
    if (!takenIn) return;
    emit snippetsChanged();  // after the lock is let go
    emit othersSaveTakenIn();
}

bool SnippetStore::writeMerged(const Place& where, const FolderLock* waited) {
    // Another instance's save in the same folder ends before this one reads the file again; while
    // it holds the lock this save is pending, tried again on a timer (the GUI thread never waits).
    std::optional<FolderLock> tried;
    const FolderLock& lock = waited ? *waited : tried.emplace(where.folder);
    if (lock.busy()) {
        scheduleRetry();
        return false;
    }
    retryAttempt_ = 0;
    if (lock.state() == FolderLock::State::failed) {
        qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(lock.failure()->message()));
        return false;
    }
    if (!lock.held() && !lockFailureSaid_) {
        qCWarning(lcSnippets, "Snippets are saved without a lock: %s", qPrintable(lock.failure()->message()));
        lockFailureSaid_ = true;
    }
    bool takenIn = false;
    // A file as this instance wrote it last holds nothing new: it need not be read. One gone or
    // damaged meanwhile takes this instance's list as it is.
    const bool asWritten = !writtenStamp_.isEmpty() && SafeFile::stamp(where.file) == writtenStamp_;
    if (const std::optional<Decoded> onDisk = asWritten ? std::nullopt : read(where)) {
        QList<Snippet> list =
            merged(snippets_, base_, onDisk->snippets, startersStandIn_ ? starters() : QList<Snippet>());
        takenIn = list != snippets_;
        snippets_ = std::move(list);
    }
    if (savesBlocked_) {
        qCWarning(lcSnippets, "Snippets are not written: %s is left as it is", qPrintable(fileURL_));
        blockedReported_ = true;
        return takenIn;
    }
    const QByteArray bytes = encode(snippets_);
    if (bytes.size() > largestFile) {
        qCWarning(lcSnippets,
                  "Cannot save the snippets: they would be larger than %lld bytes; the file keeps what it had",
                  largestFile);
        return takenIn;
    }
    if (const auto error = FileWriter::shared().write(where.file, bytes, newFileMode_)) {
        qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(error->message()));
        return takenIn;
    }
    startersStandIn_ = false;
    // Only a file written under the lock is what both last agreed on; without locks another
    // instance may write meanwhile, and the file is read again.
    writtenStamp_ = lock.held() ? SafeFile::stamp(where.file) : QByteArray();
    if (!lock.held()) return takenIn;
    base_.clear();
    for (const Snippet& snippet : std::as_const(snippets_)) base_.insert(snippet.id, snippet);
    return takenIn;
}
