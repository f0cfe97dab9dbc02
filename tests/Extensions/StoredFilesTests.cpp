#include "LogCapture.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/Trash.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardImageReference.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskCleanSettings.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/UsageNode.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Source/Features/Updates/ReleaseNotes.h"
#include "Source/Features/Updates/UpdateFeed.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Every file Quorvin keeps and reads whole, refused past its size and read only as one JSON value.
namespace {

QString freshFolder(const QString& name) {
    const QString folder =
        TestSupport::tempRoot() + "/stored/" + name + "-" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(folder);
    return folder;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A file of `size` bytes that takes no room on the disk.
bool makeSparse(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(NativePath::encode(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, size) == 0;
    if (fd >= 0) ::close(fd);
    return made;
}

// The one copy kept aside beside the file, or else the file itself.
QString keptAs(const QString& path) {
    const QFileInfo info(path);
    const QStringList aside = QDir(info.absolutePath()).entryList({info.fileName() + ".damaged-*"}, QDir::Files);
    return aside.size() == 1 ? info.absolutePath() + "/" + aside[0] : path;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Store {
    const char* name;
    QString file;  // inside the row's own folder
    std::function<bool(const QString&)> accepts;  // whether the store took the file at the path for its own
    bool logs = true;  // a refusal is logged
};

MetricSample sampleNow() {
    MetricSample sample;
    sample.at = QDateTime::currentDateTimeUtc();
    return sample;
}

std::vector<Store> stores(const QString& folder) {
    const QString home = folder + "/home";
    return {
        {"settings", "config/com.pelwick.Quorvin.json",
         [](const QString& path) { return UserDefaults(path).contains("kept"); }},
        {"history", "ClipboardHistory/history.json",
         [](const QString& path) {
             const auto loaded = ClipboardHistoryStore::read(path, QFileInfo(path).absolutePath() + "/Images", 200,
                                                             QDateTime::currentDateTimeUtc());
             return !loaded.damaged && !loaded.savesBlocked && loaded.items.size() == 1;
         }},
        {"snippets", "Snippets/snippets.json",
         [](const QString& path) {
             SnippetStore store(QFileInfo(path).absolutePath());
             const bool took = store.snippets().size() == 1 && store.snippets()[0].title == "kept";
             // The next save writes a whole file of its own, never over what was not read.
             store.add(Snippet{QUuid::createUuid(), "new", "new", QDateTime::currentDateTimeUtc()});
             return took;
         }},
        {"metric log", "DaveRovaz/metrics.log",
         [](const QString& path) {
             MetricArchive archive(path);
             archive.trim();
             archive.record(sampleNow());
             std::vector<MetricSample> samples;
             bool loaded = false;
             archive.load([&](std::vector<MetricSample> got) {
                 samples = std::move(got);
                 loaded = true;
             });
             archive.waitUntilIdle();
             TestSupport::waitFor([&] { return loaded; });
             return !samples.empty();
         }},
        {"last scan", "DaveRovaz/lastScan.json",
         [home](const QString& path) {
             UserDefaults defaults{QString()};
             DiskCleanSettings settings{defaults};
             LinuxTrash trash{home + "/.local/share"};
             DiskCleanScanner scanner(
                 settings, {{home, home + "/.cache", home + "/.local/share"}, path, trash.homeTrash()}, trash);
             scanner.waitUntilIdle();
             QCoreApplication::processEvents();
             return scanner.state().phase == DiskCleanScanner::Phase::complete;
         }},
        {"volume usage", "DaveRovaz/volumeUsage.json",
         [home](const QString& path) {
             VolumeUsageScanner scanner({home, {}, path});
             scanner.waitUntilIdle();
             QCoreApplication::processEvents();
             return scanner.root().has_value();
         }},
        {"kept feed", "Updates/feed.json",
         [](const QString& path) { return !ReleaseNotes::readCachedReleases(path, UpdateFeed::decode).isEmpty(); },
         false},
    };
}

}  // namespace

TEST(StoredFiles, AHugeFileIsRefusedUnreadKeptAsItIsAndLoggedOnce) {
    const QString folder = freshFolder("huge");
    const qint64 huge = qint64(64) << 30;
    for (const Store& store : stores(folder)) {
        SCOPED_TRACE(store.name);
        const QString path = folder + "/" + store.file;
        ASSERT_TRUE(makeSparse(path, huge));
        LogCapture log;
        EXPECT_FALSE(store.accepts(path));
        const QString kept = keptAs(path);
        EXPECT_EQ(QFileInfo(kept).size(), huge);
        if (store.logs) {
            EXPECT_EQ(log.matching({path, "is larger than"}).size(), 1) << qPrintable(log.all().join('\n'));
        }
    }

    // A stored image is hashed or pasted whole: one larger than any image stored is not read.
    const QString image =
        folder + "/ClipboardHistory/Images/" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + ".png";
    ASSERT_TRUE(makeSparse(image, ClipboardImageReference::largestFile + 1));
    EXPECT_FALSE(ClipboardImageReference::fromPersistedPath(image, QSizeF(1, 1), std::nullopt));
    EXPECT_EQ(QFileInfo(image).size(), ClipboardImageReference::largestFile + 1);
}

TEST(StoredFiles, AJsonFileHoldsOneValueAndNothingAfterIt) {
    const QString folder = freshFolder("json");
    const QString home = folder + "/home";
    QDir().mkpath(home + "/.cache/big");

    UpdateFeed feed;
    feed.latest = {"2.0", 2, QUrl("https://example.invalid/q.zip"), QString(88, 'A'), 10};
    feed.releases = {Release{"2.0", "today", {"kept"}, std::nullopt}};
    CleanupItem item;
    item.name = "big";
    item.paths = {home + "/.cache/big"};
    item.bytes = 1e9;
    const CleanupGroup group{CleanupCategory::custom, {item}};
    UsageNode root{"/", "/", 1e9, true, {}};
    const QMap<QString, QByteArray> values{
        // Brackets and quotes inside strings end nothing.
        {"settings", R"({"kept": true, "other": "]} \"} x"})"},
        {"history", R"([{"type":"text","value":"\\\"}] x"}])"},
        {"snippets",
         SnippetStore::encode({Snippet{QUuid::createUuid(), "kept", "body", QDateTime::currentDateTimeUtc()}})},
        {"metric log", {}},
        {"last scan",
         QByteArray::fromStdString(nlohmann::ordered_json{{"scannedAt", 0}, {"groups", {group.toJson()}}}.dump())},
        {"volume usage", QJsonDocument(QJsonObject{{"scannedAt", 0}, {"root", root.toJson()}, {"unreadable", 0}})
                             .toJson(QJsonDocument::Compact)},
        {"kept feed", feed.encode()},
    };

    for (const Store& store : stores(folder)) {
        const QByteArray value = values.value(store.name);
        if (value.isEmpty()) continue;  // not JSON
        const QString path = folder + "/" + store.file;
        {
            SCOPED_TRACE(store.name);
            ASSERT_TRUE(writeBytes(path, " \r\n" + value + "\t\n"));
            ASSERT_TRUE(store.accepts(path));
        }
        for (const QByteArray& tail : {QByteArray("\0[\"mine\"]", 9), QByteArray(" garbage"), QByteArray("\0", 1)}) {
            SCOPED_TRACE(std::string(store.name) + " followed by " +
                         QByteArray(tail).replace('\0', "\\0").toStdString());
            ASSERT_TRUE(writeBytes(path, value + tail));
            EXPECT_FALSE(store.accepts(path));
            // What was not read is kept whole, beside the file or in its place.
            bool keptWhole = readBytes(path) == value + tail;
            const QFileInfo info(path);
            for (const QString& aside : QDir(info.absolutePath()).entryList({info.fileName() + ".damaged-*"}))
                keptWhole = keptWhole || readBytes(info.absolutePath() + "/" + aside) == value + tail;
            EXPECT_TRUE(keptWhole);
        }
    }
}
