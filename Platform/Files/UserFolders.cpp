#include "Platform/Files/UserFolders.h"

#include "Platform/Files/NativePath.h"

#include <QDir>

#include <cstdlib>

namespace {

QString fromEnvironment(const char* variable, const char* underHome) {
    const QString value = NativePath::decode(qgetenv(variable));
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::cleanPath(UserFolders::home() + QLatin1String(underHome));
}

}  // namespace

namespace UserFolders {

QString home() {
    const QString value = NativePath::decode(qgetenv("HOME"));
    return value.isEmpty() ? QStringLiteral("/") : QDir::cleanPath(value);
}

QString configHome() { return fromEnvironment("XDG_CONFIG_HOME", "/.config"); }
QString dataHome() { return fromEnvironment("XDG_DATA_HOME", "/.local/share"); }
QString cacheHome() { return fromEnvironment("XDG_CACHE_HOME", "/.cache"); }

QString runtimeHome() {
    const QString value = NativePath::decode(qgetenv("XDG_RUNTIME_DIR"));
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString temporary() {
    QByteArray named = qgetenv("TMPDIR");
    if (named.isEmpty()) named = "/tmp";
    if (char* resolved = ::realpath(named.constData(), nullptr)) {
        const QString path = NativePath::decode(resolved);
        ::free(resolved);
        return path;
    }
    return QDir::cleanPath(NativePath::decode(named));
}

}  // namespace UserFolders
