// Test entry: isolates the XDG folders in a fresh temp dir and runs GoogleTest inside a QApplication.
#include "TestSupport.h"

#include "Platform/Gui/SystemColors.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

static QString g_tempRoot;

QString TestSupport::tempRoot() { return g_tempRoot; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    QTemporaryDir temp(QDir::tempPath() + "/quorvin-test-XXXXXX");
    g_tempRoot = temp.path();
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        QString path = g_tempRoot + "/" + QString::fromLatin1(var).toLower();
        QDir().mkpath(path);
        qputenv(var, path.toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SystemColors::followApplicationPalette();
    return RUN_ALL_TESTS();
}
