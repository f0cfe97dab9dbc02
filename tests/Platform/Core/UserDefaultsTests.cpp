#include "FailingFileWriter.h"
#include "LogCapture.h"
#include "Platform/Core/UserDefaults.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
QString freshPath(const char* name) {
    const QString dir = TestSupport::tempRoot() + "/defaults-" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir + "/domain.json";
}
}  // namespace

TEST(UserDefaults, TypedGettersTreatWrongTypesAsAbsent) {
    UserDefaults d(freshPath("types"));
    d.setBool("flag", true);
    d.setDouble("tint", 0.4);
    d.setInteger("count", 12);
    d.setString("tone", "blue");
    d.setStringArray("apps", {"a.desktop", "b.desktop"});
    d.setData("blob", QByteArray("\x00\x01\xff", 3));

    EXPECT_EQ(d.boolValue("flag"), true);
    EXPECT_EQ(d.doubleValue("tint"), 0.4);
    EXPECT_EQ(d.integerValue("count"), 12);
    EXPECT_EQ(d.string("tone"), QString("blue"));
    EXPECT_EQ(d.stringArray("apps"), QStringList({"a.desktop", "b.desktop"}));
    EXPECT_EQ(d.data("blob"), QByteArray("\x00\x01\xff", 3));

    // A bool read from a non-bool value counts as absent, and so on for every type.
    EXPECT_FALSE(d.boolValue("count"));
    EXPECT_FALSE(d.boolValue("tone"));
    EXPECT_FALSE(d.doubleValue("flag"));
    EXPECT_FALSE(d.integerValue("tint"));
    EXPECT_FALSE(d.string("count"));
    EXPECT_FALSE(d.array("tone"));
    EXPECT_FALSE(d.dictionary("apps"));
    EXPECT_FALSE(d.boolValue("missing"));
    EXPECT_TRUE(d.boolOr("missing", true));

    d.set("mixed", QJsonArray{"a", 1});
    EXPECT_FALSE(d.stringArray("mixed"));
    d.setString("notBase64", "***");
    EXPECT_FALSE(d.data("notBase64"));
}

TEST(UserDefaults, PersistsAtomicallyAndSignalsPerKey) {
    const QString path = freshPath("persist");
    {
        UserDefaults d(path);
        QSignalSpy spy(&d, &UserDefaults::valueChanged);
        d.setDouble("updateInterval", 5);
        d.setDouble("updateInterval", 5);  // unchanged: no write, no signal
        d.setBool("welcomeShown", true);
        d.remove("welcomeShown");
        d.remove("welcomeShown");
        ASSERT_EQ(spy.count(), 3);
        EXPECT_EQ(spy.at(0).at(0).toString(), "updateInterval");
        EXPECT_EQ(spy.at(2).at(0).toString(), "welcomeShown");
        EXPECT_TRUE(d.lastWriteSucceeded());
    }
    // No temporary files left beside the domain file.
    const QStringList files = QFileInfo(path).absoluteDir().entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{"domain.json"});

    UserDefaults reread(path);
    EXPECT_EQ(reread.doubleValue("updateInterval"), 5.0);
    EXPECT_FALSE(reread.contains("welcomeShown"));
}

TEST(UserDefaults, DamagedFileIsMovedAsideAndStoreStartsEmpty) {
    const QString path = freshPath("damaged");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"statusIcon\": \"original\", trailing garbage");
    }
    UserDefaults d(path);
    EXPECT_TRUE(d.keys().isEmpty());
    EXPECT_TRUE(d.startedFromDamagedFile());
    EXPECT_FALSE(QFile::exists(path));
    const QStringList aside = QFileInfo(path).absoluteDir().entryList({"domain.json.damaged-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(path).absolutePath() + "/" + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("trailing garbage"));

    // The store works on from empty and writes a fresh file, which reads as sound.
    d.setString("statusIcon", "symbol:cpu");
    UserDefaults reread(path);
    EXPECT_EQ(reread.string("statusIcon"), QString("symbol:cpu"));
    EXPECT_FALSE(reread.startedFromDamagedFile());
    EXPECT_FALSE(UserDefaults(freshPath("missing")).startedFromDamagedFile());
}

TEST(UserDefaults, NonObjectDocumentCountsAsDamaged) {
    const QString path = freshPath("array");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[1, 2, 3]");
    }
    UserDefaults d(path);
    EXPECT_TRUE(d.keys().isEmpty());
    EXPECT_EQ(QFileInfo(path).absoluteDir().entryList({"*.damaged-*"}, QDir::Files).size(), 1);
}

TEST(UserDefaults, UnwritableLocationKeepsValuesInMemoryAndReportsFailure) {
    // A regular file where the folder should be: no one, not even root, can write below it.
    const QString blocker = TestSupport::tempRoot() + "/defaults-blocker";
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    UserDefaults d(blocker + "/domain.json");
    d.setBool("flag", true);
    EXPECT_EQ(d.boolValue("flag"), true);
    EXPECT_FALSE(d.lastWriteSucceeded());
    d.setBool("flag", false);
    EXPECT_EQ(d.boolValue("flag"), false);
}

TEST(UserDefaults, StandardDomainLivesUnderXdgConfigHome) {
    EXPECT_EQ(UserDefaults::pathForDomain("com.pelwick.Quorvin"),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/com.pelwick.Quorvin.json");
    EXPECT_EQ(UserDefaults::standard().filePath(), UserDefaults::pathForDomain("com.pelwick.Quorvin"));
    EXPECT_EQ(UserDefaults::legacy().filePath(), UserDefaults::pathForDomain("com.pelwick.Merovane"));
}

TEST(UserDefaults, AFailedWriteIsLoggedWithPathAndReasonAndTheValueKept) {
    const QString path = freshPath("failing");
    UserDefaults d(path);
    d.setBool("flag", true);
    ASSERT_TRUE(d.lastWriteSucceeded());
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    FailingFileWriter failing;
    failing.failPathsContaining("defaults-failing");
    LogCapture log;
    d.setBool("flag", false);
    EXPECT_FALSE(d.lastWriteSucceeded());
    EXPECT_EQ(d.boolValue("flag"), false);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(log.matching({"Settings file", path, "No space left on device"}).size(), 1);
}

TEST(UserDefaults, ASettingsFileThatIsALinkIsNotWrittenThrough) {
    const QString path = freshPath("linked");
    const QString target = QFileInfo(path).absolutePath() + "/dotfiles-copy.json";
    QFile t(target);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("{\"kept\": true}");
    t.close();
    ASSERT_EQ(QFile::link(target, path), true);
    UserDefaults d(path);
    d.setBool("flag", true);
    EXPECT_FALSE(d.lastWriteSucceeded());
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll(), "{\"kept\": true}");
}
