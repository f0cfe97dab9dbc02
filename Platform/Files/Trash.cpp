#include "Platform/Files/Trash.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Files/UserFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {

Trash* sharedOverride = nullptr;

QByteArray native(const QString& path) { return NativePath::encode(path); }

std::optional<struct stat> linkStatus(const QString& path) {
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0) return std::nullopt;
    return st;
}

// The path with every link resolved, or empty when it cannot be.
QString resolved(const QString& path) {
    char buffer[PATH_MAX];
    if (!::realpath(native(path).constData(), buffer)) return QString();
    return NativePath::decode(buffer);
}

bool isInside(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder == "/" ? folder : folder + "/");
}

// The device a path would be on: its own, or that of its nearest existing ancestor.
std::optional<dev_t> deviceOf(QString path) {
    for (;;) {
        struct stat st {};
        if (::stat(native(path).constData(), &st) == 0) return st.st_dev;
        if (path == "/" || path.isEmpty()) return std::nullopt;
        path = QFileInfo(path).absolutePath();
    }
}

// The mount point holding the resolved folder `folder` on `device`.
QString topDirectory(QString folder, dev_t device) {
    while (folder != "/") {
        const QString up = QFileInfo(folder).absolutePath();
        struct stat st {};
        if (::stat(native(up).constData(), &st) != 0 || st.st_dev != device) break;
        folder = up;
    }
    return folder;
}

// A name in the Trash leaves room for its record's ".trashinfo" in a file name's bytes.
constexpr qsizetype kMaxTrashNameBytes = NAME_MAX - qsizetype(sizeof(".trashinfo") - 1);

qsizetype nameBytes(const QString& name) { return native(name).size(); }

// "name", "name 2", "name 3"...; a suffix goes before the extension of a file's name. A name too
// long for the Trash is shortened before its suffix and extension (the record keeps the original).
QString numberedName(const QString& name, int n, bool isFolder) {
    const QString suffix = n == 1 ? QString() : QString::asprintf(" %d", n);
    const int dot = isFolder ? -1 : int(name.lastIndexOf('.'));
    QString stem = dot <= 0 ? name : name.left(dot);
    QString extension = dot <= 0 ? QString() : name.mid(dot);
    if (nameBytes(suffix + extension) > kMaxTrashNameBytes / 2) {
        stem = name;
        extension.clear();
    }
    while (!stem.isEmpty() && nameBytes(stem + suffix + extension) > kMaxTrashNameBytes) {
        stem.chop(1);
        // Never leave half a surrogate pair behind.
        if (!stem.isEmpty() && stem.back().isHighSurrogate()) stem.chop(1);
    }
    return stem + suffix + extension;
}

// Makes `trash` with its "files" and "info" folders, private to the user, on `device`. Nothing is
// made where the folders would land on another file system.
std::optional<FileError> prepare(const QString& trash, dev_t device) {
    const auto target = deviceOf(trash);
    if (!target || *target != device)
        return FileError::refused(trash, QStringLiteral("is on another file system than the item"));
    for (const QString& folder : {trash, trash + "/files", trash + "/info"}) {
        if (auto error = FileWriter::shared().makePrivateFolder(folder)) return error;
    }
    struct stat st {};
    if (::stat(native(trash + "/files").constData(), &st) != 0) return FileError::fromErrno(trash, errno);
    if (st.st_dev != device)
        return FileError::refused(trash, QStringLiteral("is on another file system than the item"));
    return std::nullopt;
}

}  // namespace

Trash& Trash::shared() {
    static LinuxTrash system;
    return sharedOverride ? *sharedOverride : system;
}

void Trash::setShared(Trash* trash) { sharedOverride = trash; }

LinuxTrash::LinuxTrash(QString dataHome) : dataHome_(std::move(dataHome)) {}

QString LinuxTrash::homeTrash() const {
    QString base = dataHome_;
    if (base.isEmpty()) base = UserFolders::dataHome();
    return QDir::cleanPath(base) + "/Trash";
}

Trash::Outcome LinuxTrash::moveToTrash(const QString& given) {
    auto refuse = [&](const QString& reason) { return Outcome{FileError::refused(given, reason), {}}; };
    if (!QDir::isAbsolutePath(given)) return refuse(QStringLiteral("is not an absolute path"));
    const QString path = QDir::cleanPath(given);
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty() || path == "/") return refuse(QStringLiteral("is the root folder"));
    const auto item = linkStatus(path);
    if (!item) return {FileError::fromErrno(path, errno), {}};
    const bool isFolder = S_ISDIR(item->st_mode);

    // Where the item really is: its folder resolved, its own name kept (a link goes as a link).
    const QString folder = resolved(info.absolutePath());
    if (folder.isEmpty()) return {FileError::fromErrno(path, errno), {}};
    const QString real = folder == "/" ? "/" + name : folder + "/" + name;
    // A mounted file system's top folder cannot leave its mount point, and no trash can take it.
    const auto parent = linkStatus(folder);
    if (!parent) return {FileError::fromErrno(path, errno), {}};
    if (parent->st_dev != item->st_dev) return refuse(QStringLiteral("is the top folder of a mounted file system"));

    QString trash;
    QString recorded = path;
    const QString home = homeTrash();
    const auto homeDevice = deviceOf(home);
    if (homeDevice && *homeDevice == item->st_dev) {
        if (auto error = prepare(home, item->st_dev))
            return refuse(QStringLiteral("the Trash cannot be made: ") + error->message());
        trash = home;
    }
    if (trash.isEmpty()) {
        const QString top = topDirectory(folder, item->st_dev);
        const QString uid = QString::number(::getuid());
        const auto shared = linkStatus(top + "/.Trash");
        // A shared ".Trash" is used only when it is a real folder with the sticky bit.
        if (shared && S_ISDIR(shared->st_mode) && (shared->st_mode & S_ISVTX) &&
            !prepare(top + "/.Trash/" + uid, item->st_dev))
            trash = top + "/.Trash/" + uid;
        else if (!prepare(top + "/.Trash-" + uid, item->st_dev))
            trash = top + "/.Trash-" + uid;
        if (trash.isEmpty()) {
            return refuse(QStringLiteral("no trash on its file system can hold it (%1)").arg(top));
        }
        // Trashes on other file systems record paths relative to their top folder.
        recorded = top == "/" ? real.mid(1) : real.mid(top.size() + 1);
    }
    const QString trashReal = resolved(trash);
    if (isInside(trashReal, real) || isInside(real, trashReal))
        return refuse(QStringLiteral("holds the Trash or lies inside it"));

    const QByteArray record = "[Trash Info]\nPath=" + native(recorded).toPercentEncoding("/") + "\nDeletionDate=" +
                              QDateTime::currentDateTime().toString("yyyy-MM-ddTHH:mm:ss").toLatin1() + "\n";
    // The info file claims the name; the item follows it.
    for (int n = 1; n < 10000; ++n) {
        const QString unique = numberedName(name, n, isFolder);
        const QString target = trash + "/files/" + unique;
        if (linkStatus(target)) continue;
        const QString infoPath = trash + "/info/" + unique + ".trashinfo";
        if (auto error = FileWriter::shared().create(infoPath, record, 0600)) {
            if (error->code == EEXIST) continue;
            return {error, {}};
        }
        if (auto error = FileWriter::shared().moveAside(path, target)) {
            SafeFile::removeRegular(infoPath);
            if (error->code == EEXIST) continue;
            if (error->code == EXDEV)
                return refuse(QStringLiteral("would have to be copied to reach the Trash"));
            return {error, {}};
        }
        return {std::nullopt, target};
    }
    return refuse(QStringLiteral("the Trash holds too many items of that name"));
}
