// One instance per user and display, between real processes: this program run again as the
// instance that holds the lock.
#include "Platform/Desktop/SingleInstance.h"
#include "Platform/Files/NativePath.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

namespace {

const char* kPathVariable = "QUORVIN_TEST_INSTANCE_PATH";

// A child process of ours, killed by its id when the test ends.
struct Child {
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), SIGCONT);
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QProcess process;
};

bool startPrimary(Child& child, const QString& path) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Percent-encoded: the environment would pass a name that is not UTF-8 as its look-alike.
    env.insert(kPathVariable, QString::fromLatin1(NativePath::encode(path).toPercentEncoding("/")));
    child.process.setProcessEnvironment(env);
    child.process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SingleInstanceHelper.RunAsPrimary"});
    return child.process.waitForStarted(5000) &&
           TestSupport::waitFor([&] { return child.process.peek(4096).contains("primary"); }, 10000);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

}  // namespace

// Not a test of its own: the instance that holds the lock, printing each request to show itself.
TEST(SingleInstanceHelper, RunAsPrimary) {
    const QString path = NativePath::decode(QByteArray::fromPercentEncoding(qgetenv(kPathVariable)));
    if (path.isEmpty()) GTEST_SKIP() << "helper for SingleInstance.ASecondStartAsksTheRunningOne";
    SingleInstance instance(path);
    ASSERT_EQ(instance.claim(), SingleInstance::Claim::primary);
    QObject::connect(&instance, &SingleInstance::activationRequested, [] {
        printf("activated\n");
        fflush(stdout);
    });
    printf("primary\n");
    fflush(stdout);
    TestSupport::spin(30000);
}

TEST(SingleInstance, ASecondStartAsksTheRunningOne) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/runtime/com.pelwick.Quorvin/instance-me-_0";
    Child primary;
    ASSERT_TRUE(startPrimary(primary, path));
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), mode_t(0700));

    SingleInstance second(path);
    EXPECT_EQ(second.claim(), SingleInstance::Claim::activatedRunning);
    EXPECT_TRUE(TestSupport::waitFor([&] { return primary.process.peek(4096).contains("activated"); }, 5000));

    // A frozen instance: the answer does not come, and the wait ends at the time given (300 ms), not
    // at the default second nor after each step's own wait.
    ::kill(pid_t(primary.process.processId()), SIGSTOP);
    const double start = TestSupport::threadOwnMs();
    SingleInstance third(path);
    EXPECT_EQ(third.claim(300), SingleInstance::Claim::runningButSilent);
    const double waited = TestSupport::threadOwnMs() - start;
    EXPECT_LT(waited, 600) << "a third start waited " << waited << " ms";
    ::kill(pid_t(primary.process.processId()), SIGCONT);

    // Once it is gone, its socket left behind does not stop the next start.
    primary.process.kill();
    primary.process.waitForFinished(5000);
    ASSERT_TRUE(QFileInfo::exists(path + ".socket"));
    auto next = std::make_unique<SingleInstance>(path);
    EXPECT_EQ(next->claim(), SingleInstance::Claim::primary);
    // ... and an instance that ends lets the next one start.
    next.reset();
    SingleInstance after(path);
    EXPECT_EQ(after.claim(), SingleInstance::Claim::primary);
}

TEST(SingleInstance, AFolderThatIsALinkIsNotUsedAndOursIsMadePrivate) {
    QTemporaryDir dir;
    const QString elsewhere = dir.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    ASSERT_TRUE(QFile::link(elsewhere, dir.path() + "/linked"));
    SingleInstance linked(dir.path() + "/linked/instance");
    EXPECT_EQ(linked.claim(), SingleInstance::Claim::unavailable);
    EXPECT_EQ(modeOf(elsewhere), mode_t(0755));
    EXPECT_FALSE(QFileInfo::exists(elsewhere + "/instance.lock"));

    // A folder of ours with a looser mode is made private.
    ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
    SingleInstance own(elsewhere + "/instance");
    EXPECT_EQ(own.claim(), SingleInstance::Claim::primary);
    EXPECT_EQ(modeOf(elsewhere), mode_t(0700));
}

// $XDG_RUNTIME_DIR named in bytes that are not UTF-8, its look-alike beside it: the lock and the
// socket are made in the real folder, and a second start reaches the first through it.
TEST(SingleInstance, ARuntimeFolderNamedInBytesThatAreNotUTF8IsUsedByItsBytes) {
    QTemporaryDir dir;
    const QByteArray base = NativePath::encode(dir.path());
    const QByteArray real = base + "/run-\xe9", lookAlike = base + "/run-\xef\xbf\xbd";
    for (const QByteArray& folder : {real, lookAlike}) ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", real);
    const QString path = SingleInstance::defaultPath();
    qputenv("XDG_RUNTIME_DIR", runtime);
    ASSERT_TRUE(NativePath::encode(path).startsWith(real + "/com.pelwick.Quorvin/instance-")) << path.toStdString();

    Child primary;
    ASSERT_TRUE(startPrimary(primary, path));
    SingleInstance second(path);
    EXPECT_EQ(second.claim(), SingleInstance::Claim::activatedRunning);
    for (const char* suffix : {".lock", ".socket"})
        EXPECT_TRUE(std::filesystem::exists((NativePath::encode(path) + suffix).toStdString())) << suffix;
    EXPECT_TRUE(std::filesystem::is_empty(lookAlike.toStdString()));
    std::filesystem::remove_all(base.toStdString());
}

TEST(SingleInstance, TheNameSaysUserAndDisplay) {
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", "/run/user/1000");
    qputenv("DISPLAY", "host:12.3");
    const QString a = SingleInstance::defaultPath();
    qputenv("DISPLAY", "host:12");
    EXPECT_EQ(SingleInstance::defaultPath(), a);
    qputenv("DISPLAY", ":13");
    const QString b = SingleInstance::defaultPath();
    qputenv("DISPLAY", display);
    qputenv("XDG_RUNTIME_DIR", runtime);
    EXPECT_TRUE(a.startsWith("/run/user/1000/com.pelwick.Quorvin/instance-")) << a.toStdString();
    EXPECT_TRUE(a.endsWith("-host_12")) << a.toStdString();
    EXPECT_NE(a, b);
    EXPECT_FALSE(QFileInfo(a).fileName().contains('/'));
}
