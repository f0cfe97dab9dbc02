// The program started twice on one display: the second start opens the first one's menu panel
// and exits; with the first one frozen it says so and exits without waiting long.
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

namespace {

// A started copy of the program, ended by its id when the test ends.
struct Program {
    ~Program() {
        if (process.state() == QProcess::NotRunning) return;
        ::kill(pid_t(process.processId()), SIGCONT);
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QProcess process;
    QByteArray errors;
    QByteArray readErrors() { return errors += process.readAllStandardError(); }
};

void start(Program& program, const QString& home, const QString& runtime = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        env.insert(name, home + "/" + QString::fromLatin1(name).toLower());
    if (!runtime.isEmpty()) env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("TMPDIR", home + "/tmp");
    QDir().mkpath(home + "/tmp");
    env.insert("HOME", home);
    program.process.setProcessEnvironment(env);
    program.process.setWorkingDirectory(home);
    program.process.start(QStringLiteral(QUORVIN_EXECUTABLE), {});
}

}  // namespace

TEST(SingleInstanceX11, ASecondStartOpensTheMenuPanelOfTheFirst) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString instances = home.path() + "/xdg_runtime_dir/com.pelwick.Quorvin";

    Program first;
    start(first, home.path());
    ASSERT_TRUE(first.process.waitForStarted(5000));
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return !QDir(instances).entryList({"*.socket"}, QDir::System | QDir::Files).isEmpty();
    }, 15000)) << first.readErrors().toStdString();
    TestSupport::spin(500);  // its status item in place

    Program second;
    start(second, home.path());
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ(second.process.exitCode(), 0) << second.readErrors().toStdString();
    EXPECT_TRUE(TestSupport::waitFor([&] { return first.readErrors().contains("Opened the menu panel for another start"); },
                                     5000)) << first.errors.toStdString();
    EXPECT_EQ(first.process.state(), QProcess::Running);

    // The first one frozen: the third start says so within a short time.
    ::kill(pid_t(first.process.processId()), SIGSTOP);
    Program third;
    start(third, home.path());
    // Bounded by the answer's short wait, not by the frozen one (a loaded machine starts slowly).
    ASSERT_TRUE(third.process.waitForFinished(10000));
    EXPECT_EQ(third.process.exitCode(), 1);
    EXPECT_TRUE(third.readErrors().contains("Quorvin is already running")) << third.errors.toStdString();
    ::kill(pid_t(first.process.processId()), SIGCONT);
}

// A runtime folder the program cannot use (its own folder there is a file, or is relative): the lock
// goes in the user's folder in the temporary one, and a second start still opens the first's panel.
// A relative one is no folder at all: nothing is made in the folder the program was started in.
TEST(SingleInstanceX11, ARuntimeFolderThatCannotBeUsedStillLetsOneRun) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir().mkpath(home.path() + "/run"));
    QFile blocking(home.path() + "/run/com.pelwick.Quorvin");
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly));
    blocking.close();
    const QString instances = home.path() + QStringLiteral("/tmp/quorvin-%1/com.pelwick.Quorvin").arg(::geteuid());

    for (const QString& runtime : {home.path() + "/run", QStringLiteral("relative")}) {
        SCOPED_TRACE(runtime.toStdString());
        Program first;
        start(first, home.path(), runtime);
        ASSERT_TRUE(first.process.waitForStarted(5000));
        ASSERT_TRUE(TestSupport::waitFor(
            [&] { return !QDir(instances).entryList({"*.socket"}, QDir::System | QDir::Files).isEmpty(); }, 15000))
            << first.readErrors().toStdString();

        Program second;
        start(second, home.path(), runtime);
        ASSERT_TRUE(second.process.waitForFinished(10000)) << second.readErrors().toStdString();
        EXPECT_EQ(second.process.exitCode(), 0) << second.readErrors().toStdString();
        EXPECT_TRUE(TestSupport::waitFor(
            [&] { return first.readErrors().contains("Opened the menu panel for another start"); }, 5000))
            << first.errors.toStdString();
        EXPECT_EQ(first.process.state(), QProcess::Running);
        first.process.terminate();
        ASSERT_TRUE(first.process.waitForFinished(10000));
        EXPECT_FALSE(QFileInfo::exists(home.path() + "/relative"));
    }
}
