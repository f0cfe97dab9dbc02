#include "Platform/Core/UserDefaults.h"

#include "Platform/Core/JsonText.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/FolderLock.h"
#include "Platform/Files/PathWatcher.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Files/UserFolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>
#include <QtDebug>

#include <chrono>
#include <cmath>

namespace {

// The file's text, naming the saves it descends from: indented, or compact where indented would
// pass the size that is read, so that what was read reads again; where even that would pass it,
// the file names no saves (`named` false).
QByteArray fileBytes(const QJsonObject& values, const SaveLineage& lineage, bool& named) {
    QJsonObject withSaves = values;
    withSaves.insert(QLatin1String(UserDefaults::savesKey), lineage.text());
    named = true;
    for (const QJsonDocument::JsonFormat format : {QJsonDocument::Indented, QJsonDocument::Compact})
        if (QByteArray bytes = QJsonDocument(withSaves).toJson(format); bytes.size() <= UserDefaults::maxFileSize)
            return bytes;
    named = false;
    return QJsonDocument(values).toJson(QJsonDocument::Compact);
}

// Takes the saves a file's values name out of them: the lineage of that version (at `stamp`).
SaveLineage takeLineage(QJsonObject& values, const QByteArray& stamp) {
    std::optional<QString> saves;
    if (const auto it = values.constFind(QLatin1String(UserDefaults::savesKey)); it != values.constEnd()) {
        if (it->isString()) saves = it->toString();
        values.remove(QLatin1String(UserDefaults::savesKey));
    }
    return SaveLineage::of(saves, stamp);
}

struct OnDisk {
    QJsonObject values;
    SaveLineage lineage;
};

// The values in the file as it is now (at `stamp`); absent when it is missing, unreadable or damaged.
std::optional<OnDisk> valuesOnDisk(const QString& file, const QByteArray& stamp) {
    const std::optional<QByteArray> bytes = SafeFile::readRegular(file, UserDefaults::maxFileSize);
    if (!bytes || !JsonText::isOneValue(*bytes)) return std::nullopt;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    OnDisk onDisk{doc.object(), {}};
    onDisk.lineage = takeLineage(onDisk.values, stamp);
    return onDisk;
}

// The keys whose values differ between the two.
QStringList keysThatDiffer(const QJsonObject& before, const QJsonObject& after) {
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    keys.removeIf([&](const QString& key) { return before.value(key) == after.value(key); });
    return keys;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
    static auto* defaults = [] {
        // Saves cut short by a crash or a kill left their temporary files beside the settings; a
        // save of another instance still under way holds the lock and keeps its file.
        const FolderLock lock(UserFolders::configHome());
        if (const int swept = lock.busy() ? 0 : FileWriter::sweepUnfinishedWrites(UserFolders::configHome()))
            qInfo("Removed %d unfinished settings writes from %s", swept, qPrintable(UserFolders::configHome()));
        return new UserDefaults(pathForDomain(standardDomain));
    }();
    return *defaults;
}

UserDefaults& UserDefaults::legacy() {
    static auto* defaults = new UserDefaults(pathForDomain(legacyDomain), Access::readOnly);
    return *defaults;
}

QString UserDefaults::pathForDomain(const QString& domain) {
    return UserFolders::configHome() + "/" + domain + ".json";
}

UserDefaults::UserDefaults(QString filePath, Access access, QObject* parent)
    : QObject(parent), path_(std::move(filePath)), access_(access) {
    load();
    // A write waiting for another instance's lock waits a bounded time more.
    if (QCoreApplication* app = QCoreApplication::instance(); app && !path_.isEmpty())
        connect(app, &QCoreApplication::aboutToQuit, this,
                [this] { finishPendingWrite(FolderLock::quitWaitLeftMs()); });
    if (path_.isEmpty() || access_ == Access::readOnly) return;
    // Another instance's writes are taken in soon after, not only at this one's next write: the
    // file is watched, and the one a link leads to (the user may make or change the link meanwhile).
    auto* watcher = new PathWatcher(
        [this] {
            QStringList files{path_};
            if (const std::optional<QString> target = SafeFile::followUsersLink(path_, false)) files << *target;
            return files;
        },
        this);
    connect(watcher, &PathWatcher::changed, this, &UserDefaults::takeInOthersSave);
}

void UserDefaults::takeInOthersSave() {
    if (path_.isEmpty() || access_ == Access::readOnly) return;
    QStringList adopted;
    {
        std::lock_guard lock(mutex_);
        if (readFailure_) return;  // values not read from the file are not mixed with it
        const std::optional<QString> target = SafeFile::followUsersLink(path_, false);
        const QByteArray stamp = target ? SafeFile::stamp(*target) : QByteArray();
        // This instance's own write is not read back; a file gone is written whole by the next write.
        if (stamp.isEmpty() || stamp == writtenStamp_ || stamp == seenStamp_) return;
        std::optional<OnDisk> onDisk = valuesOnDisk(*target, stamp);
        if (!onDisk) return;  // damaged or unreadable: what is here stays
        seenStamp_ = stamp;
        QJsonObject merged = std::move(onDisk->values);
        // A change made here and not written yet stays as it is here.
        const bool fileLacksKeys = layOver(merged, onDisk->lineage);
        adopted = keysThatDiffer(values_, merged);
        values_ = std::move(merged);
        if (fileLacksKeys) {
            QStringList more;
            lastWriteOk_ = writeLocked(more);
            adopted += more;
        }
    }
    for (const QString& key : std::as_const(adopted)) emit valueChanged(key);
}

bool UserDefaults::layOver(QJsonObject& values, const SaveLineage& lineage) {
    for (const QString& key : std::as_const(changed_)) {
        if (const auto it = values_.constFind(key); it != values_.constEnd())
            values.insert(key, *it);
        else
            values.remove(key);
    }
    // A writer that never took in this instance's last save removed no key it lacks, and set back
    // none saved here in a save it never had: what is here is written again.
    bool kept = false;
    if (!lineage.descendsFrom(baseLineage_)) {
        QStringList keys = values_.keys() + values.keys();
        keys.removeDuplicates();
        for (const QString& key : std::as_const(keys)) {
            const auto ours = values_.constFind(key);
            const auto there = values.constFind(key);
            const bool unseen = written_.unseenBy(key, lineage);
            if (changed_.contains(key) || (there != values.constEnd() && !unseen)) continue;
            if (ours == values_.constEnd() ? there == values.constEnd() : there != values.constEnd() && *there == *ours)
                continue;
            if (ours != values_.constEnd())
                values.insert(key, *ours);
            else
                values.remove(key);
            changed_.insert(key);
            kept = true;
        }
    }
    baseLineage_ = lineage;
    return kept;
}

UserDefaults::~UserDefaults() { finishPendingWrite(0); }

bool UserDefaults::writePending() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

void UserDefaults::finishPendingWrite(int waitMs) {
    {
        std::lock_guard lock(mutex_);
        if (!pending_) return;
    }
    const FolderLock::Deadline deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs));
    FolderLock folderLock = FolderLock::waitFor(QFileInfo(path_).absolutePath(), deadline);
    QStringList adopted;
    {
        std::lock_guard lock(mutex_);
        if (!pending_) return;
        if (folderLock.busy()) {
            QStringList keys = changed_.values();
            keys.sort();
            qWarning("Settings file %s is not saved (%s): %s", qPrintable(path_),
                     qPrintable(keys.join(QStringLiteral(", "))), qPrintable(folderLock.failure()->message()));
            return;
        }
        pending_ = false;
        lastWriteOk_ = writeLocked(adopted, &folderLock);
    }
    for (const QString& key : std::as_const(adopted)) emit valueChanged(key);
}

void UserDefaults::retryPendingWrite() {
    QStringList adopted;
    {
        std::lock_guard lock(mutex_);
        retryScheduled_ = false;
        if (!pending_) return;
        pending_ = false;
        lastWriteOk_ = writeLocked(adopted);
    }
    for (const QString& key : std::as_const(adopted)) emit valueChanged(key);
}

void UserDefaults::scheduleRetry() {
    pending_ = true;
    if (retryScheduled_) return;
    retryScheduled_ = true;
    const int delay = FolderLock::retryDelayMs(retryAttempt_++);
    // On this object's thread, which never waits for the lock.
    QMetaObject::invokeMethod(
        this, [this, delay] { QTimer::singleShot(delay, this, [this] { retryPendingWrite(); }); },
        Qt::QueuedConnection);
}

void UserDefaults::reload() {
    {
        std::lock_guard lock(mutex_);
        values_ = {};
        changed_.clear();
        writtenStamp_.clear();
        seenStamp_.clear();
        baseLineage_ = {};
        written_.clear();
        damaged_ = false;
        readFailure_.reset();
    }
    load();
}

void UserDefaults::load() {
    if (path_.isEmpty()) return;
    FileError error;
    std::optional<QByteArray> bytes;
    QByteArray stamp;  // taken first: a write meanwhile is read again when the folder shows it
    const std::optional<QString> source = SafeFile::followUsersLink(path_, false, &error);
    if (source) stamp = SafeFile::stamp(*source);
    if (source) bytes = SafeFile::readRegular(*source, maxFileSize, &error);
    if (!bytes) {
        if (error.isMissing()) return;
        // Whatever is there stays as it is: the defaults are used and nothing is written over it.
        qWarning("Settings file %s cannot be read (%s); the settings are not saved until it is readable",
                 qPrintable(path_), qPrintable(error.reason));
        std::lock_guard lock(mutex_);
        readFailure_ = error;
        return;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &parseError);
    if (parseError.error == QJsonParseError::NoError && doc.isObject() && JsonText::isOneValue(*bytes)) {
        std::lock_guard lock(mutex_);
        values_ = doc.object();
        baseLineage_ = takeLineage(values_, stamp);
        seenStamp_ = stamp;
        return;
    }
    // Keep the damaged file for the user and start empty; never overwrite it before it is kept.
    const bool kept = access_ == Access::readOnly || keepDamagedAside(*bytes, *source != path_);
    std::lock_guard lock(mutex_);
    damaged_ = true;
    if (!kept) readFailure_ = FileError::refused(path_, QStringLiteral("is damaged and could not be kept aside"));
}

bool UserDefaults::keepDamagedAside(const QByteArray& bytes, bool linked) {
    const QString aside = SafeFile::asidePath(path_, QDateTime::currentDateTimeUtc());
    // A link stays in place and its target is replaced by the next write; only a copy goes aside.
    const auto error =
        linked ? FileWriter::shared().create(aside, bytes, 0600) : FileWriter::shared().moveAside(path_, aside);
    if (error) {
        qWarning("Settings file %s is damaged and could not be kept aside (%s); starting empty and not saving",
                 qPrintable(path_), qPrintable(error->reason));
        return false;
    }
    qWarning("Settings file %s is damaged; kept it as %s and started empty", qPrintable(path_), qPrintable(aside));
    // The file that replaces it is made with the mode the user gave it.
    if (const std::optional<mode_t> mode = linked ? std::nullopt : SafeFile::regularFileMode(aside)) {
        std::lock_guard lock(mutex_);
        newFileMode_ = *mode;
    }
    return true;
}

bool UserDefaults::writeLocked(QStringList& adopted, const FolderLock* waited) {
    if (path_.isEmpty()) return true;
    if (readFailure_ || access_ == Access::readOnly) return false;  // a read failure is said once, when read
    FileError error;
    // Followed again at every write: the user may have made or changed the link meanwhile.
    const std::optional<QString> target = SafeFile::followUsersLink(path_, false, &error);
    if (!target) {
        qWarning("Settings file %s cannot be written: %s", qPrintable(path_), qPrintable(error.reason));
        return false;
    }
    // A missing folder is made; a linked file's folder is there already. A failure shows in the write.
    if (*target == path_) (void)FileWriter::shared().makeFolder(QFileInfo(path_).absolutePath(), 0777);
    // What another instance saved meanwhile is read back under the lock; only the keys changed
    // here are laid over it. A file that is gone or damaged is written from the values here.
    // While the other holds the lock the write stays pending and is tried again.
    std::optional<FolderLock> tried;
    const FolderLock& folderLock = waited ? *waited : tried.emplace(QFileInfo(path_).absolutePath());
    if (folderLock.busy()) {
        scheduleRetry();
        return false;
    }
    if (folderLock.state() == FolderLock::State::failed) {
        qWarning("Settings file %s cannot be written: %s", qPrintable(path_),
                 qPrintable(folderLock.failure()->message()));
        return false;
    }
    if (!folderLock.held() && !lockFailureSaid_) {
        qWarning("Settings file %s is written without a lock: %s", qPrintable(path_),
                 qPrintable(folderLock.failure()->message()));
        lockFailureSaid_ = true;
    }
    pending_ = false;
    retryAttempt_ = 0;
    QJsonObject merged = values_;
    // A file as this instance wrote it last holds nothing new: it need not be read. One gone or
    // damaged is written from the values here, which hold the file last read or written.
    SaveLineage lineage;
    const QByteArray stamp = SafeFile::stamp(*target);
    const bool asWritten = !writtenStamp_.isEmpty() && stamp == writtenStamp_;
    if (asWritten) {
        lineage = baseLineage_.next();
    } else if (std::optional<OnDisk> onDisk = valuesOnDisk(*target, stamp)) {
        merged = std::move(onDisk->values);
        layOver(merged, onDisk->lineage);
        lineage = onDisk->lineage.next();
    } else {
        lineage = baseLineage_.next();
    }
    bool named = true;
    const QByteArray bytes = fileBytes(merged, lineage, named);
    if (bytes.size() > maxFileSize) {
        // Written, it would not be read at the next start: the file there is kept instead.
        qWarning("Settings file %s cannot be written: it would be larger than %lld bytes", qPrintable(path_),
                 maxFileSize);
        return false;
    }
    if (const auto failure = FileWriter::shared().write(*target, bytes, newFileMode_)) {
        qWarning("Settings file %s cannot be written: %s", qPrintable(path_), qPrintable(failure->reason));
        return false;
    }
    // Without locks another instance may write meanwhile: the file is then read again.
    const QByteArray written = SafeFile::stamp(*target);
    writtenStamp_ = folderLock.held() ? written : QByteArray();
    baseLineage_ = named ? lineage : SaveLineage::ofEmpty(written, lineage);
    written_.wrote(changed_, lineage, named);
    changed_.clear();
    adopted = keysThatDiffer(values_, merged);
    values_ = std::move(merged);
    return true;
}

bool UserDefaults::contains(const QString& key) const {
    std::lock_guard lock(mutex_);
    return values_.contains(key);
}

QStringList UserDefaults::keys() const {
    std::lock_guard lock(mutex_);
    return values_.keys();
}

QJsonValue UserDefaults::value(const QString& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.constFind(key);
    return it == values_.constEnd() ? QJsonValue(QJsonValue::Undefined) : *it;
}

std::optional<bool> UserDefaults::boolValue(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isBool()) return std::nullopt;
    return v.toBool();
}

std::optional<double> UserDefaults::doubleValue(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isDouble() || !std::isfinite(v.toDouble())) return std::nullopt;
    return v.toDouble();
}

std::optional<qint64> UserDefaults::integerValue(const QString& key) const {
    const std::optional<double> d = doubleValue(key);
    if (!d || std::trunc(*d) != *d || std::fabs(*d) > 9.0e15) return std::nullopt;
    return qint64(*d);
}

std::optional<QString> UserDefaults::string(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

std::optional<QJsonArray> UserDefaults::array(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isArray()) return std::nullopt;
    return v.toArray();
}

std::optional<QStringList> UserDefaults::stringArray(const QString& key) const {
    const std::optional<QJsonArray> a = array(key);
    if (!a) return std::nullopt;
    QStringList out;
    for (const QJsonValue& item : *a) {
        if (!item.isString()) return std::nullopt;
        out << item.toString();
    }
    return out;
}

std::optional<QJsonObject> UserDefaults::dictionary(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isObject()) return std::nullopt;
    return v.toObject();
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isString()) return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return *decoded;
}

void UserDefaults::set(const QString& key, const QJsonValue& newValue) {
    if (key == QLatin1String(savesKey)) return;
    if (newValue.isUndefined() || newValue.isNull()) {
        remove(key);
        return;
    }
    QStringList adopted;
    {
        std::lock_guard lock(mutex_);
        auto it = values_.constFind(key);
        if (it != values_.constEnd() && *it == newValue) return;
        values_.insert(key, newValue);
        changed_.insert(key);
        lastWriteOk_ = writeLocked(adopted);
    }
    emit valueChanged(key);
    for (const QString& other : std::as_const(adopted)) emit valueChanged(other);
}

void UserDefaults::setStringArray(const QString& key, const QStringList& v) {
    set(key, QJsonArray::fromStringList(v));
}

void UserDefaults::setData(const QString& key, const QByteArray& v) {
    set(key, QJsonValue(QString::fromLatin1(v.toBase64())));
}

void UserDefaults::remove(const QString& key) {
    QStringList adopted;
    {
        std::lock_guard lock(mutex_);
        if (!values_.contains(key)) return;
        values_.remove(key);
        changed_.insert(key);
        lastWriteOk_ = writeLocked(adopted);
    }
    emit valueChanged(key);
    for (const QString& other : std::as_const(adopted)) emit valueChanged(other);
}

bool UserDefaults::startedFromDamagedFile() const {
    std::lock_guard lock(mutex_);
    return damaged_;
}

std::optional<FileError> UserDefaults::readFailure() const {
    std::lock_guard lock(mutex_);
    return readFailure_;
}

bool UserDefaults::lastWriteSucceeded() const {
    std::lock_guard lock(mutex_);
    return lastWriteOk_;
}
