#include "Platform/Core/Bundle.h"
#include "Platform/Files/NativePath.h"
#include "Source/Features/Updates/CodeSignature.h"

#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

using namespace UpdateTestSupport;

namespace {

std::string runRelease(const QStringList& args) {
    QProcess script;
    script.start(QStringLiteral(QUORVIN_RELEASE_SCRIPT), args);
    if (!script.waitForFinished(120000) || script.exitCode() != 0)
        return (script.readAllStandardError() + " (failed)").toStdString();
    return {};
}

void makeProbeBundle(const QString& path, const QString& version, const QString& build, const QString& feed) {
    writeFile(path + "/Info.json",
              QJsonDocument(QJsonObject{{"identifier", "com.pelwick.Quorvin"}, {"name", "Quorvin"}, {"version", version},
                                        {"build", build}, {"feedURL", feed}})
                  .toJson());
    QDir().mkpath(path + "/bin");
    QFile::copy(QStringLiteral(QUORVIN_UPDATE_PROBE), path + "/bin/quorvin");
    QFile::setPermissions(path + "/bin/quorvin", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                     QFile::ExeOther);
    writeFile(path + "/Resources/Changelog.json",
              "[{\"version\":\"" + version.toUtf8() + "\",\"date\":\"today\",\"notes\":[\"Notes of " +
                  version.toUtf8() + ".\"]}]");
}

// A signed bundle (1.0, build 1) made by the release script, a newer signed build (2.0, build 2)
// on the feed, and the probe's own folders, certificate trust and log.
class EndToEnd {
public:
    explicit EndToEnd(const QString& installed) {
        const QString key = dir.filePath("maker.pem");
        ok_ = server.isListening() &&
              writeFile(key, privateKeyPem(keys.pair.privateKey), QFile::ReadOwner | QFile::WriteOwner);
        const QString feed = server.url("/appcast.json").toString();
        makeProbeBundle(installed, "1.0", "1", feed);
        failure_ = runRelease({"sign", installed, key});
        ok_ = ok_ && failure_.empty() && CodeSignature::verify(installed, keys.publicBase64());

        makeProbeBundle(dir.filePath("v2/Quorvin.app"), "2.0", "2", feed);
        failure_ += runRelease(
            {"archive", dir.filePath("v2/Quorvin.app"), key, server.url("/dl").toString(), dir.filePath("out")});
        appcast = readFile(dir.filePath("out/appcast.json"));
        latest = QJsonDocument::fromJson(appcast).object().value("latest").toObject();
        zipName = QUrl(latest.value("url").toString()).fileName();
        zip = readFile(dir.filePath("out/" + zipName));
        ok_ = ok_ && failure_.empty() && !zip.isEmpty();
        server.serve("/appcast.json", {appcast});
        server.serve("/dl/" + zipName, {zip});

        writeFile(dir.filePath("ca.pem"), server.certificatePem());
        writeFile(dir.filePath("probe.json"),
                  QJsonDocument(QJsonObject{{"key", keys.publicBase64()}, {"ca", dir.filePath("ca.pem")}, {"log", log}})
                      .toJson());
        env = QProcessEnvironment::systemEnvironment();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
            QDir().mkpath(dir.filePath(var));
            env.insert(var, dir.filePath(var));
        }
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUORVIN_PROBE_CONFIG", dir.filePath("probe.json"));
    }
    // Why the set-up failed; empty when it holds.
    std::string failure() const { return ok_ ? std::string() : failure_ + " (set-up failed)"; }

    QStringList lines() const { return QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts); }
    bool contains(const QString& text) const {
        for (const QString& line : lines())
            if (line.section(' ', 1) == text) return true;
        return false;
    }
    // Output to files, as a desktop session's journal takes it: the relaunched program inherits them.
    void start(QProcess& process, const QString& program, QIODevice::OpenMode mode = QIODevice::Truncate) {
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(dir.filePath("out.txt"), mode);
        process.setStandardErrorFile(dir.filePath("err.txt"), mode);
        process.start(program);
    }
    // The first run installs and quits; the shell starts the new build, which shows the toast and
    // finds itself up to date.
    bool updated() const {
        return TestSupport::waitFor([&] { return contains("toast 2.0 shown") && contains("state upToDate "); }, 60000);
    }
    std::string report() const {
        return lines().join('\n').toStdString() + "\n" + readFile(dir.filePath("err.txt")).toStdString();
    }

    TestHttpsServer server;
    QTemporaryDir dir;
    const Keys keys;
    const QString log = dir.filePath("log");
    QByteArray appcast, zip;
    QJsonObject latest;
    QString zipName;
    QProcessEnvironment env;

private:
    bool ok_ = false;
    std::string failure_;
};

}  // namespace

// A signed bundle made by the release script runs, finds a newer signed build on the feed,
// installs it, starts again from it, and the new build greets the user once.
TEST(UpdateEndToEnd, ABundleUpdatesItselfRelaunchesAndShowsTheToastOnce) {
    QTemporaryDir home;
    const QString installed = home.filePath("apps/Quorvin.app");
    EndToEnd e(installed);
    ASSERT_EQ(e.failure(), "");
    QTemporaryDir& dir = e.dir;
    EXPECT_EQ(e.latest.value("version").toString(), "2.0");
    EXPECT_EQ(e.latest.value("build").toInt(), 2);
    EXPECT_EQ(e.latest.value("length").toInteger(), e.zip.size());
    auto lines = [&] { return e.lines(); };

    QProcess first;
    e.start(first, installed + "/bin/quorvin");
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(e.updated()) << e.report();
    TestSupport::waitFor([&] { return first.state() == QProcess::NotRunning; }, 5000);
    const QStringList all = lines();
    ASSERT_GE(all.size(), 6) << qPrintable(all.join('\n'));
    const QString firstPid = all.first().section(' ', 0, 0);
    EXPECT_TRUE(all.first().startsWith(firstPid + " start 1.0 1 "));
    EXPECT_TRUE(all.contains(firstPid + " state installing ")) << qPrintable(all.join('\n'));
    EXPECT_TRUE(all.contains(firstPid + " quit"));
    const QStringList second = all.filter(QRegularExpression("^(?!" + firstPid + " )"));
    ASSERT_FALSE(second.isEmpty());
    EXPECT_TRUE(second.first().contains(" start 2.0 2 ")) << qPrintable(second.first());
    EXPECT_EQ(Bundle::forExecutable(installed + "/bin/quorvin").build(), "2");
    EXPECT_TRUE(CodeSignature::verify(installed, e.keys.publicBase64()));
    EXPECT_EQ(QDir(home.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Quorvin.app"});
    EXPECT_TRUE(QDir(dir.filePath("TMPDIR")).entryList({"quorvin-update-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());

    // Started again: up to date, and no second toast.
    ASSERT_TRUE(TestSupport::waitFor([&] { return lines().filter(" toast ").size() == 1 && lines().last().endsWith("state upToDate "); }, 5000));
    QProcess third;
    e.start(third, installed + "/bin/quorvin", QIODevice::Append);
    ASSERT_TRUE(third.waitForStarted());
    ASSERT_TRUE(TestSupport::waitFor([&] { return third.state() == QProcess::NotRunning; }, 30000));
    const QStringList after = lines();
    EXPECT_EQ(after.filter(" toast ").size(), 1) << qPrintable(after.join('\n'));
    EXPECT_TRUE(after.last().endsWith("state upToDate ")) << qPrintable(after.join('\n'));
}

// Run from a folder named in bytes that are not UTF-8, its look-alike beside it holding another
// copy: the real bundle is read, updated and started again; the look-alike is neither changed nor run.
TEST(UpdateEndToEnd, ABundleInAFolderNotNamedInUTF8UpdatesAndRelaunchesItselfThere) {
    QTemporaryDir home;
    const QString made = home.filePath("made/Quorvin.app");
    EndToEnd e(made);
    ASSERT_EQ(e.failure(), "");
    const QByteArray base = NativePath::encode(home.path());
    const QByteArray real = base + "/x-\xe9", lookAlike = base + "/x-\xef\xbf\xbd";
    for (const QByteArray& folder : {real, lookAlike})
        ASSERT_TRUE(std::filesystem::create_directories(folder.toStdString()));
    std::filesystem::copy(made.toStdString(), (lookAlike + "/Quorvin.app").toStdString(),
                          std::filesystem::copy_options::recursive);
    std::filesystem::rename(made.toStdString(), (real + "/Quorvin.app").toStdString());
    // Started through a link with a UTF-8 name: the program finds its real folder by itself.
    std::filesystem::create_directory_symlink(real.toStdString(), (base + "/start").toStdString());

    QProcess first;
    e.start(first, home.filePath("start/Quorvin.app/bin/quorvin"));
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(e.updated()) << e.report();
    TestSupport::waitFor([&] { return first.state() == QProcess::NotRunning; }, 5000);
    const QStringList all = e.lines();
    ASSERT_GE(all.size(), 2);
    EXPECT_TRUE(all.first().contains(" start 1.0 1 ")) << e.report();
    EXPECT_EQ(all.filter(" start 2.0 2 ").size(), 1) << e.report();
    EXPECT_EQ(all.filter(" start ").size(), 2) << e.report();

    const QString installed = NativePath::decode(real + "/Quorvin.app");
    const QString other = NativePath::decode(lookAlike + "/Quorvin.app");
    EXPECT_EQ(Bundle::forExecutable(installed + "/bin/quorvin").build(), "2");
    EXPECT_EQ(Bundle::forExecutable(other + "/bin/quorvin").build(), "1");
    for (const QString& bundle : {installed, other}) EXPECT_TRUE(CodeSignature::verify(bundle, e.keys.publicBase64()));
    for (const QByteArray& folder : {real, lookAlike})
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{"Quorvin.app"}) << folder.toStdString();
    std::filesystem::remove_all(base.toStdString());
}
