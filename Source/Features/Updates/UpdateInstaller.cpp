#include "Source/Features/Updates/UpdateInstaller.h"

#include "Platform/Core/JsonText.h"
#include "Platform/Files/FolderTree.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Files/UniqueFd.h"
#include "Platform/Files/UserFolders.h"
#include "Source/Features/Updates/BundleArchive.h"
#include "Source/Features/Updates/CodeSignature.h"
#include "Source/Features/Updates/Ed25519.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UpdateInstaller {

QString signatureFailure() { return QStringLiteral("The downloaded update failed its signature check."); }
QString notQuorvinFailure() { return QStringLiteral("The update archive is not Quorvin."); }
QString notSignedFailure() { return QStringLiteral("The update is not signed by the Quorvin developer."); }
QString wrongBuildFailure() { return QStringLiteral("The update archive is not the build the update server announced."); }
QString notNewerFailure() { return QStringLiteral("The update is not newer than the running version."); }

QString insecureRedirectFailure() {
    return QStringLiteral(
        "The update server sent the download on to an address that isn’t secure, so Quorvin stopped it. "
        "Try again later.");
}
QString downloadFailure() {
    return QStringLiteral("The update couldn’t be downloaded. Check your internet connection and try again.");
}

namespace {
bool isPermission(int code) { return code == EACCES || code == EPERM || code == EROFS; }
bool isSpace(int code) { return code == ENOSPC || code == EDQUOT; }
QString spaceFailure(const QString& folder) {
    return QStringLiteral("There isn’t enough space in ") + folder +
           QStringLiteral(" for the update. Free some space, then try again.");
}
}  // namespace

QString saveFailure(int code, const QString& folder) {
    if (isPermission(code))
        return QStringLiteral("No permission to save the update in ") + folder +
               QStringLiteral(
                   ". Make sure you can write to that folder (or set TMPDIR to one you can), then try again.");
    if (isSpace(code)) return spaceFailure(folder);
    return QStringLiteral("The update couldn’t be saved in ") + folder + QStringLiteral(". Try again later.");
}

QString replaceFailure(int code, const QString& folder) {
    if (isPermission(code)) return QStringLiteral("No permission to replace the app in ") + folder + QLatin1Char('.');
    if (isSpace(code)) return spaceFailure(folder);
    return QStringLiteral("The update couldn’t be put in place in ") + folder + QStringLiteral(". Try again later.");
}

std::optional<qint64> parseBuild(const QString& text) {
    QString digits = text;
    if (digits.startsWith(QLatin1Char('+'))) digits.remove(0, 1);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative) digits.remove(0, 1);
    if (digits.isEmpty()) return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    bool ok = false;
    const qint64 value = (negative ? QStringLiteral("-") + digits : digits).toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

namespace {

constexpr qint64 largestInfo = 1024 * 1024;
constexpr const char* stagingPrefix = ".quorvin-update-";
constexpr const char* downloadPrefix = "quorvin-update-";


bool isTemplateSuffix(const QByteArray& text) {
    if (text.size() != 6) return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// "<prefix><pid>-XXXXXX", or the older "<prefix>XXXXXX" that names no process.
bool isLeftoverName(const QByteArray& name, const char* prefix, std::optional<pid_t>* pid) {
    if (!name.startsWith(prefix)) return false;
    const QByteArray rest = name.mid(qsizetype(std::strlen(prefix)));
    if (isTemplateSuffix(rest)) {
        *pid = std::nullopt;
        return true;
    }
    const qsizetype dash = rest.indexOf('-');
    if (dash <= 0 || !isTemplateSuffix(rest.mid(dash + 1))) return false;
    const QByteArray digits = rest.left(dash);
    for (const char c : digits)
        if (c < '0' || c > '9') return false;
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok || value <= 0) return false;
    *pid = pid_t(value);
    return true;
}

// The names in the open folder that begin with `prefix`.
QList<QByteArray> namesStartingWith(int folder, const char* prefix) {
    QList<QByteArray> names;
    const int listing = ::dup(folder);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0) ::close(listing);
        return names;
    }
    while (const dirent* e = ::readdir(dir))
        if (std::strncmp(e->d_name, prefix, std::strlen(prefix)) == 0) names << QByteArray(e->d_name);
    ::closedir(dir);
    return names;
}

// A folder a crash or kill left in `parent`, opened and locked: one of our naming, a real folder (not
// a link) of this user's, whose process (where the name says which) has ended and which no process
// holds locked. -1 for anything else. The lock holds while the descriptor is open.
int claimLeftover(int parent, const QByteArray& name, const char* prefix) {
    std::optional<pid_t> pid;
    if (!isLeftoverName(name, prefix, &pid)) return -1;
    // A process that is alive (or that we may not signal) may still be using it.
    if (pid && (*pid == ::getpid() || ::kill(*pid, 0) == 0 || errno == EPERM)) return -1;
    struct stat st {};
    if (::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return -1;
    UniqueFd folder(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (folder.get() < 0 || ::fstat(folder.get(), &opened) != 0 || opened.st_dev != st.st_dev ||
        opened.st_ino != st.st_ino || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
        return -1;
    return folder.release();
}

// Removes the entries of a download folder, all of them files (a link is removed, never followed);
// false, with the folder left, when it holds a folder, which no download makes.
bool emptyOfFiles(int folder) {
    const int listing = ::dup(folder);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0) ::close(listing);
        return false;
    }
    QList<QByteArray> names;
    bool onlyFiles = true;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) onlyFiles = false;
        names << QByteArray(e->d_name);
    }
    ::closedir(dir);
    if (!onlyFiles) return false;
    for (const QByteArray& name : names)
        if (::unlinkat(folder, name.constData(), 0) != 0) return false;
    return true;
}

Outcome fail(const QString& message, const QString& detail) { return {false, message, detail}; }

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The archive's bytes when the file has exactly `length` of them.
std::optional<QByteArray> readExactly(const QString& path, qint64 length, QString* why) {
    const int fd = ::open(NativePath::encode(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot open the download: ") + systemError(errno);
        return std::nullopt;
    }
    struct stat st {};
    QByteArray bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == length;
    if (!ok) *why = QStringLiteral("the download is %1 bytes, not %2").arg(qint64(st.st_size)).arg(length);
    if (ok) {
        bytes.resize(qsizetype(length));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                *why = QStringLiteral("the download could not be read whole");
            }
            done += n > 0 ? n : 0;
        }
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return bytes;
}

std::optional<QJsonObject> readInfo(const QString& bundle) {
    const std::optional<QByteArray> bytes = SafeFile::readRegular(bundle + QStringLiteral("/Info.json"), largestInfo);
    if (!bytes || !JsonText::isOneValue(*bytes)) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes);
    if (!doc.isObject()) return std::nullopt;
    return doc.object();
}

// A regular file (not a link) that we may run.
bool isProgram(const QString& path) {
    const QByteArray native = NativePath::encode(path);
    struct stat st {};
    return ::lstat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::access(native.constData(), X_OK) == 0;
}

// The folder the bundle is in, links resolved, by its exact bytes; empty when it is gone.
QString bundleFolder(const QString& bundlePath) {
    char* resolved = ::realpath(NativePath::encode(QFileInfo(bundlePath).absolutePath()).constData(), nullptr);
    if (!resolved) return QString();
    const QString folder = NativePath::decode(resolved);
    ::free(resolved);
    return folder;
}

// The unpacking folder ".quorvin-update-<pid>-XXXXXX" beside the bundle, locked while it lives so that
// no start of ours sweeps it, and removed with all it holds when it goes.
class Staging {
public:
    explicit Staging(const QString& parent) : parent_(::open(NativePath::encode(parent).constData(), folderFlags)) {
        QByteArray pattern =
            NativePath::encode(parent) + '/' + stagingPrefix + QByteArray::number(::getpid()) + "-XXXXXX";
        if (parent_.get() < 0 || !::mkdtemp(pattern.data())) {
            error_ = errno;
            return;
        }
        name_ = pattern.mid(pattern.lastIndexOf('/') + 1);
        lock_ = ::openat(parent_.get(), name_.constData(), folderFlags | O_NOFOLLOW);
        if (lock_ < 0 || ::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
            error_ = errno;
            return;
        }
        path_ = parent + QLatin1Char('/') + NativePath::decode(name_);
    }
    ~Staging() {
        if (!name_.isEmpty()) FolderTree::remove(parent_.get(), name_);
        if (lock_ >= 0) ::close(lock_);
    }
    // Empty when it could not be made.
    const QString& path() const { return path_; }
    int error() const { return error_; }

private:
    static constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    UniqueFd parent_;
    QByteArray name_;
    int lock_ = -1;
    QString path_;
    int error_ = 0;
};

}  // namespace

QString downloadFolderTemplate(const QString& tempFolder) {
    return tempFolder + QLatin1Char('/') + downloadPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX");
}

QString temporaryFolder() { return UserFolders::temporary(); }

int sweepDownloads(const QString& tempFolder) {
    UniqueFd temp(::open(NativePath::encode(tempFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (temp.get() < 0) return 0;
    int removed = 0;
    for (const QByteArray& name : namesStartingWith(temp.get(), downloadPrefix)) {
        UniqueFd folder(claimLeftover(temp.get(), name, downloadPrefix));
        if (folder.get() < 0) continue;
        if (emptyOfFiles(folder.get()) && ::unlinkat(temp.get(), name.constData(), AT_REMOVEDIR) == 0) ++removed;
    }
    return removed;
}

int sweepLeftovers(const QString& bundlePath) {
    if (bundlePath.isEmpty()) return 0;
    UniqueFd parent(::open(NativePath::encode(QFileInfo(bundlePath).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0) return 0;
    int removed = 0;
    for (const QByteArray& name : namesStartingWith(parent.get(), stagingPrefix)) {
        UniqueFd folder(claimLeftover(parent.get(), name, stagingPrefix));
        if (folder.get() >= 0 && !FolderTree::remove(parent.get(), name)) ++removed;
    }
    return removed;
}

Outcome verifyAndReplace(const Job& job) {
    // 1. The exact bytes the maker signed.
    QString why;
    const std::optional<QByteArray> zip = readExactly(job.archivePath, job.length, &why);
    if (!zip) return fail(signatureFailure(), why);
    if (!Ed25519::verify(*zip, job.signature, job.updateKey))
        return fail(signatureFailure(), QStringLiteral("the archive's signature does not hold"));

    // 2. Those bytes unpacked beside the running bundle, on its file system.
    const QString parent = bundleFolder(job.bundlePath);
    if (parent.isEmpty())
        return fail(replaceFailure(ENOENT, NativePath::displayed(QFileInfo(job.bundlePath).absolutePath())),
                    QStringLiteral("the bundle's folder is gone"));
    Staging staging(parent);
    if (staging.path().isEmpty())
        return fail(replaceFailure(staging.error(), NativePath::displayed(parent)),
                    QStringLiteral("no unpacking folder: ") + systemError(staging.error()));
    const BundleArchive::Result unpacked = BundleArchive::unpack(*zip, staging.path());
    if (!unpacked.error.isEmpty()) return fail(notQuorvinFailure(), unpacked.error);
    const QString fresh = staging.path() + QLatin1Char('/') + unpacked.topFolder;

    // 3. This program, the announced build, newer than the running one.
    const std::optional<QJsonObject> info = readInfo(fresh);
    if (!info) return fail(notQuorvinFailure(), QStringLiteral("the update has no readable Info.json"));
    if (info->value(QLatin1String("identifier")).toString() != job.identifier)
        return fail(notQuorvinFailure(), QStringLiteral("the update's identifier is another program's"));
    if (!isProgram(fresh + QStringLiteral("/bin/quorvin")))
        return fail(notQuorvinFailure(), QStringLiteral("the update has no program"));
    const std::optional<qint64> build = parseBuild(info->value(QLatin1String("build")).toString());
    if (!build || *build != job.feedBuild)
        return fail(wrongBuildFailure(), QStringLiteral("the update holds build %1, the feed announced %2")
                                             .arg(info->value(QLatin1String("build")).toString())
                                             .arg(job.feedBuild));
    if (*build <= job.runningBuild)
        return fail(notNewerFailure(), QStringLiteral("build %1 is not newer than %2").arg(*build).arg(job.runningBuild));

    // 4. Every file as the maker signed it, and nothing else.
    if (!CodeSignature::verify(fresh, job.codeSigningKey, &why)) return fail(notSignedFailure(), why);

    // 5. One step: the new bundle takes the old one's place; the old one goes.
    if (::access(NativePath::encode(parent).constData(), W_OK) != 0)
        return fail(replaceFailure(EACCES, NativePath::displayed(parent)),
                    QStringLiteral("the bundle's folder is not writable"));
    if (::renameat2(AT_FDCWD, NativePath::encode(fresh).constData(), AT_FDCWD,
                    NativePath::encode(job.bundlePath).constData(), RENAME_EXCHANGE) != 0) {
        const int code = errno;
        return fail(replaceFailure(code, NativePath::displayed(parent)),
                    QStringLiteral("the bundles could not be swapped: ") + systemError(code));
    }
    return {true, QString(), QString()};
}

}  // namespace UpdateInstaller
