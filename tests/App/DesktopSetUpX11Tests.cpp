// File icons on a bare X server, where no desktop names an icon theme: they come from the
// fallback theme the program sets.
#include "App/MerovaneApp.h"
#include "Platform/X11/X11Workspace.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QIcon>

#include <gtest/gtest.h>

TEST(DesktopSetUpX11, FileIconsComeFromTheFallbackTheme) {
    // Before any icon is looked up, as at start-up (Qt keeps a theme's misses).
    MerovaneApp::setUpIcons();
    EXPECT_EQ(QIcon::fallbackThemeName(), QStringLiteral("Adwaita"));
    const QString dir = TestSupport::tempRoot() + "/icons";
    ASSERT_TRUE(QDir().mkpath(dir));
    QFile text(dir + "/notes.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain text\n");
    text.close();
    X11Workspace workspace;
    EXPECT_FALSE(workspace.icon(text.fileName()).isNull());
    EXPECT_FALSE(workspace.icon(dir).pixmap(32).isNull());  // a folder
}
