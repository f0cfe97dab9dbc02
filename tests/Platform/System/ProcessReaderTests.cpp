#include "Platform/System/ProcessReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace {

const QString fixture = QStringLiteral(QUORVIN_FIXTURES "/proc-desktop");

const ProcessReader::Record* find(const std::vector<ProcessReader::Record>& records, int32_t pid) {
    for (const auto& r : records)
        if (r.stat.pid == pid) return &r;
    return nullptr;
}

}  // namespace

TEST(ProcessReader, ParsesStatWhoseNameHoldsSpacesAndParentheses) {
    ProcessReader::Stat s;
    ASSERT_TRUE(ProcessReader::parseStat(
        "77 (a) b (c) ) S 12 77 77 0 -1 2097216 5 0 0 0 31 9 0 0 20 0 1 0 4321 8192000 250 184467\n", s));
    EXPECT_EQ(s.pid, 77);
    EXPECT_EQ(s.comm, "a) b (c) ");
    EXPECT_EQ(s.state, 'S');
    EXPECT_EQ(s.ppid, 12);
    EXPECT_EQ(s.flags, 2097216u);
    EXPECT_EQ(s.utime, 31u);
    EXPECT_EQ(s.stime, 9u);
    EXPECT_EQ(s.cpuTicks(), 40u);
    EXPECT_EQ(s.startTicks, 4321u);
    EXPECT_EQ(s.rssPages, 250u);

    // Broken or cut-off lines are refused rather than half read.
    for (const char* bad : {"", "12 bash S 1", "12 (bash) S 1 2 3", "12 (bash", "x (bash) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 20 0 1 0 5",
                            "12 (bash) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 20 0 1 0",
                            "12 (bash) S 1 1 1 0 -1 0 0 0 0 0 1 1 0 0 20 0 1 0 5 100"}) {
        ProcessReader::Stat t;
        EXPECT_FALSE(ProcessReader::parseStat(bad, t)) << bad;
    }
}

TEST(ProcessReader, ReadsTheFixtureTree) {
    ProcessReader reader(fixture);
    std::vector<int32_t> pids;
    ASSERT_TRUE(reader.listPids(pids));
    EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
    EXPECT_EQ(pids.front(), 1);
    EXPECT_EQ(std::count(pids.begin(), pids.end(), 1100), 1);

    const auto records = reader.readAll();
    ASSERT_EQ(records.size(), pids.size());  // "sys" and "self" are no processes

    for (int32_t kernel : {2, 15, 40}) {
        const auto* r = find(records, kernel);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->isKernelThread) << kernel;
    }
    for (int32_t user : {1, 800, 1030, 1050}) EXPECT_FALSE(find(records, user)->isKernelThread) << user;

    const auto* weird = find(records, 1030);
    EXPECT_EQ(weird->stat.comm, "my) (tool x");
    EXPECT_EQ(weird->stat.ppid, 1010);
    EXPECT_EQ(weird->stat.cpuTicks(), 400u);
    EXPECT_EQ(weird->residentBytes, 500u * uint64_t(ProcessReader::pageSize()));
    EXPECT_EQ(weird->executablePath, "/home/user/bin/my-tool");
    EXPECT_EQ(weird->arguments, QStringList({"./my-tool", "--fast"}));

    // Another user's process: no executable link, but its command line.
    const auto* other = find(records, 1500);
    EXPECT_TRUE(other->executablePath.isEmpty());
    EXPECT_EQ(other->arguments.value(0), "transmission-gtk");

    const auto start = reader.startDate(find(records, 1000)->stat.startTicks);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->toMSecsSinceEpoch(), 1700000000000LL + 2000LL * 1000 / ProcessReader::clockTicksPerSecond());
    EXPECT_FALSE(reader.read(4242).has_value());
}

TEST(ProcessReader, MissingRootAndReplacedExecutables) {
    ProcessReader missing(QStringLiteral("/nonexistent/proc"));
    std::vector<int32_t> pids{1, 2};
    EXPECT_FALSE(missing.listPids(pids));
    EXPECT_TRUE(pids.empty());
    EXPECT_TRUE(missing.readAll().empty());
    EXPECT_FALSE(missing.startDate(100).has_value());

    // An upgraded binary still running: the link ends in " (deleted)".
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("31"));
    ASSERT_TRUE(QFile::link("/usr/bin/old tool (deleted)", dir.path() + "/31/exe"));
    ProcessReader reader(dir.path());
    EXPECT_EQ(reader.readExecutablePath(31), "/usr/bin/old tool");
}

TEST(ProcessReader, LiveProcSmoke) {
    ProcessReader reader;
    std::vector<int32_t> pids;
    ASSERT_TRUE(reader.listPids(pids));
    const int32_t self = int32_t(getpid());
    EXPECT_TRUE(std::binary_search(pids.begin(), pids.end(), self));

    const auto me = reader.read(self);
    ASSERT_TRUE(me.has_value());
    EXPECT_FALSE(me->isKernelThread);
    EXPECT_GT(me->residentBytes, 1024u * 1024u);
    EXPECT_EQ(QFileInfo(me->executablePath).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    EXPECT_EQ(QString::fromStdString(me->stat.comm), QFileInfo(me->executablePath).fileName().left(15));
    const auto started = reader.startDate(me->stat.startTicks);
    ASSERT_TRUE(started.has_value());
    const qint64 age = started->secsTo(QDateTime::currentDateTimeUtc());
    EXPECT_GE(age, -2);
    EXPECT_LT(age, 3600);
}
