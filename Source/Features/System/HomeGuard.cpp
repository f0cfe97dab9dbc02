#include "Source/Features/System/HomeGuard.h"

#include "Platform/Files/NativePath.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <cstdlib>

namespace {

QString realPath(const QString& path) {
    char buffer[PATH_MAX];
    if (!::realpath(NativePath::encode(path).constData(), buffer)) return QString();
    return NativePath::decode(buffer);
}

}  // namespace

QString HomeGuard::normalised(const QString& path) {
    if (!QDir::isAbsolutePath(path)) return QString();
    const QString clean = QDir::cleanPath(path);
    if (clean == "/") return clean;
    const QFileInfo info(clean);
    const QString parent = realPath(info.absolutePath());
    if (parent.isEmpty()) return clean;
    return parent == "/" ? "/" + info.fileName() : parent + "/" + info.fileName();
}

HomeGuard::HomeGuard(const QString& home, const QStringList& trashes) : home_(QDir::cleanPath(home)) {
    for (const QString& trash : trashes) trashes_ << QDir::cleanPath(trash);
}

QString HomeGuard::resolved(const QString& path) {
    const QString real = realPath(path);
    return real.isEmpty() ? path : real;
}

QString HomeGuard::admit(const QString& path) const {
    if (home_.isEmpty()) return QString();
    const QString p = normalised(path);
    const QString home = resolved(home_);
    if (p.isEmpty() || home == "/" || !p.startsWith(home + "/")) return QString();
    for (const QString& trash : trashes_) {
        const QString t = resolved(trash);
        if (p == t || p.startsWith(t + "/")) return QString();
    }
    for (const QString& part : p.split('/', Qt::SkipEmptyParts))
        if (part == ".Trash" || part.startsWith(".Trash-")) return QString();
    return p;
}
