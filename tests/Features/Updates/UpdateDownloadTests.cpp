#include "Platform/Files/NativePath.h"
#include "Source/Features/Updates/UpdateInstaller.h"
#include "Source/Features/Updates/UpdateManager.h"

#include "LogCapture.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

using namespace UpdateTestSupport;
using Kind = UpdateManager::State::Kind;

namespace {

// A running bundle (build 10) in apps/, a signed build 20 on the test server, and a shell that
// records how it was asked to relaunch.
class UpdateDownload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        oldTmp = qgetenv("TMPDIR");
        QDir().mkpath(dir.filePath("tmp"));
        qputenv("TMPDIR", dir.filePath("tmp").toLocal8Bit());
        running = dir.filePath("apps/Quorvin.app");
        writeBundle(running, {});
        const QString fresh = dir.filePath("new/Quorvin.app");
        writeBundle(fresh, {"com.pelwick.Quorvin", "2.0", "20"});
        ASSERT_TRUE(signBundle(fresh, keys));
        zip = ZipBuilder().tree(fresh, "Quorvin.app").build();
        writeFile(dir.filePath("record.sh"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + dir.filePath("args").toUtf8() + "\"\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        serveFeed(zip.size(), keys.sign(zip));
        server.serve("/q.zip", {zip});
    }
    void TearDown() override { qputenv("TMPDIR", oldTmp); }

    void serveFeed(qint64 length, const QString& signature, const QString& path = "/q.zip") {
        const QString url = path.startsWith("http") ? path : server.url(path).toString();
        server.serve("/appcast.json",
                     {QStringLiteral(R"({"latest":{"version":"2.0","build":20,"url":"%1","signature":"%2","length":%3},"releases":[]})")
                          .arg(url, signature)
                          .arg(length)
                          .toUtf8()});
    }

    std::unique_ptr<UpdateManager> make(const QString& shell = {}) {
        UpdateManager::Environment env;
        env.bundle = Bundle::forExecutable(running + "/bin/quorvin");
        env.changelogPath = dir.filePath("none");
        env.cachePath = dir.filePath("feed.json");
        env.feedURL = server.url("/appcast.json").toString();
        env.defaults = &defaults;
        env.updateKey = env.codeSigningKey = keys.publicBase64();
        env.shell = shell.isEmpty() ? dir.filePath("record.sh") : shell;
        env.terminate = [this] { ++terminated; };
        auto m = std::make_unique<UpdateManager>(env);
        m->setSslConfiguration(server.clientConfiguration());
        return m;
    }

    static bool settle(UpdateManager& m) {
        return TestSupport::waitFor([&] {
            const Kind k = m.state().kind();
            return k != Kind::checking && k != Kind::installing;
        }, 20000);
    }

    QString runningBuild() const { return Bundle::forExecutable(running + "/bin/quorvin").build(); }
    QStringList besideRunning() const {
        return QDir(dir.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QStringList leftInTmp() const {
        return QDir(dir.filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir dir;
    TestHttpsServer server;
    UserDefaults defaults{QString()};
    Keys keys;
    QByteArray oldTmp;
    QString running;
    QByteArray zip;
    int terminated = 0;
};

}  // namespace

TEST_F(UpdateDownload, AnInstallReplacesTheBundleLeavesANoteAndRelaunchesThroughTheShell) {
    auto m = make();
    QSignalSpy relaunching(m.get(), &UpdateManager::relaunching);
    m->check(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return terminated == 1 || m->state().kind() == Kind::failed; }, 20000));
    ASSERT_EQ(terminated, 1) << qPrintable(m->state().text());
    EXPECT_EQ(relaunching.count(), 1);
    EXPECT_EQ(m->state().kind(), Kind::installing);
    EXPECT_EQ(runningBuild(), "20");
    EXPECT_EQ(besideRunning(), QStringList{"Quorvin.app"});
    EXPECT_TRUE(leftInTmp().isEmpty()) << qPrintable(leftInTmp().join(", "));
    EXPECT_EQ(defaults.string("updatedFromVersion"), "1.0");
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFile::exists(dir.filePath("args")); }));
    TestSupport::spin(100);
    const QStringList args = QString::fromUtf8(readFile(dir.filePath("args"))).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(args, (QStringList{"-c", UpdateManager::relaunchScript(), "quorvin-relaunch",
                                 QString::number(QCoreApplication::applicationPid()), running + "/bin/quorvin"}));
    EXPECT_EQ(server.requests("/q.zip"), 1);
    // Until the program ends, nothing else starts.
    m->check(false);
    m->installPending();
    EXPECT_EQ(m->state().kind(), Kind::installing);
    EXPECT_EQ(server.requests("/appcast.json"), 1);
}

TEST_F(UpdateDownload, TheDownloadIsPrivateAndASecondInstallWhileOneRunsReturnsAtOnce) {
    server.serve("/q.zip", {zip, 200, true, 1024});
    auto m = make();
    m->check(false);
    ASSERT_TRUE(settle(*m));
    ASSERT_EQ(m->state().kind(), Kind::available);
    m->installPending();
    ASSERT_EQ(m->state().kind(), Kind::installing);
    m->installPending();
    m->check(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !leftInTmp().isEmpty(); }));
    const QString folder = dir.filePath("tmp/" + leftInTmp().first());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(folder + "/update.zip").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(TestSupport::waitFor([&] { return terminated == 1 || m->state().kind() == Kind::failed; }, 20000));
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(server.requests("/q.zip"), 1);
    EXPECT_EQ(server.requests("/appcast.json"), 1);
}

TEST_F(UpdateDownload, TheGuiThreadAnswersWhileALargeUpdateIsFetchedCheckedAndUnpacked) {
    const QString fresh = dir.filePath("large/Quorvin.app");
    writeBundle(fresh, {"com.pelwick.Quorvin", "2.0", "20"});
    QByteArray noise(40 << 20, '\0');
    for (qsizetype i = 0; i < noise.size(); i += 4) {
        const quint32 r = QRandomGenerator::global()->generate();
        memcpy(noise.data() + i, &r, 4);
    }
    writeFile(fresh + "/Resources/large.bin", noise);
    ASSERT_TRUE(signBundle(fresh, keys));
    zip = ZipBuilder().tree(fresh, "Quorvin.app").build();
    ASSERT_GT(zip.size(), 40 << 20);
    serveFeed(zip.size(), keys.sign(zip));
    server.serve("/q.zip", {zip, 200, true, 256 * 1024});
    auto m = make();
    m->check(true);
    TestSupport::GuiStallMeter meter;
    ASSERT_TRUE(TestSupport::waitFor([&] { return terminated == 1 || m->state().kind() == Kind::failed; }, 60000));
    EXPECT_EQ(terminated, 1) << qPrintable(m->state().text());
    EXPECT_LT(meter.longestMs(), 250);  // a busy machine delays a timer by tens of ms; the work itself takes seconds
    EXPECT_EQ(readFile(running + "/Resources/large.bin").size(), noise.size());
}

// Each read of a compressed download (up to 256 KB as sent) was inflated whole on the GUI thread:
// hundreds of megabytes in one go.
TEST_F(UpdateDownload, TheGuiThreadAnswersWhileADownloadInflatesToItsAnnouncedLength) {
    const qint64 length = qint64(256) << 20;
    TestHttpsServer::Response compressed{gzipOfZeros(length)};
    compressed.headers = "Content-Encoding: gzip\r\n";
    server.serve("/q.zip", compressed);
    serveFeed(length, keys.sign(zip));
    auto m = make();
    const LogCapture log;
    m->check(false);
    ASSERT_TRUE(settle(*m));
    TestSupport::GuiStallMeter meter;
    m->installPending();
    ASSERT_TRUE(settle(*m));
    EXPECT_LT(meter.longestMs(), 100);
    // All of it arrived, inflated, and only then failed its signature.
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    EXPECT_EQ(log.matching({"signature does not hold"}).size(), 1) << qPrintable(log.all().join('\n'));
    EXPECT_TRUE(leftInTmp().isEmpty());
}

TEST_F(UpdateDownload, ADownloadLongerThanAnnouncedStopsAssoonAsItPassesTheLength) {
    // No length header: the body itself runs past the announced length.
    const QByteArray huge = zip + QByteArray(64 << 20, 'z');
    server.serve("/q.zip", {huge, 200, false, 64 * 1024});
    auto m = make();
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::failed(UpdateInstaller::signatureFailure()));
    EXPECT_LT(server.bodyBytesSent("/q.zip"), 16 << 20);
    // Announced longer in the header: stopped before the body.
    server.serve("/q.zip", {huge, 200, true, 64 * 1024});
    m->installPending();
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    EXPECT_LT(server.bodyBytesSent("/q.zip"), 32 << 20);
    // Cut short.
    server.serve("/q.zip", {zip.left(zip.size() / 2)});
    m->installPending();
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    // Sent compressed: what it inflates to counts, and it stops as soon as that passes the length.
    const QByteArray bomb = gzipOfZeros(qint64(1) << 30);
    // Announced as long as it is sent: only what it inflates to can stop it.
    serveFeed(bomb.size(), keys.sign(zip), "/bomb.zip");
    TestHttpsServer::Response compressed{bomb, 200, true, 16 * 1024};
    compressed.headers = "Content-Encoding: gzip\r\n";
    server.serve("/bomb.zip", compressed);
    const LogCapture log;
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    // The whole compressed body (a megabyte) fits in the loopback's socket buffers, so what the server
    // sent says nothing; the reason logged says the decoded length stopped it, not a time-out, and
    // how much was inflated: never much past the length, whatever the body would inflate to.
    const QStringList stopped = log.matching({"runs past the announced", "decoded from its gzip encoding"});
    ASSERT_EQ(stopped.size(), 1) << qPrintable(log.all().join('\n'));
    const QRegularExpressionMatch decoded = QRegularExpression("stopped with (\\d+) bytes decoded").match(stopped[0]);
    ASSERT_TRUE(decoded.hasMatch()) << qPrintable(stopped[0]);
    EXPECT_GT(decoded.captured(1).toLongLong(), bomb.size());
    EXPECT_LE(decoded.captured(1).toLongLong(), bomb.size() + (256 << 10));
    EXPECT_EQ(runningBuild(), "10");
    EXPECT_EQ(besideRunning(), QStringList{"Quorvin.app"});
    EXPECT_TRUE(leftInTmp().isEmpty());
    EXPECT_EQ(terminated, 0);
    EXPECT_FALSE(defaults.contains("updatedFromVersion"));
    ASSERT_TRUE(m->pending());  // a failed installation keeps the build found
}

// A compressed download whose stream stops short is refused, even with all of the archive there;
// zeros after it, which gzip(1) passes over, are read as it does.
TEST_F(UpdateDownload, ACompressedDownloadThatStopsShortIsRefusedAndOnePaddedWithZerosInstalls) {
    TestHttpsServer::Response shortOfItsEnd{gzip(zip).chopped(4)};
    shortOfItsEnd.headers = "Content-Encoding: gzip\r\n";
    server.serve("/q.zip", shortOfItsEnd);
    auto m = make();
    const LogCapture log;
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    EXPECT_EQ(log.matching({"can't be read", "ends before its gzip stream does"}).size(), 1)
        << qPrintable(log.all().join('\n'));
    EXPECT_EQ(runningBuild(), "10");
    EXPECT_EQ(terminated, 0);

    TestHttpsServer::Response padded{gzip(zip) + QByteArray(1000, '\0')};
    padded.headers = "Content-Encoding: gzip\r\n";
    server.serve("/q.zip", padded);
    m->installPending();
    ASSERT_TRUE(TestSupport::waitFor([&] { return terminated == 1 || m->state().kind() == Kind::failed; }, 20000));
    EXPECT_EQ(terminated, 1) << qPrintable(m->state().text());
    EXPECT_EQ(runningBuild(), "20");
}

// A compressed archive damaged part-way is refused as soon as the damage is read: the rest of a long
// transfer is not waited for.
TEST_F(UpdateDownload, ACompressedDownloadDamagedPartWayStopsAsTheDamageIsRead) {
    // Random letters: coded blocks, where damage shows at once (stored blocks would show it only at the end).
    QByteArray noise(64 << 20, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& c : noise) c = char('a' + random.bounded(26));
    QByteArray body = gzip(zip + noise);
    for (qsizetype at = 1 << 20; at < (1 << 20) + 256; ++at) body[at] = char(~body[at]);
    TestHttpsServer::Response damaged{body, 200, true, 64 * 1024};
    damaged.headers = "Content-Encoding: gzip\r\n";
    server.serve("/q.zip", damaged);
    serveFeed(body.size(), keys.sign(zip));  // never passed once decoded: only the damage stops it
    auto m = make();
    const LogCapture log;
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    EXPECT_EQ(log.matching({"can't be read", "its gzip encoding is damaged"}).size(), 1)
        << qPrintable(log.all().join('\n'));
    EXPECT_LT(server.bodyBytesSent("/q.zip"), 16 << 20);
    EXPECT_EQ(runningBuild(), "10");
    EXPECT_TRUE(TestSupport::waitFor([&] { return leftInTmp().isEmpty(); }, 2000));
    EXPECT_EQ(terminated, 0);
}

// An archive in an encoding that is not read sat in "Installing…" until the transfer timed out, a
// minute later: nothing read the reply once its encoding was refused, nor refused it while its body
// held back after headers that named such an encoding.
TEST_F(UpdateDownload, AnArchiveInAnEncodingNotReadStopsAtOnceAndLeavesTheBundle) {
    // Far more than the read buffer and the loopback's socket buffers hold.
    const QByteArray body = gzip(gzip(zip)) + QByteArray(32 << 20, 'x');
    serveFeed(body.size(), keys.sign(zip));
    auto m = make();
    m->check(false);
    ASSERT_TRUE(settle(*m));
    ASSERT_EQ(m->state().kind(), Kind::available);
    for (const bool headersOnly : {false, true})
        for (const char* encoding : {"br", "zstd", "compress", "gzip, gzip"}) {
            SCOPED_TRACE(std::string(encoding) + (headersOnly ? ", headers only" : ""));
            TestHttpsServer::Response sent{body, 200, true, 64 * 1024};
            sent.headers = "Content-Encoding: " + QByteArray(encoding) + "\r\n";
            sent.headersOnly = headersOnly;
            server.serve("/q.zip", sent);
            const LogCapture log;
            m->installPending();
            ASSERT_EQ(m->state().kind(), Kind::installing);
            EXPECT_TRUE(TestSupport::waitFor([&] { return m->state().kind() == Kind::failed; }, 3000))
                << qPrintable(m->state().text());
            EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
            const QString why = QStringLiteral("its %1 encoding is not one Quorvin reads").arg(encoding);
            EXPECT_EQ(log.matching({"can't be read", why}).size(), 1) << qPrintable(log.all().join('\n'));
            EXPECT_EQ(runningBuild(), "10");
            EXPECT_EQ(besideRunning(), QStringList{"Quorvin.app"});
            EXPECT_TRUE(TestSupport::waitFor([&] { return leftInTmp().isEmpty(); }, 2000));
            ASSERT_TRUE(m->pending());
        }
    EXPECT_EQ(terminated, 0);

    // What a redirect's own headers name is not the archive's encoding.
    serveFeed(zip.size(), keys.sign(zip));
    TestHttpsServer::Response redirect{"", 302};
    redirect.location = server.url("/moved.zip").toEncoded();
    redirect.headers = "Content-Encoding: br\r\n";
    server.serve("/q.zip", redirect);
    server.serve("/moved.zip", {zip});
    m->check(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return terminated == 1 || m->state().kind() == Kind::failed; }, 20000));
    EXPECT_EQ(terminated, 1) << qPrintable(m->state().text());
    EXPECT_EQ(runningBuild(), "20");
}

TEST_F(UpdateDownload, AnArchiveNotOfferedOverHttpsOrTooLargeIsNotFetched) {
    serveFeed(zip.size(), keys.sign(zip), "http://127.0.0.1:1/q.zip");
    auto m = make();
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::failed("The update isn’t offered over a secure connection."));
    serveFeed(UpdateManager::largestArchive + 1, keys.sign(zip));
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::signatureFailure());
    EXPECT_EQ(server.requests("/q.zip"), 0);
}

TEST_F(UpdateDownload, NothingPendingDoesNothingAndAShellThatCannotStartLeavesTheProgramRunning) {
    auto m = make(dir.filePath("no/such/shell"));
    m->installPending();
    EXPECT_EQ(m->state(), UpdateManager::State::idle());

    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(),
              UpdateManager::State::failed("Quorvin was updated but couldn’t restart. Quit Quorvin and open it again."));
    EXPECT_EQ(terminated, 0);
    EXPECT_EQ(runningBuild(), "20");
    EXPECT_EQ(defaults.string("updatedFromVersion"), "1.0");
    // The build swapped in counts as running: it is not offered again.
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::upToDate());
    EXPECT_EQ(server.requests("/q.zip"), 1);
}

TEST_F(UpdateDownload, AFolderThatCannotBeWrittenIsReportedBeforeAnythingIsFetched) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    QFile::setPermissions(dir.filePath("apps"), QFile::ReadOwner | QFile::ExeOwner);
    auto m = make();
    m->check(true);
    ASSERT_TRUE(settle(*m));
    QFile::setPermissions(dir.filePath("apps"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(m->state().text(), "No permission to replace the app in " + dir.filePath("apps") + ".");
    // A folder named in bytes that are not UTF-8 is shown with U+FFFD in their place.
    const QByteArray odd = NativePath::encode(dir.path()) + "/x-\xe9";
    ASSERT_TRUE(std::filesystem::create_directories(odd.toStdString()));
    std::filesystem::copy(running.toStdString(), (odd + "/Quorvin.app").toStdString(),
                          std::filesystem::copy_options::recursive);
    running = NativePath::decode(odd + "/Quorvin.app");
    ::chmod(odd.constData(), 0500);
    auto there = make();
    there->check(true);
    ASSERT_TRUE(settle(*there));
    ::chmod(odd.constData(), 0700);
    EXPECT_EQ(there->state().text(), "No permission to replace the app in " + dir.path() + "/x-\uFFFD.");
    EXPECT_EQ(server.requests("/q.zip"), 0);
    std::filesystem::remove_all(odd.toStdString());
}

// The reasons were the system's bare words ("Insecure redirect", "Permission denied").
TEST_F(UpdateDownload, FailuresSayWhatHappenedAndWhatTheUserCanDo) {
    TestHttpsServer::Response redirect{"", 302};
    redirect.location = "http://127.0.0.1:1/q.zip";
    server.serve("/q.zip", redirect);
    auto m = make();
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::failed(UpdateInstaller::insecureRedirectFailure()));

    serveFeed(zip.size(), keys.sign(zip), "https://127.0.0.1:1/q.zip");  // nothing answers
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), UpdateInstaller::downloadFailure());

    // A temporary folder the download cannot be saved in.
    serveFeed(zip.size(), keys.sign(zip));
    server.serve("/q.zip", {zip});
    qputenv("TMPDIR", dir.filePath("gone").toLocal8Bit());
    m->check(true);
    ASSERT_TRUE(settle(*m));
    qputenv("TMPDIR", dir.filePath("tmp").toLocal8Bit());
    EXPECT_EQ(m->state().text(), "The update couldn’t be saved in " + dir.filePath("gone") + ". Try again later.");
    if (::geteuid() != 0) {  // root may write anywhere
        QFile::setPermissions(dir.filePath("tmp"), QFile::ReadOwner | QFile::ExeOwner);
        m->check(true);
        ASSERT_TRUE(settle(*m));
        QFile::setPermissions(dir.filePath("tmp"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(m->state().text(), UpdateInstaller::saveFailure(EACCES, dir.filePath("tmp")));
    }
    EXPECT_TRUE(UpdateInstaller::saveFailure(EACCES, "/t").startsWith("No permission to save the update in /t. "));
    EXPECT_TRUE(UpdateInstaller::saveFailure(ENOSPC, "/t").startsWith("There isn’t enough space in /t for the update."));
    EXPECT_EQ(UpdateInstaller::replaceFailure(EPERM, "/opt"), "No permission to replace the app in /opt.");
    EXPECT_EQ(runningBuild(), "10");
    EXPECT_TRUE(leftInTmp().isEmpty());
    EXPECT_EQ(terminated, 0);
}

// A download cut short by a crash or a kill stayed in the temporary folder for good.
TEST_F(UpdateDownload, TheStartSweepsDownloadsThatACrashLeft) {
    writeFile(dir.filePath("tmp/quorvin-update-Ab12Cd/update.zip"), "partial");
    writeFile(dir.filePath("tmp/quorvin-update-999999999-Ef34Gh/update.zip"), "partial");
    defaults.setBool("autoInstallUpdates", false);
    auto m = make();
    m->start();
    ASSERT_TRUE(settle(*m));
    EXPECT_TRUE(TestSupport::waitFor([&] { return leftInTmp().isEmpty(); })) << qPrintable(leftInTmp().join(", "));
}
