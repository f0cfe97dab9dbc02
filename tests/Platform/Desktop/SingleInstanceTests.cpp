// One instance per user and display, between real processes: this program run again as the
// instance that holds the lock.
#include "Platform/Desktop/SingleInstance.h"
#include "Platform/Files/NativePath.h"

#include "LogCapture.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* kPathVariable = "QUORVIN_TEST_INSTANCE_PATH";
// Set instead of a path: the helper takes the default place and its fallback, as the program does.
const char* kDefaultVariable = "QUORVIN_TEST_INSTANCE_DEFAULT";

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

// Until the helper has said what its claim gave, or has ended.
bool saidItsClaim(Child& child) {
    return TestSupport::waitFor([&] {
        return child.process.peek(4096).contains("claim: ") || child.process.state() == QProcess::NotRunning;
    }, 5000);
}

bool startPrimary(Child& child, const QString& path) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Percent-encoded: the environment would pass a name that is not UTF-8 as its look-alike.
    env.insert(kPathVariable, QString::fromLatin1(NativePath::encode(path).toPercentEncoding("/")));
    child.process.setProcessEnvironment(env);
    child.process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SingleInstanceHelper.RunAsPrimary"});
    return child.process.waitForStarted(5000) && saidItsClaim(child) &&
           child.process.peek(4096).contains("claim: primary\n");
}

// The sockets in a folder.
QStringList socketsIn(const QString& folder) {
    return QDir(folder).entryList({"*.socket"}, QDir::System | QDir::Files);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

uid_t ownerOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

// Whether `user` may pass through every folder above `path`.
bool reachableBy(const passwd& user, const QString& path) {
    for (QString folder = QFileInfo(path).path();; folder = QFileInfo(folder).path()) {
        struct stat st {};
        if (::stat(QFile::encodeName(folder).constData(), &st) != 0) return false;
        if (!(st.st_mode & S_IXOTH) && !(st.st_uid == user.pw_uid && (st.st_mode & S_IXUSR))) return false;
        if (folder == "/") return true;
    }
}

// `program` (a copy of this one) run as the helper with the default place, as `user`, from the folder
// it lies in, in an environment whose runtime and temporary folders are those given.
void startAs(Child& child, const passwd& user, const QString& program, const QString& runtime,
             const QString& temporary) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kDefaultVariable, "1");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("TMPDIR", temporary);
    env.insert("DISPLAY", ":77");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.process.setProcessEnvironment(env);
    child.process.setWorkingDirectory(QFileInfo(program).path());
    const uid_t uid = user.pw_uid;
    const gid_t gid = user.pw_gid;
    child.process.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(127);
    });
    child.process.start(program, {"--gtest_filter=SingleInstanceHelper.RunAsPrimary"});
}

}  // namespace

// Not a test of its own: a start that prints what its claim gave and, holding the lock, each
// request to show itself.
TEST(SingleInstanceHelper, RunAsPrimary) {
    const QString path = NativePath::decode(QByteArray::fromPercentEncoding(qgetenv(kPathVariable)));
    const bool byDefault = qEnvironmentVariableIsSet(kDefaultVariable);
    if (path.isEmpty() && !byDefault) GTEST_SKIP() << "helper for SingleInstance.ASecondStartAsksTheRunningOne";
    SingleInstance instance(byDefault ? SingleInstance::defaultPath() : path,
                            byDefault ? SingleInstance::fallbackFolder() : QString());
    const SingleInstance::Claim claim = instance.claim();
    const char* said[] = {"primary", "activated running", "running but silent", "unavailable"};
    printf("claim: %s\n", said[int(claim)]);
    fflush(stdout);
    if (claim != SingleInstance::Claim::primary) return;
    QObject::connect(&instance, &SingleInstance::activationRequested, [] {
        printf("activated\n");
        fflush(stdout);
    });
    TestSupport::spin(30000);
}

// With a name short enough to keep, and ones too long for a socket's address (a long host in DISPLAY),
// beyond the longest file name too: the socket was cut to fit but removed by its whole name, so a start
// after a quit could not listen, and the start after that found the lock held and nobody answering.
TEST(SingleInstance, ASecondStartAsksTheRunningOne) {
    for (const QString& name : {QStringLiteral("instance-me-_0"), "instance-me-" + QString(100, 'h') + "_0",
                                "instance-me-" + QString(300, 'h') + "_0"}) {
        SCOPED_TRACE(name.size());
        QTemporaryDir dir;
        const QString path = dir.path() + "/runtime/com.pelwick.Quorvin/" + name;
        const QString folder = QFileInfo(path).absolutePath();
        Child primary;
        ASSERT_TRUE(startPrimary(primary, path)) << primary.process.readAll().toStdString();
        EXPECT_EQ(modeOf(folder), mode_t(0700));

        SingleInstance second(path);
        EXPECT_EQ(second.claim(), SingleInstance::Claim::activatedRunning);
        EXPECT_TRUE(TestSupport::waitFor([&] { return primary.process.peek(4096).contains("activated"); }, 2000));

        // A peer that connects and never asks is let go, and the next start is still answered.
        if (name.size() < 60) {
            QLocalSocket silent;
            silent.connectToServer(folder + "/" + socketsIn(folder).value(0));
            ASSERT_TRUE(silent.waitForConnected(2000)) << qPrintable(silent.errorString());
            EXPECT_TRUE(TestSupport::waitFor([&] { return silent.state() == QLocalSocket::UnconnectedState; },
                                             SingleInstance::askWithinMs + 1000));
            SingleInstance again(path);
            EXPECT_EQ(again.claim(), SingleInstance::Claim::activatedRunning);
        }

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
        EXPECT_EQ(socketsIn(folder).size(), 1);
        // A name that fits is kept as it is.
        EXPECT_EQ(QFileInfo::exists(path + ".socket"), name.size() < 60);
        auto next = std::make_unique<SingleInstance>(path);
        EXPECT_EQ(next->claim(), SingleInstance::Claim::primary);
        // ... and an instance that ends removes its socket and lets the next one start.
        next.reset();
        EXPECT_TRUE(socketsIn(folder).isEmpty()) << qPrintable(socketsIn(folder).join(", "));
        auto after = std::make_unique<SingleInstance>(path);
        EXPECT_EQ(after->claim(), SingleInstance::Claim::primary);
        after.reset();
        SingleInstance last(path);
        EXPECT_EQ(last.claim(), SingleInstance::Claim::primary);
    }
}

// Two displays whose long names differ only at the end are two instances, each reached by its own.
TEST(SingleInstance, LongNamesThatDifferOnlyAtTheEndAreNotOneInstance) {
    QTemporaryDir dir;
    const QString start = dir.path() + "/runtime/com.pelwick.Quorvin/instance-me-" + QString(120, 'h');
    Child first, second;
    ASSERT_TRUE(startPrimary(first, start + "_1")) << first.process.readAll().toStdString();
    ASSERT_TRUE(startPrimary(second, start + "_2")) << second.process.readAll().toStdString();
    // The name is part of what a later build must find: its start and a hash of the whole, 75 bytes in all.
    QStringList expected;
    for (const QString& name : {start + "_1", start + "_2"}) {
        const QByteArray whole = QFileInfo(name).fileName().toUtf8();
        expected << QString::fromLatin1(
            whole.left(42) + '-' + QCryptographicHash::hash(whole, QCryptographicHash::Sha256).toHex().left(32) + ".socket");
    }
    EXPECT_EQ(socketsIn(QFileInfo(start).absolutePath()), expected);
    SingleInstance again(start + "_2");
    EXPECT_EQ(again.claim(), SingleInstance::Claim::activatedRunning);
    EXPECT_TRUE(TestSupport::waitFor([&] { return second.process.peek(4096).contains("activated\n"); }, 2000));
    EXPECT_FALSE(first.process.peek(4096).contains("activated\n"));
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

// Where the runtime folder's own cannot be used the user's folder in the temporary one takes its
// place; that one is used only when it is the user's own, not a link, and it is made private.
TEST(SingleInstance, AFolderThatCannotBeUsedFallsBackAndTheFallbackIsNeverAnotherUsersOrALink) {
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    enum class Then { runtime, fallback, unavailable };
    const struct Row {
        const char* name;
        std::function<void(const QString& runtimeFolder, const QString& fallback, const QString& elsewhere)> setUp;
        Then then;
        bool onlyAsRoot = false;
    } rows[] = {
        {"both usable", [](auto&, auto&, auto&) {}, Then::runtime},
        {"runtime's folder a file",
         [](const QString& ours, auto&, auto&) { ASSERT_TRUE(QFile(ours).open(QIODevice::WriteOnly)); },
         Then::fallback},
        {"runtime's folder a link",
         [](const QString& ours, auto&, const QString& elsewhere) { ASSERT_TRUE(QFile::link(elsewhere, ours)); },
         Then::fallback},
        {"runtime's folder another user's",
         [&](const QString& ours, auto&, auto&) {
             ASSERT_TRUE(QDir().mkpath(ours));
             ASSERT_EQ(::chown(QFile::encodeName(ours).constData(), nobody->pw_uid, nobody->pw_gid), 0);
         },
         Then::fallback, true},
        {"runtime folder another user's",
         [&](const QString& ours, auto&, auto&) {
             const QString runtime = QFileInfo(ours).path();
             ASSERT_EQ(::chown(QFile::encodeName(runtime).constData(), nobody->pw_uid, nobody->pw_gid), 0);
         },
         Then::fallback, true},
        {"fallback loose",
         [](const QString& ours, const QString& fallback, auto&) {
             ASSERT_TRUE(QFile(ours).open(QIODevice::WriteOnly));
             ASSERT_TRUE(QDir().mkpath(fallback + "/com.pelwick.Quorvin"));
             ::chmod(QFile::encodeName(fallback).constData(), 0777);
             ::chmod(QFile::encodeName(fallback + "/com.pelwick.Quorvin").constData(), 0755);
         },
         Then::fallback},
        {"fallback a link",
         [](const QString& ours, const QString& fallback, const QString& elsewhere) {
             ASSERT_TRUE(QFile(ours).open(QIODevice::WriteOnly));
             ASSERT_TRUE(QFile::link(elsewhere, fallback));
         },
         Then::unavailable},
        {"fallback's inner folder a link",
         [](const QString& ours, const QString& fallback, const QString& elsewhere) {
             ASSERT_TRUE(QFile(ours).open(QIODevice::WriteOnly));
             ASSERT_TRUE(QDir().mkpath(fallback));
             ASSERT_TRUE(QFile::link(elsewhere, fallback + "/com.pelwick.Quorvin"));
         },
         Then::unavailable},
        {"fallback another user's",
         [&](const QString& ours, const QString& fallback, auto&) {
             ASSERT_TRUE(QFile(ours).open(QIODevice::WriteOnly));
             ASSERT_TRUE(QDir().mkpath(fallback));
             ::chmod(QFile::encodeName(fallback).constData(), 0777);
             ASSERT_EQ(::chown(QFile::encodeName(fallback).constData(), nobody->pw_uid, nobody->pw_gid), 0);
         },
         Then::unavailable, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.onlyAsRoot && (!root || !nobody)) continue;
        QTemporaryDir dir;
        const QString runtime = dir.path() + "/run", fallback = dir.path() + "/tmp/quorvin-me";
        const QString elsewhere = dir.path() + "/elsewhere";
        ASSERT_TRUE(QDir().mkpath(runtime) && QDir().mkpath(dir.path() + "/tmp") && QDir().mkpath(elsewhere));
        ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
        row.setUp(runtime + "/com.pelwick.Quorvin", fallback, elsewhere);
        const LogCapture log;
        SingleInstance first(runtime + "/com.pelwick.Quorvin/instance-me-_0", fallback);
        const SingleInstance::Claim claim = first.claim();
        const QString used = (row.then == Then::runtime ? runtime : fallback) + "/com.pelwick.Quorvin";
        EXPECT_TRUE(QDir(elsewhere).isEmpty());
        // Where the runtime folder is not ours, nothing is made in it.
        if (row.then != Then::runtime && !QFileInfo(runtime + "/com.pelwick.Quorvin").isSymLink()) {
            EXPECT_EQ(QFileInfo(runtime + "/com.pelwick.Quorvin").isDir(),
                      row.name == std::string("runtime's folder another user's"));
        }
        EXPECT_EQ(modeOf(elsewhere), mode_t(0755));
        if (row.then == Then::unavailable) {
            EXPECT_EQ(claim, SingleInstance::Claim::unavailable);
            EXPECT_EQ(log.matching({"Cannot make the single-instance lock", "runs beside this one"}).size(), 1)
                << qPrintable(log.all().join('\n'));
            EXPECT_FALSE(QFileInfo::exists(fallback + "/com.pelwick.Quorvin/instance-me-_0.lock"));
            continue;
        }
        ASSERT_EQ(claim, SingleInstance::Claim::primary);
        EXPECT_TRUE(QFileInfo::exists(used + "/instance-me-_0.lock"));
        EXPECT_EQ(modeOf(used), mode_t(0700));
        if (row.then == Then::fallback) {
            EXPECT_EQ(modeOf(fallback), mode_t(0700));
            EXPECT_EQ(log.matching({"Cannot use", "using " + fallback + "/com.pelwick.Quorvin instead"}).size(), 1)
                << qPrintable(log.all().join('\n'));
        } else {
            EXPECT_FALSE(QFileInfo::exists(fallback));
        }
        // A second start finds the lock taken (within one process no answer comes).
        SingleInstance second(runtime + "/com.pelwick.Quorvin/instance-me-_0", fallback);
        EXPECT_EQ(second.claim(50), SingleInstance::Claim::runningButSilent);
    }
}

// Two users on one display, each started twice: the second start of each reaches its own first
// one, whether the runtime folder is another user's that they cannot write into or one they share.
TEST(SingleInstance, TwoUsersEachRunOnceWhateverTheRuntimeFolder) {
    const passwd* found = ::getpwnam("nobody");
    if (::geteuid() != 0 || !found) GTEST_SKIP() << "runs a start as another user: needs root and a user nobody";
    const passwd other = *found;
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    // The other user's starts run a copy of this program from here: the one built may lie in a folder
    // only its owner can enter (a checkout in a private home). Its libraries are the system's.
    const QString program = dir.path() + "/helper";
    if (!reachableBy(other, program))
        GTEST_SKIP() << "the temporary folder " << qPrintable(dir.path()) << " cannot be reached by " << other.pw_name
                     << ": set TMPDIR to one it can reach";
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), program));
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
    const QString shared = dir.path() + "/tmp", rootsRuntime = dir.path() + "/run-root";
    const QString sharedRuntime = dir.path() + "/run-shared";
    for (const QString& folder : {shared, rootsRuntime, sharedRuntime}) ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ::chmod(QFile::encodeName(rootsRuntime).constData(), 0755);
    ::chmod(QFile::encodeName(sharedRuntime).constData(), 01777);
    const QString othersFolder = shared + QStringLiteral("/quorvin-%1/com.pelwick.Quorvin").arg(other.pw_uid);

    // Root's runtime folder, which the other user cannot write into.
    {
        Child first, second;
        startAs(first, other, program, rootsRuntime, shared);
        ASSERT_TRUE(saidItsClaim(first));
        ASSERT_TRUE(first.process.peek(4096).contains("claim: primary\n"))
            << first.process.peek(4096).toStdString() << first.process.readAllStandardError().toStdString()
            << first.process.errorString().toStdString();
        startAs(second, other, program, rootsRuntime, shared);
        ASSERT_TRUE(second.process.waitForFinished(5000));
        EXPECT_TRUE(second.process.readAllStandardOutput().contains("claim: activated running\n"));
        EXPECT_TRUE(TestSupport::waitFor([&] { return first.process.peek(4096).contains("activated\n"); }, 5000));
        EXPECT_EQ(ownerOf(othersFolder), other.pw_uid);
        EXPECT_EQ(modeOf(othersFolder), mode_t(0700));
        EXPECT_EQ(modeOf(QFileInfo(othersFolder).path()), mode_t(0700));
        EXPECT_TRUE(QDir(rootsRuntime).isEmpty());
    }

    // One runtime folder for both: root's first start makes its folder there, which keeps the other
    // user out, and the other user's starts meet in their own folder.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), display = qgetenv("DISPLAY");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(sharedRuntime));
    qputenv("DISPLAY", ":77");
    const QString rootsPath = SingleInstance::defaultPath();
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("DISPLAY", display);
    SingleInstance roots(rootsPath, dir.path() + "/roots-fallback");
    ASSERT_EQ(roots.claim(), SingleInstance::Claim::primary);
    ASSERT_TRUE(rootsPath.startsWith(sharedRuntime + "/com.pelwick.Quorvin/"));
    {
        Child first, second;
        startAs(first, other, program, sharedRuntime, shared);
        ASSERT_TRUE(saidItsClaim(first));
        ASSERT_TRUE(first.process.peek(4096).contains("claim: primary\n"))
            << first.process.peek(4096).toStdString() << first.process.readAllStandardError().toStdString()
            << first.process.errorString().toStdString();
        startAs(second, other, program, sharedRuntime, shared);
        ASSERT_TRUE(second.process.waitForFinished(5000));
        EXPECT_TRUE(second.process.readAllStandardOutput().contains("claim: activated running\n"));
        EXPECT_TRUE(QDir(othersFolder).exists());
    }
    EXPECT_EQ(QDir(sharedRuntime + "/com.pelwick.Quorvin")
                  .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                  .size(),
              2);
    EXPECT_EQ(ownerOf(sharedRuntime + "/com.pelwick.Quorvin"), uid_t(0));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/roots-fallback"));
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
    // A relative runtime folder is none: the fallback, named after the user's id, takes its place.
    qputenv("XDG_RUNTIME_DIR", "run/user/1000");
    const QString relative = SingleInstance::defaultPath();
    qputenv("DISPLAY", display);
    qputenv("XDG_RUNTIME_DIR", runtime);
    EXPECT_TRUE(a.startsWith("/run/user/1000/com.pelwick.Quorvin/instance-")) << a.toStdString();
    EXPECT_TRUE(a.endsWith("-host_12")) << a.toStdString();
    EXPECT_NE(a, b);
    EXPECT_FALSE(QFileInfo(a).fileName().contains('/'));
    EXPECT_TRUE(relative.startsWith(SingleInstance::fallbackFolder() + "/com.pelwick.Quorvin/instance-"))
        << relative.toStdString();
    EXPECT_TRUE(SingleInstance::fallbackFolder().endsWith(QStringLiteral("/quorvin-%1").arg(::geteuid())));
    EXPECT_TRUE(QDir::isAbsolutePath(SingleInstance::fallbackFolder()));
}
