#include "Platform/Files/NativePath.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Extensions/PngData.h"
#include "TestSupport.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

TEST(ApplicationSupport, CreatesNestedFoldersUnderXdgDataHomeWithNoAppLevel) {
    const QString base = qEnvironmentVariable("XDG_DATA_HOME");
    const QString path = URL::applicationSupport("ClipboardHistory/Images");
    EXPECT_EQ(path, base + "/ClipboardHistory/Images");
    EXPECT_TRUE(QFileInfo(path).isDir());
    // Asking again is harmless.
    EXPECT_EQ(URL::applicationSupport("ClipboardHistory/Images"), path);

    // A data folder named in bytes that are not UTF-8 is the one used, never the look-alike beside it.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    const QByteArray bytes = NativePath::encode(TestSupport::tempRoot()) + "/data-bytes";
    qputenv("XDG_DATA_HOME", bytes + "/caf\xff");
    const QString made = URL::applicationSupport("Snippets/Deeper");
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(NativePath::encode(made), bytes + "/caf\xff/Snippets/Deeper");
    EXPECT_TRUE(std::filesystem::is_directory((bytes + "/caf\xff/Snippets/Deeper").toStdString()));
    EXPECT_FALSE(std::filesystem::exists((bytes + "/caf\xef\xbf\xbd").toStdString()));
}

TEST(ApplicationSupport, ReturnsThePathEvenWhenItCannotBeCreated) {
    const QString blocker = URL::applicationSupport("Blocked");
    QDir(blocker).removeRecursively();
    QFile f(blocker);  // a file where the folder should be
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(URL::applicationSupport("Blocked/Inner"), qEnvironmentVariable("XDG_DATA_HOME") + "/Blocked/Inner");
    EXPECT_FALSE(QFileInfo(qEnvironmentVariable("XDG_DATA_HOME") + "/Blocked/Inner").exists());
}

TEST(PngData, EncodesAtTheImageSizeAndRefusesEmptyImages) {
    QImage image(7, 3, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30, 128));
    const auto png = pngData(image);
    ASSERT_TRUE(png.has_value());
    EXPECT_TRUE(png->startsWith("\x89PNG"));
    QImage back;
    ASSERT_TRUE(back.loadFromData(*png, "PNG"));
    EXPECT_EQ(back.size(), QSize(7, 3));
    EXPECT_EQ(back.pixelColor(3, 1).green(), 200);
    EXPECT_FALSE(pngData(QImage()).has_value());
}
