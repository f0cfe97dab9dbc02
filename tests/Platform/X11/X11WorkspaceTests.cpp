// The parts of the X11 workspace that need no X server.
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/X11/X11Workspace.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

TEST(X11WorkspaceIcons, ApplicationIconsComeFromTheirDesktopEntries) {
    const QString folder = QDir(TestSupport::tempRoot()).filePath("xdg_data_home/applications");
    QDir().mkpath(folder);
    const QString png = QDir(TestSupport::tempRoot()).filePath("red.png");
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));
    QFile entry(folder + "/org.example.Painter.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Painter\nExec=painter %F\nIcon=" + png.toUtf8() + "\n");
    entry.close();
    DesktopEntries::shared().rebuild();

    X11Workspace workspace;
    EXPECT_FALSE(workspace.icon("org.example.Painter.desktop").isNull());
    EXPECT_FALSE(workspace.icon(entry.fileName()).isNull());
    EXPECT_TRUE(workspace.icon("").isNull());
    EXPECT_TRUE(workspace.icon("/nonexistent/thing.desktop").isNull());
}

TEST(X11WorkspaceIcons, WithoutAnXServerThereIsNoWindowToReport) {
    X11Workspace workspace;  // offscreen: no X connection
    EXPECT_FALSE(workspace.frontmostApplication().has_value());
    EXPECT_TRUE(workspace.runningApplications().empty());
    EXPECT_FALSE(workspace.activate(X11Workspace::applicationForPid(QCoreApplication::applicationPid())));
    EXPECT_FALSE(workspace.terminate(X11Workspace::applicationForPid(QCoreApplication::applicationPid())));
}

TEST(X11WorkspaceIcons, AProcessIsNamedByItsExecutableWhenNoEntryOwnsIt) {
    const RunningApplication self = X11Workspace::applicationForPid(QCoreApplication::applicationPid());
    EXPECT_EQ(self.pid, QCoreApplication::applicationPid());
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_EQ(self.bundleIdentifier, executable);
    EXPECT_EQ(self.localizedName, executable);
    EXPECT_EQ(self.bundlePath, QCoreApplication::applicationFilePath());
}
