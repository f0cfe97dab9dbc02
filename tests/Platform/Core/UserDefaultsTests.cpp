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

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

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

TEST(UserDefaults, AFileThatCannotBeReadIsNeverWrittenOverAndSaidOnce) {
    struct Row {
        const char* name;
        std::function<bool(const QString& path)> make;
        QString reason;
    };
    const Row rows[] = {
        {"FIFO", [](const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; },
         "is not a regular file"},
        {"link to /dev/zero", [](const QString& path) { return QFile::link("/dev/zero", path); },
         "is a link to /dev/zero, which is no regular file of yours"},
        {"link to nothing", [](const QString& path) { return QFile::link(path + ".gone", path); },
         "is a link to nothing"},
        {"too large",
         [](const QString& path) {
             QFile f(path);
             return f.open(QIODevice::WriteOnly) && f.resize(UserDefaults::maxFileSize + 1);
         },
         QString("is larger than %1 bytes").arg(UserDefaults::maxFileSize)},
        {"unreadable",
         [](const QString& path) {
             QFile f(path);
             return f.open(QIODevice::WriteOnly) && f.write("{\"userIdentifier\": \"kept\"}") > 0 &&
                    ::chmod(QFile::encodeName(path).constData(), 0200) == 0;
         },
         "Permission denied"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (QString(row.name) == "unreadable" && ::geteuid() == 0) continue;  // root reads it anyway
        const QString path = freshPath("hostile");
        ASSERT_TRUE(row.make(path));
        struct stat before {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &before), 0);
        LogCapture log;
        UserDefaults d(path);
        ASSERT_TRUE(d.readFailure());
        EXPECT_EQ(d.readFailure()->reason, row.reason);
        EXPECT_FALSE(d.startedFromDamagedFile());
        // Defaults in memory; nothing written over what is there.
        d.setString("userIdentifier", "new");
        d.setBool("flag", true);
        EXPECT_EQ(d.string("userIdentifier"), QString("new"));
        EXPECT_FALSE(d.lastWriteSucceeded());
        struct stat after {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_size, before.st_size);
        EXPECT_EQ(QDir(QFileInfo(path).absolutePath())
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{"domain.json"});
        EXPECT_EQ(log.all().size(), 1) << qPrintable(log.all().join('\n'));
        EXPECT_EQ(log.matching({"Settings file", path, row.reason, "not saved until it is readable"}).size(), 1);
    }
    // Once the file is readable again its values are read, none lost.
    const QString path = freshPath("hostile") + ".readable";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"userIdentifier\": \"kept\"}");
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0200), 0);
    UserDefaults d(path);
    d.setString("userIdentifier", "new");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    d.reload();
    EXPECT_FALSE(d.readFailure());
    EXPECT_EQ(d.string("userIdentifier"), QString(::geteuid() == 0 ? "new" : "kept"));
}

TEST(UserDefaults, ALinkToTheUsersOwnFileIsReadAndWrittenThroughAndStays) {
    const QString path = freshPath("linked");
    const QString dotfiles = TestSupport::tempRoot() + "/defaults-dotfiles";
    QDir(dotfiles).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dotfiles));
    const QString target = dotfiles + "/quorvin.json";
    auto readTarget = [&] {
        QFile t(target);
        return t.open(QIODevice::ReadOnly) ? t.readAll() : QByteArray();
    };
    {
        QFile t(target);
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write("{\"kept\": true}");
    }
    ASSERT_TRUE(QFile::link(target, path));
    UserDefaults d(path);
    EXPECT_FALSE(d.readFailure());
    EXPECT_EQ(d.boolValue("kept"), true);
    d.setBool("flag", true);
    EXPECT_TRUE(d.lastWriteSucceeded());
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), target);
    EXPECT_EQ(UserDefaults(path).boolValue("flag"), true);
    EXPECT_TRUE(readTarget().contains("\"flag\": true"));
    EXPECT_EQ(QDir(dotfiles).entryList(QDir::Files | QDir::Hidden), QStringList{"quorvin.json"});

    // A damaged target is copied aside beside the link; the link stays and the next write mends the target.
    {
        QFile t(target);
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write("{\"flag\": true, trailing");
    }
    UserDefaults damaged(path);
    EXPECT_TRUE(damaged.startedFromDamagedFile());
    EXPECT_FALSE(damaged.readFailure());
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    const QStringList aside = QFileInfo(path).absoluteDir().entryList({"domain.json.damaged-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    damaged.setBool("flag", false);
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(UserDefaults(path).boolValue("flag"), false);
}
