#include "App/MerovaneApp.h"
#include "Platform/Core/Bundle.h"
#include "Platform/Core/Clock.h"
#include "Platform/Core/Random.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Extensions/PngData.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>

TEST(ApplicationSupport, CreatesNestedFoldersUnderXdgDataHomeWithNoAppLevel) {
    const QString base = qEnvironmentVariable("XDG_DATA_HOME");
    const QString path = URL::applicationSupport("ClipboardHistory/Images");
    EXPECT_EQ(path, base + "/ClipboardHistory/Images");
    EXPECT_TRUE(QFileInfo(path).isDir());
    // Asking again is harmless.
    EXPECT_EQ(URL::applicationSupport("ClipboardHistory/Images"), path);
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

TEST(LegacyMigration, CopiesMissingKeysOnceAndKeepsCurrentValues) {
    UserDefaults current(QString{}), legacy(QString{});
    legacy.setDouble("updateInterval", 10);
    legacy.setString("statusIcon", "symbol:cpu");
    legacy.setBool("menuBarPetEnabled", false);
    current.setString("statusIcon", "original");

    int asked = 0;
    auto legacyDomain = [&]() -> UserDefaults& {
        ++asked;
        return legacy;
    };
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, legacyDomain), 2);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(current.doubleValue("updateInterval"), 10.0);
    EXPECT_EQ(current.string("statusIcon"), QString("original"));
    EXPECT_EQ(current.boolValue("menuBarPetEnabled"), false);
    EXPECT_EQ(current.boolValue("migratedLegacyDefaults"), true);

    // Only once: later legacy values and removed keys are not copied again.
    legacy.setString("panelGlassTone", "blue");
    current.remove("updateInterval");
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, legacyDomain), 0);
    EXPECT_EQ(asked, 1);  // the former file is not read again once migrated
    EXPECT_FALSE(current.contains("panelGlassTone"));
    EXPECT_FALSE(current.contains("updateInterval"));
}

TEST(LegacyMigration, ADamagedSettingsFileIsNotFilledWithTheLegacyValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"maxClipboardItems\": 180, trailing");
    }
    UserDefaults current(path), legacy(QString{});
    legacy.setInteger("maxClipboardItems", 20);
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, [&]() -> UserDefaults& { return legacy; }), 0);
    EXPECT_FALSE(current.contains("maxClipboardItems"));
    EXPECT_EQ(current.boolValue("migratedLegacyDefaults"), true);
}

TEST(LegacyMigration, ASettingsFileThatCannotBeReadIsNotMigratedInto) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    UserDefaults current(path), legacy(QString{});
    legacy.setInteger("maxClipboardItems", 20);
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, [&]() -> UserDefaults& { return legacy; }), 0);
    EXPECT_FALSE(current.contains("maxClipboardItems"));
    EXPECT_FALSE(current.contains("migratedLegacyDefaults"));
}

TEST(Bundle, ReadsInfoJsonInsideABundleAndFallsBackOutside) {
    QTemporaryDir dir;
    const QString app = dir.path() + "/Quorvin.app";
    QDir().mkpath(app + "/bin");
    QDir().mkpath(app + "/Resources");
    QFile info(app + "/Info.json");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write(R"({"identifier":"com.pelwick.Quorvin","version":"2.3.1","build":"231"})");
    info.close();
    QFile res(app + "/Resources/Changelog.json");
    ASSERT_TRUE(res.open(QIODevice::WriteOnly));
    res.close();

    const Bundle inside = Bundle::forExecutable(app + "/bin/quorvin");
    EXPECT_EQ(inside.version(), "2.3.1");
    EXPECT_EQ(inside.build(), "231");
    EXPECT_EQ(inside.bundlePath(), QDir::cleanPath(app));
    EXPECT_EQ(inside.resourcePath("Changelog.json"), app + "/Resources/Changelog.json");
    EXPECT_EQ(inside.resourcePath("Missing.png"), ":/Missing.png");

    const Bundle outside = Bundle::forExecutable(dir.path() + "/quorvin");
    EXPECT_EQ(outside.identifier(), "com.pelwick.Quorvin");
    EXPECT_EQ(outside.version(), QUORVIN_VERSION);
    EXPECT_TRUE(outside.bundlePath().isEmpty());
}

TEST(Screens, UpwardAndQtSpacesConvertBothWays) {
    const double h = 1080;
    // A 264×300 panel whose top edge sits 24 px below the top of the screen.
    const QRectF upward(100, 1080 - 24 - 300, 264, 300);
    const QRectF qt = Screens::toQt(upward, h);
    EXPECT_EQ(qt, QRectF(100, 24, 264, 300));
    EXPECT_EQ(Screens::fromQt(qt, h), upward);
    EXPECT_EQ(Screens::toQt(QPointF(5, 0), h), QPointF(5, 1080));
    EXPECT_EQ(Screens::fromQt(QPointF(5, 1080), h), QPointF(5, 0));
}

TEST(ReferenceDate, CountsSecondsFrom2001) {
    const QDateTime epoch2001 = QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_DOUBLE_EQ(ReferenceDate::seconds(epoch2001), 0.0);
    EXPECT_EQ(ReferenceDate::date(86400.5), epoch2001.addMSecs(86400500));
}

TEST(Random, IntegerIsUnbiasedAndWithinBounds) {
    SeededRandom random(42);
    std::map<int64_t, int> counts;
    for (int i = 0; i < 60000; ++i) ++counts[random.integer(1, 6)];
    ASSERT_EQ(counts.size(), 6u);
    for (auto [value, count] : counts) {
        EXPECT_GE(value, 1);
        EXPECT_LE(value, 6);
        EXPECT_NEAR(count, 10000, 500);
    }
    EXPECT_EQ(random.integer(5, 5), 5);
    for (int i = 0; i < 1000; ++i) {
        const double u = random.uniform(-1, 1);
        EXPECT_GE(u, -1);
        EXPECT_LT(u, 1);
    }
    EXPECT_EQ(SystemRandom().bytes(33).size(), 33);
}

TEST(Clock, SharedClockCanBeReplaced) {
    auto fake = std::make_shared<FakeClock>();
    Clock::setShared(fake);
    const QDateTime start = Clock::shared().now();
    fake->advance(30);
    EXPECT_EQ(start.secsTo(Clock::shared().now()), 30);
    EXPECT_DOUBLE_EQ(Clock::shared().monotonic(), 30.0);
    Clock::setShared(nullptr);
    EXPECT_NEAR(double(Clock::shared().now().toSecsSinceEpoch()), double(QDateTime::currentSecsSinceEpoch()), 2.0);
}
