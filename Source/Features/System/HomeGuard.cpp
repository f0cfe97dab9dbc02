#include "Source/Features/System/HomeGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstdlib>

namespace {

QString realPath(const QString& path) {
    char buffer[PATH_MAX];
    if (!::realpath(QFile::encodeName(path).constData(), buffer)) return QString();
    return QFile::decodeName(buffer);
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

HomeGuard::HomeGuard(const QString& home, const QStringList& trashes) {
    const QString real = realPath(home);
    home_ = real.isEmpty() ? QDir::cleanPath(home) : real;
    for (const QString& trash : trashes) {
        const QString resolved = realPath(trash);
        trashes_ << (resolved.isEmpty() ? QDir::cleanPath(trash) : resolved);
    }
}

QString HomeGuard::admit(const QString& path) const {
    const QString p = normalised(path);
    if (p.isEmpty() || home_.isEmpty() || home_ == "/" || !p.startsWith(home_ + "/")) return QString();
    for (const QString& trash : trashes_)
        if (p == trash || p.startsWith(trash + "/")) return QString();
    for (const QString& part : p.split('/', Qt::SkipEmptyParts))
        if (part == ".Trash" || part.startsWith(".Trash-")) return QString();
    return p;
}
