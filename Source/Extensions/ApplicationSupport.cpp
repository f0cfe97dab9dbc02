#include "Source/Extensions/ApplicationSupport.h"

#include <QDir>

QString URL::applicationSupportBase() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.local/share";
    return QDir::cleanPath(base);
}

QString URL::applicationSupport(const QString& name) {
    const QString path = QDir::cleanPath(applicationSupportBase() + "/" + name);
    QDir().mkpath(path);  // a failure is ignored: the caller's file operations report it
    return path;
}
