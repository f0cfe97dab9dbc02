#include "Platform/Core/Bundle.h"
#include "Platform/Core/Clock.h"
#include "Platform/Core/Random.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Gui/Screens.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <sys/stat.h>

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

    // A folder named in bytes that are not UTF-8, its look-alike beside it: the bundle is the real
    // one, and its resources come from inside the program, where Qt cannot be led to the look-alike.
    const QByteArray base = NativePath::encode(dir.path());
    for (const auto& [folder, build] : {std::pair{QByteArray("/x-\xe9"), "7"}, {"/x-\xef\xbf\xbd", "9"}}) {
        const std::string app = (base + folder + "/Quorvin.app").toStdString();
        std::filesystem::create_directories(app + "/bin");
        std::filesystem::create_directories(app + "/Resources");
        std::ofstream(app + "/Info.json") << R"({"version":"1.)" << build << R"(","build":")" << build << "\"}";
        std::ofstream(app + "/Resources/Changelog.json") << "[]";
    }
    const QString real = NativePath::decode(base + "/x-\xe9/Quorvin.app");
    const Bundle named = Bundle::forExecutable(real + "/bin/quorvin");
    EXPECT_EQ(named.build(), "7");
    EXPECT_EQ(NativePath::encode(named.bundlePath()), base + "/x-\xe9/Quorvin.app");
    EXPECT_EQ(named.resourcePath("Changelog.json"), ":/Changelog.json");
    std::filesystem::remove_all(base.toStdString());
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
