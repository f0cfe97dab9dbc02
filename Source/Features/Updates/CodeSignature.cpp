#include "Source/Features/Updates/CodeSignature.h"

#include "Platform/Files/NativePath.h"
#include "Platform/Files/UniqueFd.h"
#include "Source/Features/Updates/Ed25519.h"

#include <QMap>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int deepestFolder = 32;
constexpr int mostFiles = 20000;
constexpr qint64 largestManifest = 16 * 1024 * 1024;

struct FileRecord {
    QString mode;  // octal, as stat(1) prints %a
    QByteArray sha256;
};


// Every file below the folder fd, keyed by its path under `prefix`. Links and special files fail.
bool collect(int dirFd, const QString& prefix, int depth, QMap<QString, FileRecord>& out, QString* why) {
    if (depth > deepestFolder) {
        if (why) *why = QStringLiteral("folders nested too deeply at ") + prefix;
        return false;
    }
    UniqueFd own(::dup(dirFd));
    DIR* dir = own.get() >= 0 ? ::fdopendir(own.get()) : nullptr;
    if (!dir) {
        if (why) *why = QStringLiteral("cannot list ") + prefix;
        return false;
    }
    own.release();
    ::rewinddir(dir);
    QStringList names;
    while (dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..") continue;
        names << QString::fromUtf8(name);
    }
    ::closedir(dir);
    for (const QString& name : names) {
        const QString path = prefix.isEmpty() ? name : prefix + QLatin1Char('/') + name;
        if (name.contains(QLatin1Char('\n'))) {
            if (why) *why = QStringLiteral("a name with a line break: ") + path;
            return false;
        }
        struct stat st {};
        const QByteArray encoded = name.toUtf8();
        if (::fstatat(dirFd, encoded.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (why) *why = QStringLiteral("cannot read ") + path;
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            UniqueFd child(::openat(dirFd, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.get() < 0 || !collect(child.get(), path, depth + 1, out, why)) {
                if (why && why->isEmpty()) *why = QStringLiteral("cannot open ") + path;
                return false;
            }
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            if (why) *why = QStringLiteral("not a plain file: ") + path;
            return false;
        }
        // A second name elsewhere would let its owner change the file after the check.
        if (st.st_nlink != 1) {
            if (why) *why = QStringLiteral("a file with another name elsewhere: ") + path;
            return false;
        }
        if (out.size() >= mostFiles) {
            if (why) *why = QStringLiteral("too many files");
            return false;
        }
        UniqueFd file(::openat(dirFd, encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        const auto sum = file.get() >= 0 ? Sha256::ofFile(file.get()) : std::nullopt;
        if (!sum) {
            if (why) *why = QStringLiteral("cannot read ") + path;
            return false;
        }
        out.insert(path, {QString::number(st.st_mode & 07777, 8), *sum});
    }
    return true;
}

std::optional<QMap<QString, FileRecord>> files(const QString& bundlePath, QString* why) {
    UniqueFd root(::open(NativePath::encode(bundlePath).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (root.get() < 0) {
        if (why) *why = QStringLiteral("no bundle folder at ") + bundlePath;
        return std::nullopt;
    }
    QMap<QString, FileRecord> out;
    if (!collect(root.get(), QString(), 0, out, why)) return std::nullopt;
    out.remove(QString::fromLatin1(CodeSignature::manifestPath));
    out.remove(QString::fromLatin1(CodeSignature::signaturePath));
    return out;
}

std::optional<QByteArray> readSmall(const QString& path) {
    UniqueFd fd(::open(NativePath::encode(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_size > largestManifest)
        return std::nullopt;
    QByteArray bytes(qsizetype(st.st_size), '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        done += n;
    }
    return bytes;
}

}  // namespace

namespace CodeSignature {

std::optional<QByteArray> makeManifest(const QString& bundlePath, QString* why) {
    const auto listed = files(bundlePath, why);
    if (!listed) return std::nullopt;
    QByteArray manifest;
    for (auto it = listed->cbegin(); it != listed->cend(); ++it)
        manifest += it->mode.toLatin1() + ' ' + it->sha256.toHex() + ' ' + it.key().toUtf8() + '\n';
    return manifest;
}

bool verify(const QString& bundlePath, const QString& publicKeyBase64, QString* why) {
    const auto manifest = readSmall(bundlePath + QLatin1Char('/') + QLatin1String(manifestPath));
    const auto signature = readSmall(bundlePath + QLatin1Char('/') + QLatin1String(signaturePath));
    if (!manifest || !signature) {
        if (why) *why = QStringLiteral("the bundle has no signed manifest");
        return false;
    }
    if (!Ed25519::verify(*manifest, QString::fromLatin1(signature->trimmed()), publicKeyBase64)) {
        if (why) *why = QStringLiteral("the manifest's signature does not hold");
        return false;
    }
    QMap<QString, FileRecord> expected;
    for (const QByteArray& line : manifest->split('\n')) {
        if (line.isEmpty()) continue;
        const qsizetype a = line.indexOf(' ');
        const qsizetype b = a < 0 ? -1 : line.indexOf(' ', a + 1);
        if (b < 0 || b - a - 1 != 64) {
            if (why) *why = QStringLiteral("a manifest line that cannot be read");
            return false;
        }
        const QString path = QString::fromUtf8(line.mid(b + 1));
        const QByteArray sum = QByteArray::fromHex(line.mid(a + 1, 64));
        if (sum.size() != 32 || path.isEmpty() || expected.contains(path)) {
            if (why) *why = QStringLiteral("a manifest line that cannot be read");
            return false;
        }
        expected.insert(path, {QString::fromLatin1(line.left(a)), sum});
    }
    const auto actual = files(bundlePath, why);
    if (!actual) return false;
    for (auto it = actual->cbegin(); it != actual->cend(); ++it) {
        const auto want = expected.constFind(it.key());
        if (want == expected.cend()) {
            if (why) *why = QStringLiteral("a file the manifest does not list: ") + it.key();
            return false;
        }
        if (want->sha256 != it->sha256 || want->mode != it->mode) {
            if (why) *why = QStringLiteral("a file that differs from the manifest: ") + it.key();
            return false;
        }
    }
    if (actual->size() != expected.size()) {
        if (why) *why = QStringLiteral("a file of the manifest is missing");
        return false;
    }
    return true;
}

}  // namespace CodeSignature
