#include "Source/Extensions/ApplicationSupport.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/UserFolders.h"

#include <QDir>

QString URL::applicationSupportBase() { return UserFolders::dataHome(); }

QString URL::applicationSupport(const QString& name) {
    const QString path = QDir::cleanPath(applicationSupportBase() + "/" + name);
    // A failure is ignored: the caller's file operations report it.
    (void)FileWriter::shared().makeFolder(path, 0777);
    return path;
}
