#include "Source/Features/Updates/BodyInflater.h"
#include "Source/Features/Updates/UpdateManager.h"

#include "LogCapture.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace UpdateTestSupport;
using Kind = UpdateManager::State::Kind;

namespace {

QByteArray feedJson(qint64 build, const QString& version = QStringLiteral("2.0"),
                    const QString& notes = QStringLiteral("Faster")) {
    return QStringLiteral(R"({"latest":{"version":"%1","build":%2,"url":"https://127.0.0.1:1/x.zip","signature":"c2ln","length":10},
"releases":[{"version":"%1","date":"May","notes":["%3"]}]})")
        .arg(version)
        .arg(build)
        .arg(notes)
        .toUtf8();
}

// A manager for a program of build 10, version 1.0, run from a build folder, whose feed is the
// test server's.
class UpdateChecker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        writeFile(dir.filePath("Changelog.json"), R"([{"version":"1.0","date":"Jan","notes":["First"]}])");
        server.serve("/appcast.json", {feedJson(20)});
    }

    std::unique_ptr<UpdateManager> make(const QString& feedPath = QStringLiteral("/appcast.json")) {
        writeBundle(dir.filePath("app/Quorvin.app"), {});
        UpdateManager::Environment env;
        env.bundle = Bundle::forExecutable(dir.filePath("app/Quorvin.app/bin/quorvin"));
        env.changelogPath = dir.filePath("Changelog.json");
        env.cachePath = dir.filePath("feed.json");
        env.feedURL = server.url(feedPath).toString();
        env.defaults = &defaults;
        env.updateKey = env.codeSigningKey = keys.publicBase64();
        env.terminate = [this] { ++terminated; };
        if (decode) env.decodeFeed = decode;
        auto manager = std::make_unique<UpdateManager>(env);
        manager->setSslConfiguration(server.clientConfiguration());
        EXPECT_TRUE(TestSupport::waitFor([&] { return manager->notesLoaded(); }));
        return manager;
    }

    static bool settle(UpdateManager& m) {
        return TestSupport::waitFor([&] {
            const Kind k = m.state().kind();
            return k != Kind::checking && k != Kind::installing;
        }, 10000);
    }

    QTemporaryDir dir;
    TestHttpsServer server;
    UserDefaults defaults{QString()};
    Keys keys;
    int terminated = 0;
    std::function<std::optional<UpdateFeed>(const QByteArray&)> decode;
};

}  // namespace

TEST_F(UpdateChecker, ANewerBuildIsAvailableAndItsNotesAreMergedAndCached) {
    auto m = make();
    EXPECT_EQ(m->state(), UpdateManager::State::idle());
    QSignalSpy releases(m.get(), &UpdateManager::releasesChanged);
    m->check(false);
    EXPECT_EQ(m->state().kind(), Kind::checking);  // at once, before anything arrives
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::available("2.0"));
    ASSERT_TRUE(m->pending());
    EXPECT_EQ(m->pending()->build, 20);
    EXPECT_EQ(releases.count(), 1);
    ASSERT_EQ(m->releases().size(), 2);
    EXPECT_EQ(m->releases()[0].version, "2.0");
    EXPECT_EQ(readFile(dir.filePath("feed.json")), feedJson(20));
    EXPECT_EQ(terminated, 0);
}

TEST_F(UpdateChecker, UpToDateWhenTheFeedsBuildIsNotNewerAndThePendingBuildStays) {
    auto m = make();
    m->check(false);
    ASSERT_TRUE(settle(*m));
    ASSERT_EQ(m->state().kind(), Kind::available);

    server.serve("/appcast.json", {feedJson(10, "1.0")});  // the running build
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::upToDate());
    ASSERT_TRUE(m->pending());
    EXPECT_EQ(m->pending()->build, 20);  // an up-to-date answer leaves the last build found

    server.serve("/appcast.json", {feedJson(3, "0.3")});
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::upToDate());
}

TEST_F(UpdateChecker, AnErrorPageOrNoServerFailsAndKeepsTheLastGoodFeed) {
    auto m = make();
    m->check(false);
    ASSERT_TRUE(settle(*m));
    const QList<Release> before = m->releases();

    server.serve("/appcast.json", {"<html><body>Bad Gateway</body></html>", 502});
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::failed("Couldn’t reach the update server."));
    EXPECT_EQ(readFile(dir.filePath("feed.json")), feedJson(20));
    EXPECT_EQ(m->releases(), before);

    // A feed that is too large to be one.
    server.serve("/appcast.json", {QByteArray(UpdateManager::largestFeed + 10, ' ')});
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().text(), "Couldn’t reach the update server.");

    // A valid feed served with an error status still counts: the status is not inspected.
    server.serve("/appcast.json", {feedJson(30, "3.0"), 404});
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::available("3.0"));

    // Nothing listening.
    auto gone = make();
    UpdateManager::Environment env = gone->environment();
    env.feedURL = QStringLiteral("https://127.0.0.1:1/appcast.json");
    UpdateManager unreachable(env);
    unreachable.check(false);
    ASSERT_TRUE(settle(unreachable));
    EXPECT_EQ(unreachable.state().text(), "Couldn’t reach the update server.");
}

// A long feed froze the GUI thread at every check and every start.
TEST_F(UpdateChecker, ALongFeedIsDecodedOffTheGuiThreadAndOnlyTheNewestNotesAreKept) {
    QByteArray body = feedJson(20).chopped(2);  // without "]}"
    for (int i = 0; i < 2000; ++i)
        body += R"(,{"version":"1.)" + QByteArray::number(i) + R"(","date":"d","notes":["n"]})";
    body += "]}";
    server.serve("/appcast.json", {body});
    TestSupport::ThreadLedger ledger;
    decode = [&ledger](const QByteArray& bytes) {
        ledger.note("decode");
        return UpdateFeed::decode(bytes);
    };
    {
        auto m = make();
        m->check(false);
        ASSERT_TRUE(settle(*m));
        EXPECT_EQ(m->state(), UpdateManager::State::available("2.0"));
        ASSERT_EQ(m->releases().size(), UpdateManager::mostReleases);
        EXPECT_EQ(m->releases().front().version, "2.0");
        EXPECT_EQ(m->releases().back().version, QStringLiteral("1.%1").arg(2000 - UpdateManager::mostReleases + 1));
        EXPECT_EQ(readFile(dir.filePath("feed.json")), body);
    }
    // The next start decodes the kept feed.
    auto again = make();
    EXPECT_EQ(again->releases().size(), UpdateManager::mostReleases);
    again.reset();  // its queue is done before the counts are read
    EXPECT_TRUE(ledger.onGui.isEmpty());
    EXPECT_EQ(ledger.off.value("decode"), 2);
}

// A feed of 10 MB that inflated to 10 GB held the GUI thread for 23 s: Qt inflated it whole before
// its length was looked at.
TEST_F(UpdateChecker, TheGuiThreadAnswersWhileAFeedThatInflatesWithoutEndIsRefused) {
    TestHttpsServer::Response bomb{gzipOfZeros(qint64(10) << 30), 200, true, 64 * 1024};
    bomb.headers = "Content-Encoding: gzip\r\n";
    server.serve("/bomb.json", bomb);
    auto m = make("/bomb.json");
    const LogCapture log;
    TestSupport::GuiStallMeter meter;
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_LT(meter.longestMs(), 100);
    EXPECT_EQ(m->state(), UpdateManager::State::failed("Couldn’t reach the update server."));
    EXPECT_EQ(log.matching({"can't read", "decodes to more than 4194304 bytes"}).size(), 1)
        << qPrintable(log.all().join('\n'));
    EXPECT_FALSE(QFile::exists(dir.filePath("feed.json")));

    // A feed sent compressed, as servers do, reads as it did.
    TestHttpsServer::Response packed{gzip(feedJson(20))};
    packed.headers = "Content-Encoding: gzip\r\n";
    server.serve("/bomb.json", packed);
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::available("2.0"));
    EXPECT_EQ(readFile(dir.filePath("feed.json")), feedJson(20));
}

// gzip(1) reads zeros after a member and takes an empty body for an empty one; a stream that stops
// short is refused even when all of the feed came before its end.
TEST_F(UpdateChecker, AFeedSentCompressedIsReadAsGzipReadsItAndOneThatStopsShortIsNot) {
    auto m = make("/packed.json");
    const LogCapture log;
    TestHttpsServer::Response shortOfItsEnd{gzip(feedJson(20)).chopped(4)};
    shortOfItsEnd.headers = "Content-Encoding: gzip\r\n";
    server.serve("/packed.json", shortOfItsEnd);
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::failed("Couldn’t reach the update server."));
    EXPECT_EQ(log.matching({"can't read", "ends before its gzip stream does"}).size(), 1)
        << qPrintable(log.all().join('\n'));
    EXPECT_FALSE(QFile::exists(dir.filePath("feed.json")));

    TestHttpsServer::Response padded{gzip(feedJson(20)) + QByteArray(4096, '\0')};
    padded.headers = "Content-Encoding: gzip\r\n";
    server.serve("/packed.json", padded);
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state(), UpdateManager::State::available("2.0"));
    EXPECT_EQ(readFile(dir.filePath("feed.json")), feedJson(20));
}

// A feed in an encoding that is not read held the check until the transfer timed out, a minute later,
// and so did one whose body never came after headers that named such an encoding.
TEST_F(UpdateChecker, AFeedInAnEncodingNotReadIsRefusedAtOnce) {
    TestHttpsServer::Response sent{gzip(gzip(feedJson(20))) + QByteArray(32 << 20, ' '), 200, true, 64 * 1024};
    auto m = make("/encoded.json");
    for (const bool headersOnly : {false, true})
        for (const char* encoding : {"br", "zstd", "compress", "gzip, gzip"}) {
            SCOPED_TRACE(std::string(encoding) + (headersOnly ? ", headers only" : ""));
            sent.headers = "Content-Encoding: " + QByteArray(encoding) + "\r\n";
            sent.headersOnly = headersOnly;
            server.serve("/encoded.json", sent);
            const LogCapture log;
            m->check(false);
            EXPECT_TRUE(TestSupport::waitFor([&] { return m->state().kind() == Kind::failed; }, 3000))
                << qPrintable(m->state().text());
            EXPECT_EQ(m->state(), UpdateManager::State::failed("Couldn’t reach the update server."));
            const QString why = QStringLiteral("its %1 encoding is not one Quorvin reads").arg(encoding);
            EXPECT_EQ(log.matching({"can't read", why}).size(), 1) << qPrintable(log.all().join('\n'));
        }
    EXPECT_FALSE(QFile::exists(dir.filePath("feed.json")));
}

// What a server's encodings decode to, and where they stop.
TEST(BodyInflater, DecodesWhatServersSendAndStopsJustPastTheLimit) {
    const QByteArray text = QByteArray("{\"latest\":1}").repeated(50);
    const QByteArray zlibbed = qCompress(text).mid(4);  // Qt's own length prefix dropped
    const QByteArray gz = gzip(text);
    struct Case {
        const char* name;
        QByteArray encoding, body;
        qint64 limit;
        bool ok;
        bool tooLong;
        QByteArray decoded;
    };
    const Case cases[] = {
        {"none", "", text, 1000, true, false, text},
        {"none, past the limit", "identity", text, 10, false, true, text.left(11)},
        {"gzip", "GZip", gz, 1000, true, false, text},
        {"two gzip members", "x-gzip", gz + gz, 2000, true, false, text + text},
        {"two gzip members, each within the limit", "gzip", gz + gz, 900, false, true, (text + text).left(901)},
        {"gzip past the limit", "gzip", gzipOfZeros(1 << 20), 4096, false, true, QByteArray(4097, '\0')},
        {"gzip cut short", "gzip", gz.chopped(5), 1000, false, false, text},
        {"gzip junk after", "gzip", gz + "junk", 1000, false, false, text},
        {"gzip, zeros after", "gzip", gz + QByteArray(700, '\0'), 1000, true, false, text},
        {"gzip, one zero after", "gzip", gz + QByteArray(1, '\0'), 1000, true, false, text},
        {"gzip, zeros then junk", "gzip", gz + QByteArray(300, '\0') + "x", 1000, false, false, text},
        {"gzip, zeros then a member", "gzip", gz + QByteArray(3, '\0') + gz, 2000, false, false, text},
        {"gzip, second member cut short", "gzip", gz + gz.chopped(5), 2000, false, false, text + text},
        {"gzip, a byte of a second member", "gzip", gz + gz.left(1), 2000, false, false, text},
        {"gzip, empty", "gzip", "", 1000, true, false, ""},
        {"gzip, one byte", "gzip", gz.left(1), 1000, false, false, ""},
        {"deflate, empty", "deflate", "", 1000, true, false, ""},
        {"deflate, wrapped", "deflate", zlibbed, 1000, true, false, text},
        {"deflate, bare", "deflate", zlibbed.mid(2).chopped(4), 1000, true, false, text},
        {"deflate, bare, a byte past a full step", "deflate", qCompress(QByteArray(65537, '\0')).mid(6).chopped(4),
         100000, true, false, QByteArray(65537, '\0')},
        {"deflate junk after", "deflate", zlibbed + "x", 1000, false, false, text},
        {"not gzip", "gzip", text, 1000, false, false, ""},
        {"unknown", "br", text, 1000, false, false, ""},
        {"zstd", "zstd", text, 1000, false, false, ""},
        {"compress", "compress", text, 1000, false, false, ""},
        {"gzip twice", "gzip, gzip", gzip(gz), 1000, false, false, ""},
    };
    for (const Case& c : cases) {
        for (const int piece : {1, 7, 100000}) {  // as it arrives, in pieces of any size
            BodyInflater inflater(c.encoding, c.limit);
            QByteArray out;
            bool ok = true;
            for (qsizetype at = 0; at < c.body.size(); at += piece) ok = inflater.add(c.body.mid(at, piece), out) && ok;
            ok = inflater.finish() && ok;
            EXPECT_EQ(ok, c.ok) << c.name << " " << piece;
            EXPECT_EQ(inflater.isTooLong(), c.tooLong) << c.name;
            EXPECT_EQ(out, c.decoded) << c.name << " " << piece;
            EXPECT_EQ(inflater.problem().isEmpty(), c.ok) << c.name;
        }
    }
}

TEST_F(UpdateChecker, AServerWhoseCertificateIsNotTrustedIsUnreachable) {
    auto m = make();
    m->setSslConfiguration(QSslConfiguration::defaultConfiguration());
    m->check(false);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().kind(), Kind::failed);
    EXPECT_FALSE(QFile::exists(dir.filePath("feed.json")));
}

TEST_F(UpdateChecker, ACheckDuringACheckIsIgnoredAndAnyOtherStateLetsOneStart) {
    server.serve("/slow.json", {feedJson(20), 200, true, 64});
    auto m = make("/slow.json");
    m->check(false);
    m->check(false);
    m->check(true);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(server.requests("/slow.json"), 1);
    EXPECT_EQ(m->state().kind(), Kind::available);

    m->check(false);  // from available
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(server.requests("/slow.json"), 2);

    server.serve("/slow.json", {"junk"});
    m->check(false);
    ASSERT_TRUE(settle(*m));
    ASSERT_EQ(m->state().kind(), Kind::failed);
    server.serve("/slow.json", {feedJson(10)});
    m->check(false);  // from failed
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(m->state().kind(), Kind::upToDate);
    m->check(false);  // from upToDate
    EXPECT_EQ(m->state().kind(), Kind::checking);
    ASSERT_TRUE(settle(*m));
    EXPECT_EQ(server.requests("/slow.json"), 5);
}

TEST_F(UpdateChecker, TheLaunchCheckInstallsUnlessSwitchedOffAndTheTimerNeverDoes) {
    // Run from a build folder: an installation starts and fails at once, which shows it was tried.
    {
        auto m = make();
        UpdateManager::Environment env = m->environment();
        env.bundle = Bundle::forExecutable(dir.filePath("build/quorvin"));
        UpdateManager fromBuild(env);
        fromBuild.setSslConfiguration(server.clientConfiguration());
        QList<Kind> seen;
        QObject::connect(&fromBuild, &UpdateManager::stateChanged, [&] { seen << fromBuild.state().kind(); });
        fromBuild.start();
        ASSERT_TRUE(settle(fromBuild));
        EXPECT_EQ(seen, (QList<Kind>{Kind::checking, Kind::available, Kind::installing, Kind::failed}));
        EXPECT_TRUE(fromBuild.state().text().contains("can’t update itself"));
        ASSERT_TRUE(fromBuild.timer());
        EXPECT_TRUE(fromBuild.timer()->isActive());
        EXPECT_EQ(fromBuild.timer()->interval(), 21600 * 1000);

        // The timer's check only tells.
        seen.clear();
        QMetaObject::invokeMethod(const_cast<QTimer*>(fromBuild.timer()), "timeout");
        ASSERT_TRUE(settle(fromBuild));
        EXPECT_EQ(seen, (QList<Kind>{Kind::checking, Kind::available}));

        fromBuild.start();  // once only
        EXPECT_EQ(server.requests("/appcast.json"), 2);
    }
    // Switched off: the launch check only tells. A stored value that is not a Boolean counts as on.
    defaults.setBool("autoInstallUpdates", false);
    auto off = make();
    EXPECT_FALSE(off->autoInstall());
    off->start();
    ASSERT_TRUE(settle(*off));
    EXPECT_EQ(off->state().kind(), Kind::available);
    defaults.setString("autoInstallUpdates", "no");
    EXPECT_TRUE(make()->autoInstall());
}

TEST_F(UpdateChecker, TheToastIsAskedForOnceAfterAnUpdateToAnotherVersion) {
    auto m = make();
    QSignalSpy toast(m.get(), &UpdateManager::toastRequested);
    m->showToastIfJustUpdated();
    EXPECT_EQ(toast.count(), 0);

    defaults.setString("updatedFromVersion", "1.0");  // the running version: relaunched as it was
    m->showToastIfJustUpdated();
    EXPECT_EQ(toast.count(), 0);
    EXPECT_FALSE(defaults.contains("updatedFromVersion"));

    defaults.setString("updatedFromVersion", "0.9");
    m->showToastIfJustUpdated();
    ASSERT_EQ(toast.count(), 1);
    EXPECT_EQ(toast.at(0).at(0).toString(), "1.0");
    EXPECT_FALSE(defaults.contains("updatedFromVersion"));
    m->showToastIfJustUpdated();
    EXPECT_EQ(toast.count(), 1);
}

TEST(UpdateCheckerReadings, RunningVersionAndBuildFromTheBundle) {
    QTemporaryDir dir;
    auto bundleWith = [&](const QString& build) {
        writeBundle(dir.filePath("Quorvin.app"), {QStringLiteral("com.pelwick.Quorvin"), "1.2", build});
        return Bundle::forExecutable(dir.filePath("Quorvin.app/bin/quorvin"));
    };
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("42")), 42);
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("+42")), 42);
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("-3")), -3);
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("4 2")), 0);
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("0x10")), 0);
    EXPECT_EQ(UpdateManager::currentBuild(bundleWith("99999999999999999999")), 0);
    EXPECT_EQ(UpdateManager::currentVersion(bundleWith("1")), "1.2");
    EXPECT_EQ(UpdateManager::currentBuild(Bundle::forExecutable({})), qint64(QStringLiteral(QUORVIN_BUILD).toLongLong()));
}
