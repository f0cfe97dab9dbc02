#include "Source/Features/Updates/UpdateInstaller.h"

#include "Source/Features/Updates/BundleArchive.h"
#include "Source/Features/Updates/CodeSignature.h"
#include "Source/Features/Updates/Ed25519.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UpdateInstaller {

QString signatureFailure() { return QStringLiteral("The downloaded update failed its signature check."); }
QString notQuorvinFailure() { return QStringLiteral("The update archive is not Quorvin."); }
QString notSignedFailure() { return QStringLiteral("The update is not signed by the Quorvin developer."); }
QString wrongBuildFailure() { return QStringLiteral("The update archive is not the build the update server announced."); }
QString notNewerFailure() { return QStringLiteral("The update is not newer than the running version."); }

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
const QString stagingPrefix = QStringLiteral(".quorvin-update-");

Outcome fail(const QString& message, const QString& detail) { return {false, message, detail}; }

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The archive's bytes when the file has exactly `length` of them.
std::optional<QByteArray> readExactly(const QString& path, qint64 length, QString* why) {
    const int fd = ::open(path.toUtf8().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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
    QFile file(bundle + QStringLiteral("/Info.json"));
    if (QFileInfo(file.fileName()).isSymLink() || !file.open(QIODevice::ReadOnly) || file.size() > largestInfo)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(largestInfo));
    if (!doc.isObject()) return std::nullopt;
    return doc.object();
}

class Staging {
public:
    explicit Staging(const QString& parent) {
        QByteArray pattern = (parent + QLatin1Char('/') + stagingPrefix + QStringLiteral("XXXXXX")).toUtf8();
        if (::mkdtemp(pattern.data())) path_ = QString::fromUtf8(pattern);
        else error_ = errno;
    }
    ~Staging() {
        if (!path_.isEmpty()) QDir(path_).removeRecursively();
    }
    const QString& path() const { return path_; }
    int error() const { return error_; }

private:
    QString path_;
    int error_ = 0;
};

}  // namespace

int sweepLeftovers(const QString& bundlePath) {
    if (bundlePath.isEmpty()) return 0;
    const QDir parent = QFileInfo(bundlePath).absoluteDir();
    int removed = 0;
    for (const QFileInfo& entry : parent.entryInfoList({stagingPrefix + QLatin1Char('*')},
                                                       QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (entry.isSymLink() || entry.fileName().size() != stagingPrefix.size() + 6) continue;
        if (QDir(entry.filePath()).removeRecursively()) ++removed;
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
    const QString parent = QFileInfo(QFileInfo(job.bundlePath).absolutePath()).canonicalFilePath();
    if (parent.isEmpty()) return fail(systemError(ENOENT), QStringLiteral("the bundle's folder is gone"));
    Staging staging(parent);
    if (staging.path().isEmpty()) return fail(systemError(staging.error()), QStringLiteral("no unpacking folder"));
    const BundleArchive::Result unpacked = BundleArchive::unpack(*zip, staging.path());
    if (!unpacked.error.isEmpty()) return fail(notQuorvinFailure(), unpacked.error);
    const QString fresh = staging.path() + QLatin1Char('/') + unpacked.topFolder;

    // 3. This program, the announced build, newer than the running one.
    const std::optional<QJsonObject> info = readInfo(fresh);
    if (!info) return fail(notQuorvinFailure(), QStringLiteral("the update has no readable Info.json"));
    if (info->value(QLatin1String("identifier")).toString() != job.identifier)
        return fail(notQuorvinFailure(), QStringLiteral("the update's identifier is another program's"));
    const QFileInfo executable(fresh + QStringLiteral("/bin/quorvin"));
    if (executable.isSymLink() || !executable.isFile() || !executable.isExecutable())
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
    if (::access(parent.toUtf8().constData(), W_OK) != 0)
        return fail(QStringLiteral("No permission to replace the app in ") + parent + QLatin1Char('.'),
                    QStringLiteral("the bundle's folder is not writable"));
    if (::renameat2(AT_FDCWD, fresh.toUtf8().constData(), AT_FDCWD, job.bundlePath.toUtf8().constData(),
                    RENAME_EXCHANGE) != 0) {
        const int code = errno;
        return fail(systemError(code), QStringLiteral("the bundles could not be swapped"));
    }
    return {true, QString(), QString()};
}

}  // namespace UpdateInstaller
