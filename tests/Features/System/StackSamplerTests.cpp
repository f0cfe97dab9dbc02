#include "FailingFileWriter.h"
#include "LogCapture.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Features/System/StackSampler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int mode(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A stand-in for eu-stack that prints one reading of one thread.
QString fakeTool(const QString& folder) {
    const QString path = folder + "/fake-eu-stack";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write("#!/bin/sh\necho 'PID 1 - sleeper'\necho 'TID 1:'\necho '#0  0x00007f0000001000 nanosleep'\n"
               "echo '#1  0x0000555500002000 main'\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

// Points the cache folder somewhere fresh for the test's length.
class StackSamplerFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path() + "/cache"));
    }
    void TearDown() override { qputenv("XDG_CACHE_HOME", saved); }
    QTemporaryDir dir;
    QByteArray saved;
};

}  // namespace

TEST_F(StackSamplerFiles, ReportsArePrivateAndAFailedWriteIsLoggedAndLeavesNoFile) {
    const QString tool = fakeTool(dir.path());
    const QString folder = StackSampler::reportFolder();
    ASSERT_EQ(folder, dir.path() + "/cache/Quorvin/Samples");
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(dir.path() + "/cache/Quorvin"), 0700);

    const QString report = folder + "/sleeper-sample-1.txt";
    ASSERT_TRUE(StackSampler::sample(::getpid(), "sleeper", 0.1, report, tool));
    EXPECT_EQ(mode(report), 0600);
    QFile written(report);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("nanosleep"));

    FailingFileWriter failing;
    failing.failPathsContaining("sample-2");
    LogCapture log;
    const QString second = folder + "/sleeper-sample-2.txt";
    EXPECT_FALSE(StackSampler::sample(::getpid(), "sleeper", 0.1, second, tool));
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_EQ(log.matching({"warning com.pelwick.Quorvin.Samples", second, "No space left on device"}).size(), 1);

    // A cache folder named in bytes that are not UTF-8 is the one used, never the look-alike beside it.
    const QByteArray base = NativePath::encode(dir.path());
    ASSERT_EQ(::mkdir(base + "/caf\xef\xbf\xbd", 0755), 0);
    qputenv("XDG_CACHE_HOME", base + "/caf\xff");
    const QString odd = StackSampler::reportFolder();
    EXPECT_EQ(NativePath::encode(odd), base + "/caf\xff/Quorvin/Samples");
    struct stat st {};
    EXPECT_EQ(::lstat(base + "/caf\xff/Quorvin/Samples", &st) == 0 ? st.st_mode & 07777 : 0, 0700u);
    ASSERT_TRUE(StackSampler::sample(::getpid(), "sleeper", 0.1, odd + "/sleeper-sample-3.txt", tool));
    EXPECT_TRUE(SafeFile::readRegular(odd + "/sleeper-sample-3.txt", 1 << 20).value_or("").contains("nanosleep"));
    EXPECT_EQ(QDir(QString::fromUtf8(base + "/caf\xef\xbf\xbd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
}

TEST_F(StackSamplerFiles, AReportFolderThatIsALinkOrCannotBeMadeIsRefused) {
    const QString shared = dir.path() + "/shared";
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0755);
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/cache/Quorvin"));
    ASSERT_EQ(::symlink(QFile::encodeName(shared).constData(),
                        QFile::encodeName(dir.path() + "/cache/Quorvin/Samples").constData()), 0);
    LogCapture log;
    EXPECT_TRUE(StackSampler::reportFolder().isEmpty());
    EXPECT_EQ(mode(shared), 0755);
    EXPECT_EQ(log.matching({"Samples", "is a symbolic link"}).size(), 1);

    QFile::remove(dir.path() + "/cache/Quorvin/Samples");
    FailingFileWriter failing;
    failing.failPathsContaining("/Samples");
    EXPECT_TRUE(StackSampler::reportFolder().isEmpty());
    EXPECT_EQ(log.matching({dir.path() + "/cache/Quorvin/Samples", "No space left on device"}).size(), 1);
}
