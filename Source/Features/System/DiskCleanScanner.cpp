#include "Source/Features/System/DiskCleanScanner.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/JsonText.h"
#include "Platform/Files/DirectoryWalker.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Files/Trash.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Features/System/DiskCleanSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QSet>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace {

Q_LOGGING_CATEGORY(lcDiskClean, "quorvin.diskclean")

constexpr double catalogueFloor = 1048576.0;
constexpr double perAppFloor = 50000000.0;

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(NativePath::encode(path).constData(), &st) == 0;
}

// The names in a folder but hidden ones, in listing order, each with its exact bytes.
QStringList visibleNames(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(NativePath::encode(folder).constData());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') names << NativePath::decode(entry->d_name);
    ::closedir(dir);
    return names;
}

struct Measure {
    double bytes = 0;
    qint64 files = 0;
};

// Allocated bytes of the regular files below, on the folder's own file system.
Measure measure(const QString& path) {
    const auto totals = DirectoryWalker::walk(path, {.oneFileSystem = true});
    return {double(totals.fileBytes), totals.files};
}

}  // namespace

struct DiskCleanScanner::Job {
    CleanupBases bases;
    QList<CleanupCandidate> rows;
    bool perApp = true;
    QStringList custom;  // as stored
    HomeGuard guard;
    FileProbe probe;
};

DiskCleanScanner::FileProbe DiskCleanScanner::FileProbe::real() {
    return {[](const HomeGuard& guard, const QString& path) { return guard.admit(path); }, ::exists,
            [](const QString& path) {
                FileError error;
                auto bytes = SafeFile::readRegular(path, Places::largestStore, &error);
                if (!bytes && !error.isMissing())
                    qCWarning(lcDiskClean) << "Cannot read the last scan:" << error.message();
                return bytes;
            }};
}

DiskCleanScanner::Places DiskCleanScanner::Places::current() {
    // The folder is made when the result is first written.
    return {CleanupBases::current(), URL::applicationSupportBase() + "/DaveRovaz/lastScan.json",
            LinuxTrash().homeTrash()};
}

DiskCleanScanner& DiskCleanScanner::shared() {
    static DiskCleanScanner* scanner = new DiskCleanScanner(DiskCleanSettings::shared(), Places::current(), Trash::shared());
    return *scanner;
}

DiskCleanScanner::DiskCleanScanner(DiskCleanSettings& settings, Places places, Trash& trash, FileProbe probe,
                                   QObject* parent)
    : QObject(parent), settings_(settings), places_(std::move(places)), trash_(trash), probe_(std::move(probe)),
      guard_(places_.bases.home, {places_.homeTrash}),
      queue_(std::make_unique<SerialQueue>("com.merovane.diskclean", QueuePriority::utility)),
      trashQueue_(std::make_unique<SerialQueue>("com.merovane.diskclean.trash", QueuePriority::utility)) {
    QPointer<DiskCleanScanner> self(this);
    queue_->async([self, store = places_.storePath, guard = guard_, probe = probe_] {
        auto restored = restore(store, guard, probe);
        if (!restored) return;
        Dispatch::main([self, restored = std::move(*restored)]() mutable {
            if (self) self->showRestored(std::move(restored));
        });
    });
}

DiskCleanScanner::~DiskCleanScanner() {
    trashQueue_.reset();
    queue_.reset();
}

double DiskCleanScanner::reclaimable() const {
    double sum = 0;
    for (const CleanupGroup& group : groups_)
        for (const CleanupItem& item : group.items) sum += item.bytes;
    return sum;
}

QStringList DiskCleanScanner::customTargets() const {
    return admitted(settings_.customTargets.value(), guard_, probe_);
}

QStringList DiskCleanScanner::admitted(const QStringList& stored, const HomeGuard& guard, const FileProbe& probe) {
    QStringList out;
    for (const QString& path : stored) {
        const QString admitted = probe.admit(guard, path);
        if (!admitted.isEmpty()) out << admitted;
    }
    return out;
}

void DiskCleanScanner::scan() {
    if (state_.phase == Phase::scanning) return;
    state_ = {Phase::scanning, {}};
    currentPath_.clear();
    emit stateChanged();
    emit currentPathChanged();

    Job job{places_.bases, {}, settings_.isEnabled(CleanupCatalog::perAppCaches, true),
            settings_.customTargets.value(), guard_, probe_};
    for (const CleanupCandidate& row : candidates())
        if (settings_.isEnabled(row.name, row.defaultOn)) job.rows << row;
    QPointer<DiskCleanScanner> self(this);
    queue_->async([self, job = std::move(job)] {
        auto report = [self](const QString& found) {
            Dispatch::main([self, path = NativePath::displayed(found)] {
                if (self) self->setCurrentPath(path);
            });
        };
        QList<CleanupGroup> groups = run(job, report);
        Dispatch::main([self, groups = std::move(groups)]() mutable {
            if (self) self->finish(std::move(groups));
        });
    });
}

QList<CleanupGroup> DiskCleanScanner::run(const Job& job, const std::function<void(const QString&)>& report) {
    QList<CleanupItem> items;
    const QString home = job.bases.home;

    for (const CleanupCandidate& row : job.rows) {
        QStringList places;
        for (const QString& relative : row.relativePaths) places << home + "/" + relative;
        for (const QString& location : row.linuxPaths) places << job.bases.resolve(location);
        QStringList found;
        Measure total;
        for (const QString& place : places) {
            const QString path = job.probe.admit(job.guard, place);
            if (path.isEmpty() || found.contains(path) || !job.probe.exists(path)) continue;
            report(path);
            const Measure m = measure(path);
            total.bytes += m.bytes;
            total.files += m.files;
            found << path;
        }
        if (!found.isEmpty() && total.bytes >= catalogueFloor)
            items << CleanupItem{QUuid::createUuid(), row.name, found, total.bytes, total.files, row.category,
                                 row.consequence};
    }

    if (job.perApp) {
        const QSet<QString> claimed = CleanupCatalog::claimedPaths();
        const QSet<QString> claimedHere = CleanupCatalog::claimedLinuxPaths(job.bases);
        const QString caches = job.bases.cacheHome;
        for (const QString& name : visibleNames(caches)) {
            if (claimed.contains("Library/Caches/" + name) || claimedHere.contains(caches + "/" + name)) continue;
            const auto& prefixes = CleanupCatalog::protectedCachePrefixes();
            if (std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& p) { return name.startsWith(p); }))
                continue;
            const QString path = job.probe.admit(job.guard, caches + "/" + name);
            if (path.isEmpty()) continue;
            report(path);
            const Measure m = measure(path);
            if (m.bytes >= perAppFloor)
                items << CleanupItem{QUuid::createUuid(), NativePath::displayed(name), {path}, m.bytes, m.files,
                                     CleanupCategory::applications, CleanupCatalog::perAppConsequence};
        }
    }

    for (const QString& path : admitted(job.custom, job.guard, job.probe)) {
        if (!job.probe.exists(path)) continue;
        report(path);
        const Measure m = measure(path);
        const QString name = NativePath::displayed(QFileInfo(path).fileName());
        if (m.bytes > 0)
            items << CleanupItem{QUuid::createUuid(), name, {path}, m.bytes, m.files, CleanupCategory::custom,
                                 CleanupCatalog::customConsequence};
    }

    QList<CleanupGroup> groups;
    for (CleanupCategory category : CleanupCategories::all) {
        CleanupGroup group{category, {}};
        for (const CleanupItem& item : items)
            if (item.category == category) group.items << item;
        std::stable_sort(group.items.begin(), group.items.end(),
                         [](const CleanupItem& a, const CleanupItem& b) { return a.bytes > b.bytes; });
        if (!group.items.isEmpty()) groups << group;
    }
    return groups;
}

void DiskCleanScanner::setCurrentPath(const QString& path) {
    if (state_.phase != Phase::scanning || currentPath_ == path) return;
    currentPath_ = path;
    emit currentPathChanged();
}

void DiskCleanScanner::finish(QList<CleanupGroup> groups) {
    const QDateTime now = Clock::shared().now();
    groups_ = std::move(groups);
    emit groupsChanged();
    currentPath_.clear();
    emit currentPathChanged();
    state_ = {Phase::complete, now};
    emit stateChanged();
    persist(groups_, now);
}

void DiskCleanScanner::moveToTrash(const CleanupItem& item, std::function<void(const TrashReport&)> completion) {
    QPointer<DiskCleanScanner> self(this);
    Trash* trash = &trash_;
    trashQueue_->async([self, trash, paths = item.paths, guard = guard_, probe = probe_,
                        completion = std::move(completion)]() mutable {
        TrashReport report;
        report.attempted = int(paths.size());
        QStringList admitted;
        for (const QString& path : paths) {
            const QString p = probe.admit(guard, path);
            if (p.isEmpty()) report.failures << path + ": is not inside the home folder, or lies in a Trash";
            admitted << p;
        }
        if (paths.isEmpty() || !report.failures.isEmpty()) {
            qCWarning(lcDiskClean) << "Not moved to the Trash:" << report.failures;
            Dispatch::main([report, completion = std::move(completion)] {
                if (completion) completion(report);
            });
            return;
        }
        for (const QString& path : admitted) {
            const auto outcome = trash->moveToTrash(path);
            if (outcome.moved()) ++report.moved;
            else report.failures << outcome.error->message();
        }
        for (const QString& failure : report.failures) qCWarning(lcDiskClean) << "Not moved to the Trash:" << failure;
        Dispatch::main([self, report, completion = std::move(completion)] {
            if (completion) completion(report);
            if (self && report.moved > 0) self->scan();
        });
    });
}

void DiskCleanScanner::persist(const QList<CleanupGroup>& groups, const QDateTime& at) {
    queue_->async([path = places_.storePath, groups, at] {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const CleanupGroup& group : groups) array.push_back(group.toJson());
        nlohmann::ordered_json stored = nlohmann::ordered_json::object();
        stored["scannedAt"] = ReferenceDate::seconds(at);
        stored["groups"] = std::move(array);
        const QByteArray bytes =
            QByteArray::fromStdString(stored.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        (void)FileWriter::shared().makeFolder(QFileInfo(path).absolutePath(), 0777);  // a failure shows in the write
        if (auto error = FileWriter::shared().write(path, bytes, 0600))
            qCWarning(lcDiskClean) << "Cannot save the scan:" << error->message();
    });
}

std::optional<DiskCleanScanner::Restored> DiskCleanScanner::restore(const QString& storePath, const HomeGuard& guard,
                                                                   const FileProbe& probe) {
    const auto bytes = probe.read(storePath);
    if (!bytes || !JsonText::isOneValue(*bytes)) return std::nullopt;
    const QJsonObject stored = QJsonDocument::fromJson(*bytes).object();
    if (!stored.value("scannedAt").isDouble() || !stored.value("groups").isArray()) return std::nullopt;
    QList<CleanupGroup> groups;
    for (const QJsonValue& v : stored.value("groups").toArray()) {
        auto group = CleanupGroup::fromJson(v.toObject());
        if (!group) return std::nullopt;  // one bad group spoils the file
        QList<CleanupItem> kept;
        for (const CleanupItem& item : group->items) {
            // Every path must pass the guard again; at least one must still be there.
            const bool allowed = std::all_of(item.paths.begin(), item.paths.end(),
                                             [&](const QString& p) { return !probe.admit(guard, p).isEmpty(); });
            const bool present = std::any_of(item.paths.begin(), item.paths.end(), probe.exists);
            if (allowed && present) kept << item;
        }
        if (!kept.isEmpty()) groups << CleanupGroup{group->category, kept};
    }
    if (groups.isEmpty()) return std::nullopt;
    return Restored{groups, ReferenceDate::date(stored.value("scannedAt").toDouble())};
}

void DiskCleanScanner::showRestored(Restored restored) {
    // A scan started meanwhile publishes its own result; one that finished already wins.
    if (state_.phase == Phase::complete) return;
    groups_ = std::move(restored.groups);
    emit groupsChanged();
    if (state_.phase == Phase::scanning) return;
    state_ = {Phase::complete, restored.date};
    emit stateChanged();
}

void DiskCleanScanner::waitUntilIdle() {
    trashQueue_->waitUntilIdle();
    queue_->waitUntilIdle();
}
