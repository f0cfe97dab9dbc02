#include "Platform/Files/UserFolders.h"

#include "Platform/Files/NativePath.h"

#include <QDir>

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

}  // namespace UserFolders
