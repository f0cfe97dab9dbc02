#include "Platform/Core/Bundle.h"
#include "Platform/Core/Clock.h"
#include "Platform/Core/JsonText.h"
#include "Platform/Core/Random.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Gui/Screens.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

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

// Not a test of its own: prints this program's own path as the bundle reads it.
TEST(BundleHelper, PrintExecutablePath) {
    if (!qEnvironmentVariableIsSet("QUORVIN_TEST_PRINT_EXECUTABLE"))
        GTEST_SKIP() << "helper for Bundle.AProgramInADeepFolderReadsItsWholePath";
    printf("path: %s\n", NativePath::encode(Bundle::executablePath()).toPercentEncoding("/").constData());
    fflush(stdout);
}

// The program's own path is read into a buffer of some size first: one as long as that or longer is
// still read whole. This program, linked (or copied) into folders that make its path that long, says it.
TEST(Bundle, AProgramInADeepFolderReadsItsWholePath) {
    QTemporaryDir dir(QStringLiteral(QUORVIN_TEST_OUTPUT "/deep-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString base = QFileInfo(dir.path()).canonicalFilePath();
    const QString self = QCoreApplication::applicationFilePath();
    for (const int length : {255, 256, 257, 700}) {
        SCOPED_TRACE(length);
        const QString name = QStringLiteral("/program-%1").arg(length);
        QString fill;
        for (qsizetype i = 0; fill.size() < length - base.size() - 1 - name.size(); ++i)
            fill += i % 201 == 200 ? QLatin1Char('/') : QLatin1Char('d');
        if (fill.endsWith(QLatin1Char('/'))) fill.back() = QLatin1Char('d');
        const QString folder = base + "/" + fill, path = folder + name;
        ASSERT_EQ(NativePath::encode(path).size(), length);
        ASSERT_TRUE(QDir().mkpath(folder));
        if (::link(QFile::encodeName(self).constData(), QFile::encodeName(path).constData()) != 0) {
            ASSERT_TRUE(QFile::copy(self, path));
            ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
        }
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUORVIN_TEST_PRINT_EXECUTABLE", "1");
        program.setProcessEnvironment(env);
        program.start(path, {"--gtest_filter=BundleHelper.PrintExecutablePath"});
        ASSERT_TRUE(program.waitForFinished(30000));
        const QByteArray said = program.readAllStandardOutput();
        EXPECT_TRUE(said.contains("path: " + NativePath::encode(path).toPercentEncoding("/") + "\n"))
            << said.toStdString() << program.readAllStandardError().toStdString();
    }
}

// What parsers let through is no one JSON value: anything after the value, a NUL anywhere.
TEST(JsonText, OneValueIsOneValueWithNothingButWhitespaceAfterIt) {
    const struct {
        QByteArray text;
        bool one;
    } rows[] = {
        {R"({"a":[1,{"b":"]}"}]})", true},
        {" \n[1, 2]\r\n\t ", true},
        {R"("x\"y")", true},
        {"12.5", true},
        {"null  ", true},
        {"", false},
        {"  \n", false},
        {"{} x", false},
        {"[1]]", false},
        {R"({"a":1}})", false},
        {R"("s" "t")", false},
        {"1 2", false},
        {"true false", false},
        {"{}{}", false},
        {"[]x", false},
        {R"("a"b)", false},
        {QByteArray("{\"a\":\"b\0c\"}", 11), false},  // a NUL in a string
        {QByteArray("[1,\0 2]", 7), false},
        {QByteArray("{\"a\":1}\0", 8), false},  // a NUL after the value
        {QByteArray("\0{}", 3), false},
        {QByteArray("12\0", 3), false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(JsonText::isOneValue(row.text), row.one) << row.text.toPercentEncoding().constData();
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
