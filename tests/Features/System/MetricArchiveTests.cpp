#include "FailingFileWriter.h"
#include "LogCapture.h"
#include "Platform/Core/Clock.h"
#include "Source/Features/System/MetricArchive.h"
#include "SystemTestSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class MetricArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::setShared(clock);
        file = dir.path() + "/DaveRovaz/metrics.log";
    }
    void TearDown() override { Clock::setShared(nullptr); }

    MetricSample sampleAt(double secondsFromNow, double cpu = 10, std::optional<double> temperature = 55.5) const {
        return MetricSample{clock->now().addMSecs(qint64(secondsFromNow * 1000)), cpu, 50, 70, temperature};
    }
    QByteArray contents() const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::vector<MetricSample> loadAll(MetricArchive& archive) {
        std::optional<std::vector<MetricSample>> result;
        archive.load([&](std::vector<MetricSample> samples) { result = std::move(samples); });
        EXPECT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }));
        return result.value_or(std::vector<MetricSample>{});
    }
    QByteArray line(qint64 unixSeconds, const char* rest = "\t1.0\t2.0\t3.0\t-\n") const {
        return QByteArray::number(unixSeconds) + rest;
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    QTemporaryDir dir;
    QString file;
};

}  // namespace

TEST_F(MetricArchiveTest, WritesAtMostOneLineEvery30Seconds) {
    MetricArchive archive(file);
    for (int s = 0; s <= 95; s += 5) archive.record(sampleAt(s, s));
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), line(1'700'000'000, "\t0.0\t50.0\t70.0\t55.5\n") +
                              line(1'700'000'030, "\t30.0\t50.0\t70.0\t55.5\n") +
                              line(1'700'000'060, "\t60.0\t50.0\t70.0\t55.5\n") +
                              line(1'700'000'090, "\t90.0\t50.0\t70.0\t55.5\n"));

    // A new process continues the spacing from the last line on disk.
    MetricArchive again(file);
    again.record(sampleAt(100));
    again.record(sampleAt(120));
    again.waitUntilIdle();
    EXPECT_EQ(MetricArchive::parse(contents()).size(), 5u);

    // A clock set back does not silence the log until it catches up again.
    again.record(sampleAt(-3600));
    again.waitUntilIdle();
    EXPECT_EQ(MetricArchive::parse(contents()).size(), 6u);
}

TEST_F(MetricArchiveTest, TrimKeepsTheLastDayAndDropsUnreadableLines) {
    const qint64 now = 1'700'000'000;
    QByteArray log = line(now - 90000) +                  // older than a day
                     "garbage line\n" +                   //
                     line(now - 86400) +                  // exactly a day: kept
                     line(now - 600, "\t1,5\t2\t3\t-\n") +  // comma decimals: unreadable
                     line(now - 500, "\t101\t2\t3\t-\n") +  // not a percentage
                     line(now - 400, "\t1\t2\t3\n") +       // a field missing
                     line(now - 60, "\t4.5\t5\t6\t61.2\n") + //
                     line(now - 30).left(8);              // cut short by a crash
    ASSERT_TRUE(SystemFixtures::writeFile(file, log));
    ::chmod(QFile::encodeName(file).constData(), 0640);
    auto kept = [&] { return QDir(dir.path() + "/DaveRovaz").entryList({"metrics.log.damaged-*"}, QDir::Files); };
    const LogCapture capture;
    MetricArchive archive(file);
    archive.trim();
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), line(now - 86400) + line(now - 60, "\t4.5\t5\t6\t61.2\n"));
    // The damaged log is kept aside as it was, as the other stores keep theirs, and the log says so.
    ASSERT_EQ(kept().size(), 1);
    EXPECT_EQ(readAll(dir.path() + "/DaveRovaz/" + kept()[0]), log);
    EXPECT_EQ(capture.matching({"Metric log", "is damaged", kept()[0]}).size(), 1)
        << qPrintable(capture.all().join('\n'));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Spacing continues from the last kept line.
    archive.record(sampleAt(-40));
    archive.record(sampleAt(0));
    archive.waitUntilIdle();
    EXPECT_EQ(MetricArchive::parse(contents()).size(), 3u);

    // Lines only too old, or from the future, are no damage: nothing more is kept aside.
    ASSERT_TRUE(SystemFixtures::writeFile(file, line(now - 90000) + line(now - 30) + line(now + 600)));
    archive.trim();
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), line(now - 30));
    EXPECT_EQ(kept().size(), 1);

    // A log of NULs (what a power cut can leave) with one sample after them.
    clock->advance(1);
    const QByteArray nuls = QByteArray(4096, '\0') + "\n" + line(now - 10);
    ASSERT_TRUE(SystemFixtures::writeFile(file, nuls));
    archive.trim();
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), line(now - 10));
    ASSERT_EQ(kept().size(), 2);
    EXPECT_EQ(readAll(dir.path() + "/DaveRovaz/" + kept()[1]), nuls);
}

TEST_F(MetricArchiveTest, LoadGivesTheLastDayInFileOrderOnTheGuiThread) {
    const qint64 now = 1'700'000'000;
    ASSERT_TRUE(SystemFixtures::writeFile(
        file, line(now - 100000) + line(now - 7200, "\t12.5\t40\t80\t-\n") + "\t\t\n" +
                  line(now - 3600, "\t30\t41\t80\t70.25\n") + line(now - 4000)));
    MetricArchive archive(file);
    bool onGui = false;
    std::optional<std::vector<MetricSample>> result;
    archive.load([&](std::vector<MetricSample> samples) {
        onGui = QThread::currentThread() == qApp->thread();
        result = std::move(samples);
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return result.has_value(); }));
    EXPECT_TRUE(onGui);
    ASSERT_EQ(result->size(), 3u);
    EXPECT_EQ((*result)[0], (MetricSample{QDateTime::fromSecsSinceEpoch(now - 7200, QTimeZone::utc()), 12.5, 40,
                                          80, std::nullopt}));
    EXPECT_EQ((*result)[1].temperature, 70.25);
    EXPECT_EQ((*result)[2].at.toSecsSinceEpoch(), now - 4000);  // file order, not time order

    MetricArchive missing(dir.path() + "/none/metrics.log");
    EXPECT_TRUE(loadAll(missing).empty());
}

TEST_F(MetricArchiveTest, ALineCutShortDoesNotSwallowTheNextOne) {
    ASSERT_TRUE(SystemFixtures::writeFile(file, line(1'699'999'000) + "16999995"));
    MetricArchive archive(file);
    archive.record(sampleAt(0));
    archive.waitUntilIdle();
    const auto samples = MetricArchive::parse(contents());
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1].at, clock->now());
}

TEST_F(MetricArchiveTest, DefaultLocationIsUnderApplicationSupport) {
    MetricArchive archive;
    EXPECT_EQ(archive.filePath(), qEnvironmentVariable("XDG_DATA_HOME") + "/DaveRovaz/metrics.log");
    EXPECT_TRUE(QFileInfo(archive.filePath()).dir().exists());
}

TEST_F(MetricArchiveTest, ALogKeptOpenForDaysIsTrimmedAsItGrows) {
    MetricArchive archive(file);
    const int lines = MetricArchive::linesBetweenTrims + 100;
    clock->advance(lines * 30.0);  // "now" is the last sample's time
    for (int i = 0; i < lines; ++i) archive.record(sampleAt(-(lines - 1 - i) * 30.0));
    archive.waitUntilIdle();
    const auto samples = MetricArchive::parse(contents());
    // The trim after 2880 lines dropped those more than a day old.
    EXPECT_LT(samples.size(), size_t(lines));
    EXPECT_GE(samples.front().at, clock->now().addSecs(-86400));
    EXPECT_EQ(samples.back().at, clock->now());
}

TEST_F(MetricArchiveTest, FailedWritesAreLoggedAndLeaveTheLogAsItWas) {
    MetricArchive archive(file);
    archive.record(sampleAt(0));
    archive.waitUntilIdle();
    const QByteArray before = contents();
    FailingFileWriter failing;
    LogCapture log;
    failing.failPathsContaining("metrics.log");
    archive.record(sampleAt(30));
    archive.record(sampleAt(60));
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), before);
    // Once for the two samples: a full disk must not flood the log every 30 s.
    EXPECT_EQ(log.matching({"warning com.pelwick.Quorvin.Metrics", file, "No space left on device"}).size(), 1);

    // The trim's rewrite fails the same way and keeps the old file.
    clock->advance(2 * 86400);
    archive.trim();
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(failing.failedPaths(), (QStringList{file, file, file}));

    // Working again, the next sample is written; a later failure is logged afresh.
    failing.succeedAgain();
    archive.record(sampleAt(0));
    archive.waitUntilIdle();
    EXPECT_EQ(MetricArchive::parse(contents()).back().at, clock->now());
    failing.failPathsContaining("metrics.log");
    archive.record(sampleAt(40));
    archive.waitUntilIdle();
    EXPECT_EQ(log.matching({file, "No space left on device"}).size(), 2);
}

TEST_F(MetricArchiveTest, ALogOrFolderThatIsALinkIsNeitherReadNorWritten) {
    const QString notes = dir.path() + "/notes.txt";
    const QByteArray text = "1700000000\tmy own notes, not metrics\n";
    ASSERT_TRUE(SystemFixtures::writeFile(notes, text));
    QDir().mkpath(QFileInfo(file).absolutePath());
    ASSERT_EQ(::symlink(QFile::encodeName(notes).constData(), QFile::encodeName(file).constData()), 0);
    LogCapture log;
    MetricArchive archive(file);
    archive.trim();
    archive.record(sampleAt(0));
    archive.waitUntilIdle();
    EXPECT_TRUE(loadAll(archive).empty());
    EXPECT_EQ(readAll(notes), text);
    EXPECT_TRUE(QFileInfo(file).isSymLink());
    EXPECT_FALSE(log.matching({file, "is a symbolic link"}).isEmpty());

    // A linked folder: the notes folder keeps its mode and gains no log.
    const QString elsewhere = dir.path() + "/Elsewhere";
    QDir().mkpath(elsewhere);
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(dir.path() + "/Linked").constData()), 0);
    MetricArchive linked(dir.path() + "/Linked/metrics.log");
    linked.record(sampleAt(0));
    linked.waitUntilIdle();
    EXPECT_FALSE(QFile::exists(elsewhere + "/metrics.log"));
    EXPECT_EQ(QFileInfo(elsewhere).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
}

TEST_F(MetricArchiveTest, LinesDatedInTheFutureAreTrimmedAndNotLoaded) {
    const qint64 now = 1'700'000'000;
    ASSERT_TRUE(SystemFixtures::writeFile(file, line(now - 60) + line(now) + line(now + 3600) + line(now + 86400 * 365)));
    MetricArchive archive(file);
    EXPECT_EQ(loadAll(archive).size(), 2u);
    archive.trim();
    archive.waitUntilIdle();
    EXPECT_EQ(contents(), line(now - 60) + line(now));
    // The spacing is counted from the last line kept, not from the future one.
    archive.record(sampleAt(30));
    archive.waitUntilIdle();
    EXPECT_EQ(MetricArchive::parse(contents()).size(), 3u);
}
