#include "Platform/Core/Bundle.h"
#include "Source/Features/Updates/CodeSignature.h"

#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

}  // namespace

// A signed bundle made by the release script runs, finds a newer signed build on the feed,
// installs it, starts again from it, and the new build greets the user once.
TEST(UpdateEndToEnd, ABundleUpdatesItselfRelaunchesAndShowsTheToastOnce) {
    TestHttpsServer server;
    ASSERT_TRUE(server.isListening());
    QTemporaryDir dir;
    const Keys keys;
    const QString key = dir.filePath("maker.pem");
    ASSERT_TRUE(writeFile(key, privateKeyPem(keys.pair.privateKey), QFile::ReadOwner | QFile::WriteOwner));
    const QString feed = server.url("/appcast.json").toString();

    const QString installed = dir.filePath("apps/Quorvin.app");
    makeProbeBundle(installed, "1.0", "1", feed);
    ASSERT_EQ(runRelease({"sign", installed, key}), "");
    ASSERT_TRUE(CodeSignature::verify(installed, keys.publicBase64()));

    makeProbeBundle(dir.filePath("v2/Quorvin.app"), "2.0", "2", feed);
    ASSERT_EQ(runRelease({"archive", dir.filePath("v2/Quorvin.app"), key, server.url("/dl").toString(), dir.filePath("out")}), "");
    const QByteArray appcast = readFile(dir.filePath("out/appcast.json"));
    const QJsonObject latest = QJsonDocument::fromJson(appcast).object().value("latest").toObject();
    EXPECT_EQ(latest.value("version").toString(), "2.0");
    EXPECT_EQ(latest.value("build").toInt(), 2);
    const QString zipName = QUrl(latest.value("url").toString()).fileName();
    const QByteArray zip = readFile(dir.filePath("out/" + zipName));
    ASSERT_FALSE(zip.isEmpty());
    EXPECT_EQ(latest.value("length").toInteger(), zip.size());
    server.serve("/appcast.json", {appcast});
    server.serve("/dl/" + zipName, {zip});

    // The probe's own folders, certificate trust and log.
    const QString log = dir.filePath("log");
    writeFile(dir.filePath("ca.pem"), server.certificatePem());
    writeFile(dir.filePath("probe.json"),
              QJsonDocument(QJsonObject{{"key", keys.publicBase64()}, {"ca", dir.filePath("ca.pem")}, {"log", log}}).toJson());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
        QDir().mkpath(dir.filePath(var));
        env.insert(var, dir.filePath(var));
    }
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUORVIN_PROBE_CONFIG", dir.filePath("probe.json"));
    auto lines = [&] { return QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts); };
    auto contains = [&](const QString& text) {
        for (const QString& line : lines())
            if (line.section(' ', 1) == text) return true;
        return false;
    };

    QProcess first;
    first.setProcessEnvironment(env);
    // Output to files, as a desktop session's journal takes it: the relaunched program inherits them.
    first.setStandardOutputFile(dir.filePath("out.txt"));
    first.setStandardErrorFile(dir.filePath("err.txt"));
    first.start(installed + "/bin/quorvin");
    ASSERT_TRUE(first.waitForStarted());
    // The first run installs and quits; the shell starts the new build, which shows the toast and
    // finds itself up to date.
    ASSERT_TRUE(TestSupport::waitFor([&] { return contains("toast 2.0 shown") && contains("state upToDate "); }, 60000))
        << qPrintable(lines().join('\n')) << readFile(dir.filePath("err.txt")).toStdString();
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
    EXPECT_TRUE(CodeSignature::verify(installed, keys.publicBase64()));
    EXPECT_EQ(QDir(dir.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Quorvin.app"});
    EXPECT_TRUE(QDir(dir.filePath("TMPDIR")).entryList({"quorvin-update-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());

    // Started again: up to date, and no second toast.
    ASSERT_TRUE(TestSupport::waitFor([&] { return lines().filter(" toast ").size() == 1 && lines().last().endsWith("state upToDate "); }, 5000));
    QProcess third;
    third.setProcessEnvironment(env);
    third.setStandardOutputFile(dir.filePath("out.txt"), QIODevice::Append);
    third.setStandardErrorFile(dir.filePath("err.txt"), QIODevice::Append);
    third.start(installed + "/bin/quorvin");
    ASSERT_TRUE(third.waitForStarted());
    ASSERT_TRUE(TestSupport::waitFor([&] { return third.state() == QProcess::NotRunning; }, 30000));
    const QStringList after = lines();
    EXPECT_EQ(after.filter(" toast ").size(), 1) << qPrintable(after.join('\n'));
    EXPECT_TRUE(after.last().endsWith("state upToDate ")) << qPrintable(after.join('\n'));
}
