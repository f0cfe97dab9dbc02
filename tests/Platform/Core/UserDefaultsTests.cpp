#include "FailingFileWriter.h"
#include "FileTreeSupport.h"
#include "LogCapture.h"
#include "NoLocksFolder.h"
#include "Platform/Core/Setting.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/FolderLock.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string native(const QString& path) { return NativePath::encode(path).toStdString(); }

bool writeBytes(const QString& path, const QByteArray& bytes) {
    std::ofstream out(native(path), std::ios::binary | std::ios::trunc);
    return bool(out.write(bytes.constData(), bytes.size()).flush());
}

QByteArray readBytes(const QString& path) {
    return SafeFile::readRegular(path, UserDefaults::maxFileSize).value_or(QByteArray());
}

using FileTree::entries;
using FileTree::mode;

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
        EXPECT_EQ(mode(path), 0644);

        // A mode the user chose stays through every save.
        ASSERT_EQ(::chmod(native(path).c_str(), 0600), 0);
        d.setBool("welcomeShown", true);
        d.remove("welcomeShown");
        EXPECT_EQ(mode(path), 0600);
    }
    // No temporary files left beside the domain file.
    const QStringList files = QFileInfo(path).absoluteDir().entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{"domain.json"});

    UserDefaults reread(path);
    EXPECT_EQ(reread.doubleValue("updateInterval"), 5.0);
    EXPECT_FALSE(reread.contains("welcomeShown"));
}

TEST(UserDefaults, DamagedFileIsMovedAsideAndStoreStartsEmpty) {
    // The file that replaces the damaged one has its mode.
    for (const mode_t fileMode : {mode_t(0644), mode_t(0600), mode_t(0640)}) {
        SCOPED_TRACE(fileMode);
        const QString path = freshPath("damaged");
        ASSERT_TRUE(writeBytes(path, "{\"statusIcon\": \"original\", trailing garbage"));
        ASSERT_EQ(::chmod(native(path).c_str(), fileMode), 0);
        UserDefaults d(path);
        EXPECT_TRUE(d.keys().isEmpty());
        EXPECT_TRUE(d.startedFromDamagedFile());
        EXPECT_FALSE(QFile::exists(path));
        const QStringList aside = QFileInfo(path).absoluteDir().entryList({"domain.json.damaged-*"}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        const QString kept = QFileInfo(path).absolutePath() + "/" + aside.first();
        EXPECT_TRUE(readBytes(kept).contains("trailing garbage"));
        EXPECT_EQ(mode(kept), fileMode);

        // The store works on from empty and writes a fresh file, which reads as sound.
        d.setString("statusIcon", "symbol:cpu");
        EXPECT_EQ(mode(path), fileMode);
        UserDefaults reread(path);
        EXPECT_EQ(reread.string("statusIcon"), QString("symbol:cpu"));
        EXPECT_FALSE(reread.startedFromDamagedFile());
    }
    EXPECT_FALSE(UserDefaults(freshPath("missing")).startedFromDamagedFile());

    // Damaged again within the same second: the second copy goes beside the first, and the store
    // still saves.
    const QString path = freshPath("damaged");
    for (const char* tail : {"first", "second"}) {
        ASSERT_TRUE(writeBytes(path, QByteArray("{\"statusIcon\": ") + tail));
        UserDefaults d(path);
        ASSERT_TRUE(d.startedFromDamagedFile());
        d.setString("statusIcon", "symbol:cpu");
        EXPECT_EQ(UserDefaults(path).string("statusIcon"), QString("symbol:cpu")) << tail;
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    QByteArray kept;
    for (const QString& name : folder.entryList({"domain.json.damaged-*"}, QDir::Files))
        kept += readBytes(folder.filePath(name));
    EXPECT_TRUE(kept.contains("first") && kept.contains("second")) << kept.constData();
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

    // The former domain is only read: a damaged file of it stays where it is, as it is.
    const QString legacy = UserDefaults::pathForDomain("com.pelwick.Merovane");
    const QByteArray damaged = "{\"statusIcon\": \"former\", trailing";
    ASSERT_TRUE(writeBytes(legacy, damaged));
    EXPECT_EQ(UserDefaults::legacy().filePath(), legacy);
    EXPECT_TRUE(UserDefaults::legacy().keys().isEmpty());
    EXPECT_TRUE(UserDefaults::legacy().startedFromDamagedFile());
    EXPECT_EQ(readBytes(legacy), damaged);
    EXPECT_EQ(QDir(QFileInfo(legacy).absolutePath()).entryList({"com.pelwick.Merovane.json*"}, QDir::AllEntries),
              QStringList{"com.pelwick.Merovane.json"});

    // A config folder named in bytes that are not UTF-8 is the one used, never the look-alike beside it.
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QByteArray base = NativePath::encode(TestSupport::tempRoot()) + "/config-bytes";
    const QString real = NativePath::decode(base + "/caf\xff"),
                  lookAlike = NativePath::decode(base + "/caf\xef\xbf\xbd");
    ASSERT_TRUE(std::filesystem::create_directories(native(real)));
    ASSERT_TRUE(std::filesystem::create_directories(native(lookAlike)));
    ASSERT_TRUE(writeBytes(lookAlike + "/com.pelwick.Quorvin.json", "{\"lookAlike\": true}"));
    qputenv("XDG_CONFIG_HOME", base + "/caf\xff");
    const QString path = UserDefaults::pathForDomain("com.pelwick.Quorvin");
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(path, real + "/com.pelwick.Quorvin.json");
    UserDefaults(path).setBool("flag", true);
    UserDefaults back(path);
    EXPECT_EQ(back.boolValue("flag"), true);
    EXPECT_FALSE(back.contains("lookAlike"));
    EXPECT_EQ(entries(real), std::set<std::string>{"com.pelwick.Quorvin.json"});
    EXPECT_EQ(readBytes(lookAlike + "/com.pelwick.Quorvin.json"), "{\"lookAlike\": true}");
    EXPECT_EQ(entries(lookAlike), std::set<std::string>{"com.pelwick.Quorvin.json"});
}

// A file read is never written back larger than a file that is read: a large one is written
// compactly, and one that would pass the limit even so is not written at all.
TEST(UserDefaults, WhatWasReadReadsAgainAfterASave) {
    const qint64 cap = UserDefaults::maxFileSize;
    const QByteArray wrapper = "{\"k\":\"\"}";
    const struct {
        const char* name;
        qint64 size;  // of the compact file read
        bool grow;  // the save adds a key rather than changing the one there
        bool written;
    } rows[] = {
        {"small", 100, false, true},
        {"just under the limit", cap - 4, false, true},
        {"at the limit", cap, false, true},
        {"at the limit and growing", cap, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = freshPath("large");
        const qint64 length = row.size - wrapper.size();
        const QByteArray before = "{\"k\":\"" + QByteArray(length, 'a') + "\"}";
        ASSERT_TRUE(writeBytes(path, before));
        UserDefaults d(path);
        ASSERT_FALSE(d.readFailure());
        ASSERT_EQ(d.string("k")->size(), length);
        if (row.grow)
            d.setBool("flag", true);
        else
            d.setString("k", QString(length, 'b'));
        EXPECT_EQ(d.lastWriteSucceeded(), row.written);
        UserDefaults reread(path);
        ASSERT_FALSE(reread.readFailure()) << qPrintable(reread.readFailure()->reason);
        EXPECT_EQ(reread.string("k"), QString(length, row.written ? 'b' : 'a'));
        EXPECT_EQ(reread.contains("flag"), false);
        EXPECT_LE(QFileInfo(path).size(), cap);
        EXPECT_EQ(readBytes(path).contains("\n"), row.size < cap - 64);  // indented where room allows
    }
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
    // The target's folder may be named in bytes that are not UTF-8, with a look-alike beside it.
    for (const QByteArray& folderName : {QByteArray("dotfiles"), QByteArray("caf\xff")}) {
        SCOPED_TRACE(folderName.toHex().constData());
        const QString path = freshPath("linked");
        const QString dot = TestSupport::tempRoot() + "/defaults-dot";
        std::filesystem::remove_all(native(dot));
        const QString dotfiles = NativePath::decode(NativePath::encode(dot) + "/" + folderName);
        const QString lookAlike = NativePath::decode(NativePath::encode(dot) + "/caf\xef\xbf\xbd");
        ASSERT_TRUE(std::filesystem::create_directories(native(dotfiles)));
        ASSERT_TRUE(std::filesystem::create_directories(native(lookAlike)));
        ASSERT_TRUE(writeBytes(lookAlike + "/quorvin.json", "{\"lookAlike\": true}"));
        const QString target = dotfiles + "/quorvin.json";
        ASSERT_TRUE(writeBytes(target, "{\"kept\": true}"));
        ASSERT_EQ(::chmod(native(target).c_str(), 0600), 0);
        ASSERT_EQ(::symlink(native(target).c_str(), native(path).c_str()), 0);

        UserDefaults d(path);
        EXPECT_FALSE(d.readFailure());
        EXPECT_EQ(d.boolValue("kept"), true);
        EXPECT_FALSE(d.contains("lookAlike"));
        d.setBool("flag", true);
        EXPECT_TRUE(d.lastWriteSucceeded());
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        EXPECT_EQ(std::filesystem::read_symlink(native(path)).string(), native(target));
        EXPECT_EQ(UserDefaults(path).boolValue("flag"), true);
        EXPECT_TRUE(readBytes(target).contains("\"flag\": true"));
        EXPECT_EQ(mode(target), 0600);  // the user's choice, through the link
        EXPECT_EQ(entries(dotfiles), std::set<std::string>{"quorvin.json"});
        EXPECT_EQ(readBytes(lookAlike + "/quorvin.json"), "{\"lookAlike\": true}");
        EXPECT_EQ(entries(lookAlike), std::set<std::string>{"quorvin.json"});

        // A damaged target is copied aside beside the link; the link stays and the next write mends the target.
        ASSERT_TRUE(writeBytes(target, "{\"flag\": true, trailing"));
        UserDefaults damaged(path);
        EXPECT_TRUE(damaged.startedFromDamagedFile());
        EXPECT_FALSE(damaged.readFailure());
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        const QStringList aside = QFileInfo(path).absoluteDir().entryList({"domain.json.damaged-*"}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        damaged.setBool("flag", false);
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        EXPECT_EQ(UserDefaults(path).boolValue("flag"), false);
        EXPECT_EQ(mode(target), 0600);
        EXPECT_EQ(readBytes(lookAlike + "/quorvin.json"), "{\"lookAlike\": true}");
        std::filesystem::remove_all(native(dot));
    }
}

// Two instances of the program (one user on two displays) write one file: neither sets back or
// loses what the other saved, and each takes in the other's changes at its next write.
TEST(UserDefaults, TwoInstancesOverOneFileKeepEachOthersChanges) {
    const QString path = freshPath("instances");
    ASSERT_TRUE(writeBytes(path, "{\"maxClipboardItems\": 100, \"welcomeShown\": true, \"tone\": \"blue\"}"));
    UserDefaults first(path), second(path);
    QSignalSpy secondChanges(&second, &UserDefaults::valueChanged);

    first.setInteger("maxClipboardItems", 20);
    first.remove("welcomeShown");
    second.setString("tone", "green");  // another key, written after the first's changes
    first.setBool("flag", true);
    second.setDouble("tint", 0.5);
    for (const UserDefaults* store : {&first, &second}) ASSERT_TRUE(store->lastWriteSucceeded());

    const UserDefaults disk(path);
    EXPECT_EQ(disk.integerValue("maxClipboardItems"), 20);
    EXPECT_FALSE(disk.contains("welcomeShown"));
    EXPECT_EQ(disk.string("tone"), QString("green"));
    EXPECT_EQ(disk.boolValue("flag"), true);
    EXPECT_EQ(disk.doubleValue("tint"), 0.5);
    // The second took in what the first changed, with a signal for each key.
    EXPECT_EQ(second.integerValue("maxClipboardItems"), 20);
    EXPECT_FALSE(second.contains("welcomeShown"));
    EXPECT_EQ(second.boolValue("flag"), true);
    QStringList signalled;
    for (const QList<QVariant>& call : secondChanges) signalled << call.at(0).toString();
    signalled.sort();
    EXPECT_EQ(signalled, QStringList({"flag", "maxClipboardItems", "tint", "tone", "welcomeShown"}));

    // A file removed meanwhile is written whole again from what this instance holds.
    ASSERT_TRUE(QFile::remove(path));
    second.setString("tone", "red");
    EXPECT_EQ(UserDefaults(path).keys(), QStringList({"flag", "maxClipboardItems", "tint", "tone"}));

    // While another instance holds the lock (stopped, say), nothing is written and each write
    // stays pending; both are made, merged, once it lets go.
    const QByteArray before = readBytes(path);
    {
        const FolderLock other(QFileInfo(path).absolutePath());
        ASSERT_TRUE(other.held());
        first.setString("tone", "black");
        second.setBool("ticked", true);
        EXPECT_TRUE(first.writePending() && second.writePending());
        EXPECT_FALSE(first.lastWriteSucceeded());
        // Tried again meanwhile, and still nothing written.
        EXPECT_FALSE(TestSupport::waitFor([&] { return readBytes(path) != before; }, 600));
        EXPECT_EQ(first.string("tone"), QString("black"));
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return !first.writePending() && !second.writePending(); }, 2000));
    EXPECT_TRUE(first.lastWriteSucceeded() && second.lastWriteSucceeded());
    EXPECT_EQ(UserDefaults(path).string("tone"), QString("black"));
    EXPECT_EQ(UserDefaults(path).boolValue("ticked"), true);

    // Quitting while another instance holds on waits a bounded time and says what was not saved.
    LogCapture log;
    {
        const FolderLock other(QFileInfo(path).absolutePath());
        first.setString("tone", "white");
        first.finishPendingWrite(50);
    }
    EXPECT_EQ(log.matching({"Settings file", path, "not saved", "tone"}).size(), 1) << qPrintable(log.all().join('\n'));
    first.finishPendingWrite(5000);
    EXPECT_EQ(UserDefaults(path).string("tone"), QString("white"));
    EXPECT_TRUE(log.matching({"without a lock"}).isEmpty());

    // Only where the file system keeps no locks is the file written without one, said once.
    {
        const NoLocksFolder noLocks(QFileInfo(path).absolutePath(), EOPNOTSUPP);
        first.setString("tone", "grey");
        first.setBool("ticked", false);
        EXPECT_FALSE(first.writePending());
    }
    EXPECT_EQ(UserDefaults(path).string("tone"), QString("grey"));
    EXPECT_EQ(UserDefaults(path).boolValue("ticked"), false);
    EXPECT_EQ(log.matching({"Settings file", path, "without a lock"}).size(), 1) << qPrintable(log.all().join('\n'));
}

// What one instance writes shows in the other a moment later, with its change signals, without a
// write of its own there; what the other holds and has not written yet stays.
TEST(UserDefaults, TwoInstancesTakeInEachOthersWritesAMomentAfter) {
    const QString path = freshPath("watched");
    ASSERT_TRUE(writeBytes(path, "{\"species\": \"corgi\", \"welcomeShown\": true, \"tone\": \"blue\"}"));
    UserDefaults first(path), second(path);
    Setting<QString> species(second, "species", "corgi");
    QSignalSpy speciesChanges(&species, &SettingBase::changed);
    QSignalSpy secondChanges(&second, &UserDefaults::valueChanged);
    const auto signalled = [&secondChanges] {
        QStringList keys;
        for (const QList<QVariant>& call : secondChanges) keys << call.at(0).toString();
        secondChanges.clear();
        keys.sort();
        return keys;
    };

    first.setString("species", "bunny");
    first.remove("welcomeShown");
    ASSERT_TRUE(TestSupport::waitFor([&] { return !second.contains("welcomeShown"); }, 2000));
    EXPECT_EQ(species.value(), QString("bunny"));
    EXPECT_EQ(speciesChanges.size(), 1);
    EXPECT_EQ(signalled(), QStringList({"species", "welcomeShown"}));

    // A value changed here is written once: a later write here does not set back the other's change.
    second.setString("tone", "green");
    signalled();
    ASSERT_TRUE(TestSupport::waitFor([&] { return first.string("tone") == QString("green"); }, 2000));
    first.setBool("flag", true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return second.boolValue("flag") == true; }, 2000));
    EXPECT_EQ(second.string("tone"), QString("green"));
    EXPECT_EQ(UserDefaults(path).string("tone"), QString("green"));
    EXPECT_EQ(signalled(), QStringList({"flag"}));
    // Nor does a key removed here come back with the other's next write.
    second.remove("flag");
    ASSERT_TRUE(TestSupport::waitFor([&] { return !first.contains("flag"); }, 2000));
    first.setString("species", "cat");
    ASSERT_TRUE(TestSupport::waitFor([&] { return species.value() == QString("cat"); }, 2000));
    EXPECT_FALSE(second.contains("flag"));
    EXPECT_FALSE(UserDefaults(path).contains("flag"));

    // A change made here that is not written yet is neither set back by the other's write nor lost.
    {
        FailingFileWriter failing;
        failing.failPathsContaining("defaults-watched");
        first.setString("tone", "red");
        EXPECT_FALSE(first.lastWriteSucceeded());
    }
    second.setDouble("tint", 0.5);
    second.setString("tone", "black");
    ASSERT_TRUE(TestSupport::waitFor([&] { return first.doubleValue("tint") == 0.5; }, 2000));
    EXPECT_EQ(first.string("tone"), QString("red"));
    first.setInteger("size", 2);
    ASSERT_TRUE(TestSupport::waitFor([&] { return second.string("tone") == QString("red"); }, 2000));
    EXPECT_EQ(UserDefaults(path).string("tone"), QString("red"));

    // The folder moved away (a backup) or removed, and made again by the next write here or by
    // hand: that write keeps every value, and each takes in what the other writes there a moment
    // after; so it does what an editor rewrote in place.
    const QString folder = QFileInfo(path).absolutePath();
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"moved away", [&] { ASSERT_TRUE(QDir().rename(folder, folder + "-moved")); }},
        {"removed", [&] { ASSERT_TRUE(QDir(folder).removeRecursively()); }},
        {"moved away and made again",
         [&] {
             ASSERT_TRUE(QDir(folder + "-moved").removeRecursively());
             ASSERT_TRUE(QDir().rename(folder, folder + "-moved"));
             ASSERT_TRUE(QDir().mkdir(folder));
         }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        change();
        first.setString("species", name);
        EXPECT_EQ(UserDefaults(path).keys(), first.keys());
        EXPECT_TRUE(TestSupport::waitFor([&] { return second.string("species") == QString(name); }, 2000));
        second.setString("tone", name);
        EXPECT_TRUE(TestSupport::waitFor([&] { return first.string("tone") == QString(name); }, 2000));
        QJsonObject edited = QJsonDocument::fromJson(readBytes(path)).object();
        edited.insert("tone", "amber");
        ASSERT_TRUE(writeBytes(path, QJsonDocument(edited).toJson()));
        EXPECT_TRUE(TestSupport::waitFor(
            [&] { return first.string("tone") == QString("amber") && second.string("tone") == QString("amber"); },
            2000));
    }
    // One behind (stopped, or before its watch fired) when the folder goes: its write there, of
    // values that never had what the other wrote last, neither takes that away (a new key, or
    // one set anew) nor brings back a key removed there, and what the one behind changed of a
    // key the other saved before holds.
    for (const auto& [name, change] : {changes[0], changes[1]}) {
        SCOPED_TRACE(name);
        QDir(folder + "-moved").removeRecursively();
        second.setString("seen", name);
        second.setString("gone", name);
        ASSERT_TRUE(TestSupport::waitFor([&] { return first.string("gone") == QString(name); }, 2000));
        second.setString("unseen", name);
        second.remove("gone");
        change();
        first.setString("seen", QString(name) + " behind");
        EXPECT_NE(UserDefaults(path).string("unseen"), QString(name));
        EXPECT_TRUE(TestSupport::waitFor([&] { return second.string("seen") == QString(name) + " behind"; }, 2000));
        EXPECT_EQ(second.string("unseen"), QString(name));
        EXPECT_FALSE(second.contains("gone"));
        // Written back at once, and taken in by the one behind; a later write keeps it.
        EXPECT_TRUE(TestSupport::waitFor([&] { return first.string("unseen") == QString(name); }, 2000));
        EXPECT_EQ(UserDefaults(path).string("unseen"), QString(name));
        EXPECT_FALSE(first.contains("gone") || UserDefaults(path).contains("gone"));
        second.setString("after", name);
        EXPECT_EQ(UserDefaults(path).string("unseen"), QString(name));
        EXPECT_TRUE(TestSupport::waitFor([&] { return first.string("after") == QString(name); }, 2000));
    }
    QDir(folder + "-moved").removeRecursively();

    // A file damaged or unreadable meanwhile leaves the values as they are.
    signalled();
    const QStringList keys = second.keys();
    ASSERT_TRUE(writeBytes(path, "{\"tone\": \"white\", trailing"));
    second.takeInOthersSave();
    if (::geteuid() != 0) {
        ASSERT_TRUE(writeBytes(path, "{\"tone\": \"white\"}"));
        ASSERT_EQ(::chmod(native(path).c_str(), 0200), 0);
        second.takeInOthersSave();
        ASSERT_EQ(::chmod(native(path).c_str(), 0600), 0);
    }
    ASSERT_TRUE(QFile::remove(path));
    second.takeInOthersSave();
    EXPECT_EQ(second.keys(), keys);
    EXPECT_EQ(second.string("tone"), QString("amber"));
    EXPECT_EQ(signalled(), QStringList());
}

// A settings file linked to the user's own, elsewhere: writes through the link show in the other.
TEST(UserDefaults, AnInstanceTakesInWritesThroughALinkToTheUsersFile) {
    const QString path = freshPath("watched-link");
    const QString dotfiles = TestSupport::tempRoot() + "/defaults-watched-dotfiles";
    QDir(dotfiles).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dotfiles));
    ASSERT_TRUE(writeBytes(dotfiles + "/quorvin.json", "{\"species\": \"corgi\"}"));
    ASSERT_EQ(::symlink(native(dotfiles + "/quorvin.json").c_str(), native(path).c_str()), 0);
    UserDefaults first(path), second(path);
    first.setString("species", "bunny");
    EXPECT_TRUE(TestSupport::waitFor([&] { return second.string("species") == QString("bunny"); }, 2000));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    QDir(dotfiles).removeRecursively();
}
