#include "ClipboardTestSupport.h"
#include "FailingFileWriter.h"
#include "LogCapture.h"

#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace ClipboardTest;

namespace {

const QString kStoredName = QStringLiteral("0A0A0A0A-0000-4000-8000-00000000000A.png");

QByteArray native(const QString& path) { return QFile::encodeName(path); }

int mode(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool symlinkTo(const QString& target, const QString& link) {
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

QJsonObject imageRecord(const QString& value, const char* id = nullptr) {
    QJsonObject record{{"type", "image"}, {"value", value}};
    if (id) record["itemID"] = id;
    return record;
}

QByteArray json(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Compact); }

// A folder of the user's with pictures, outside our data.
struct UserPictures {
    explicit UserPictures(const QString& path) : folder(path) {
        QDir().mkpath(folder);
        ::chmod(native(folder).constData(), 0755);
        writeFile(folder + "/holiday.png", pngBytes(4, 4));
        writeFile(folder + "/" + kStoredName, pngBytes(5, 5));  // a name like ours, in a folder that is not
    }
    QStringList names() const { return QDir(folder).entryList(QDir::Files); }
    QString folder;
};

}  // namespace

using ClipboardDataFolder = ClipboardStoreTest;

TEST_F(ClipboardDataFolder, AnImagesFolderLinkedElsewhereIsNeitherSweptNorChangedNorWrittenTo) {
    UserPictures pictures(dir.path() + "/MyPictures");
    QDir().mkpath(folder);
    ASSERT_TRUE(symlinkTo(pictures.folder, folder + "/Images"));
    LogCapture log;
    start();
    copyImage(pngBytes(6, 6));
    manager->waitForPendingWrites();
    EXPECT_EQ(pictures.names(), (QStringList{kStoredName, "holiday.png"}));
    EXPECT_EQ(mode(pictures.folder), 0755);
    EXPECT_TRUE(manager->history().empty());  // the image had nowhere to go
    EXPECT_FALSE(log.matching({"warning com.pelwick.Quorvin.Clipboard", folder + "/Images", "is a symbolic link"}).isEmpty());

    // Clear leaves the linked folder alone too.
    copyText("text");
    manager->clear();
    manager->waitForPendingWrites();
    EXPECT_EQ(pictures.names(), (QStringList{kStoredName, "holiday.png"}));

    // An entry naming a file there is no image of ours: removing it removes no picture.
    manager.reset();
    ASSERT_TRUE(writeFile(historyFile(), json({imageRecord(kStoredName, "0A0A0A0A-0000-4000-8000-0000000000A1")})));
    start();
    ASSERT_EQ(manager->history().size(), 1u);
    manager->removeItem(manager->history()[0].id);
    manager->waitForPendingWrites();
    EXPECT_EQ(pictures.names(), (QStringList{kStoredName, "holiday.png"}));
}

TEST_F(ClipboardDataFolder, AHistoryFileLinkedToAnotherFileIsNeitherReadNorOverwritten) {
    const QString other = dir.path() + "/project.json";
    const QByteArray theirs = R"([{"type":"text","value":"not a clipboard history of ours"}])";
    ASSERT_TRUE(writeFile(other, theirs));
    QDir().mkpath(folder);
    ASSERT_TRUE(symlinkTo(other, historyFile()));
    LogCapture log;
    start();
    EXPECT_TRUE(manager->history().empty());
    EXPECT_TRUE(manager->savesBlocked());
    copyText("a copy");
    manager->togglePin(manager->history()[0].id);
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(other), theirs);
    EXPECT_TRUE(QFileInfo(historyFile()).isSymLink());
    EXPECT_EQ(texts(), std::vector<QString>{"a copy"});  // the history still works, in memory
    EXPECT_EQ(log.matching({historyFile(), "is a symbolic link"}).size(), 1);

    // A FIFO in its place does not stall start-up either.
    manager.reset();
    QFile::remove(historyFile());
    ASSERT_EQ(::mkfifo(native(historyFile()).constData(), 0600), 0);
    start();
    EXPECT_TRUE(manager->savesBlocked());
    EXPECT_EQ(log.matching({historyFile(), "is not a regular file"}).size(), 1);
}

// A data folder named in bytes that are not UTF-8 holds the history, never the look-alike beside it.
TEST_F(ClipboardDataFolder, ADataFolderNamedInBytesThatAreNotUTF8HoldsTheHistory) {
    const QByteArray base = NativePath::encode(dir.path());
    const QString real = NativePath::decode(base + "/caf\xff"),
                  lookAlike = NativePath::decode(base + "/caf\xef\xbf\xbd");
    ASSERT_TRUE(std::filesystem::create_directories(NativePath::encode(lookAlike + "/ClipboardHistory").toStdString()));
    const QByteArray theirs = "a file of the look-alike's";
    ASSERT_TRUE(writeFile(lookAlike + "/ClipboardHistory/notes.txt", theirs));
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", base + "/caf\xff");
    folder = URL::applicationSupport("ClipboardHistory");
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(folder, real + "/ClipboardHistory");
    const auto names = [](const QString& path) {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(NativePath::encode(path).toStdString()))
            found.insert(entry.path().filename().string());
        return found;
    };

    start();
    EXPECT_TRUE(manager->history().empty());
    copyText("kept");
    copyImage(pngBytes(5, 5));
    manager->waitForPendingWrites();
    start();
    ASSERT_EQ(texts(), (std::vector<QString>{QString(), "kept"}));
    ASSERT_TRUE(manager->history()[0].imagePath);
    EXPECT_TRUE(SafeFile::isRegular(*manager->history()[0].imagePath));

    // A damaged file is kept aside there too.
    manager.reset();
    std::ofstream(NativePath::encode(historyFile()).toStdString(), std::ios::trunc) << "[{\"type\":";
    start();
    EXPECT_TRUE(manager->historyFileWasDamaged());
    const std::set<std::string> kept = names(folder);
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(),
                            [](const std::string& name) { return name.starts_with("history.json.damaged-"); }),
              1);
    EXPECT_EQ(readFile(lookAlike + "/ClipboardHistory/notes.txt"), theirs);
    EXPECT_EQ(names(lookAlike + "/ClipboardHistory"), std::set<std::string>{"notes.txt"});
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"caf\xff", "caf\xef\xbf\xbd"}));
}

TEST_F(ClipboardDataFolder, AHistoryFolderLinkedToAFolderOfTheUsersOwnIsFollowedAndAnyOtherLinkRefusedOnce) {
    // The user's own folder: the history lives there, and the folder keeps its mode.
    const QString elsewhere = dir.path() + "/Elsewhere";
    QDir().mkpath(elsewhere);
    ::chmod(native(elsewhere).constData(), 0755);
    ASSERT_TRUE(symlinkTo(elsewhere, folder));
    const QString unfinished = elsewhere + "/.quorvin-write-00000000000000a1";
    ASSERT_TRUE(writeFile(unfinished, "not swept through the link"));
    LogCapture log;
    start();
    copyText("text");
    copyImage(pngBytes(3, 3));
    start();
    EXPECT_EQ(texts(), (std::vector<QString>{QString(), "text"}));
    EXPECT_TRUE(QFileInfo(folder).isSymLink());
    EXPECT_EQ(mode(elsewhere), 0755);
    EXPECT_EQ(mode(elsewhere + "/Images"), 0700);
    EXPECT_EQ(mode(elsewhere + "/history.json"), 0600);
    EXPECT_EQ(imageFiles(elsewhere).size(), 1);
    EXPECT_TRUE(log.matching({"warning"}).isEmpty()) << qPrintable(log.all().join('\n'));
    manager->clear();
    manager->waitForPendingWrites();
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"history.json", "Images"}));
    EXPECT_EQ(readFile(elsewhere + "/history.json"), "[]");
    EXPECT_TRUE(SafeFile::isRegular(unfinished));
    EXPECT_TRUE(imageFiles(elsewhere).isEmpty());

    // A link to nothing, or to another user's folder: nothing is read, written or removed there,
    // and the log says so once.
    const QString theirs = dir.path() + "/Theirs";
    const QByteArray theirHistory =
        R"([{"type":"text","value":"theirs","itemID":"0A0A0A0A-0000-4000-8000-00000000000B"}])";
    for (const bool anotherUser : {false, true}) {
        SCOPED_TRACE(anotherUser ? "another user's folder" : "nothing");
        if (anotherUser && ::geteuid() != 0) continue;  // only root can give a folder away
        manager.reset();
        ASSERT_TRUE(QFile::remove(folder));
        if (anotherUser) {
            ASSERT_TRUE(writeFile(theirs + "/history.json", theirHistory));
            ASSERT_TRUE(writeFile(theirs + "/Images/" + kStoredName, pngBytes(4, 4)));
            for (const QString& path :
                 {theirs, theirs + "/history.json", theirs + "/Images", theirs + "/Images/" + kStoredName})
                ASSERT_EQ(::chown(native(path).constData(), 4242, 4242), 0);
        }
        ASSERT_TRUE(symlinkTo(theirs, folder));
        LogCapture refusals;
        start();
        EXPECT_TRUE(manager->savesBlocked());
        EXPECT_TRUE(manager->history().empty());
        copyText("a");
        copyImage(pngBytes(3, 3));
        copyText("b");
        manager->clear();
        copyText("c");
        manager->waitForPendingWrites();
        EXPECT_EQ(texts(), std::vector<QString>{"c"});  // the history still works, in memory
        EXPECT_EQ(refusals.all().size(), 1) << qPrintable(refusals.all().join('\n'));
        EXPECT_EQ(refusals.matching({folder, "kept in memory only"}).size(), 1);
        if (anotherUser) {
            EXPECT_EQ(readFile(theirs + "/history.json"), theirHistory);
            EXPECT_EQ(QDir(theirs + "/Images").entryList(QDir::Files), QStringList{kStoredName});
            EXPECT_EQ(QDir(theirs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);
        } else {
            EXPECT_FALSE(SafeFile::exists(theirs));
        }
    }
}

TEST_F(ClipboardDataFolder, TheSweepRemovesOnlyOrphanedRegularFilesOfOurNames) {
    start();
    copyImage(pngBytes(3, 3));
    const QString named = QFileInfo(*manager->history()[0].imagePath).fileName();
    manager->waitForPendingWrites();
    const QString images = folder + "/Images";
    const QString outsideFile = dir.path() + "/precious.png";
    ASSERT_TRUE(writeFile(outsideFile, "precious"));
    ASSERT_TRUE(writeOldFile(images + "/0B0B0B0B-0000-4000-8000-00000000000B.png", "orphan"));
    // Stored a moment ago by another instance, which has not named it in the file yet.
    ASSERT_TRUE(writeFile(images + "/0A0A0A0A-0000-4000-8000-00000000000A.png", "just stored"));
    ASSERT_TRUE(writeFile(images + "/notes.txt", "the user's"));
    ASSERT_TRUE(writeFile(images + "/0c0c0c0c-0000-4000-8000-00000000000c.png", "lower case: not a name we give"));
    ASSERT_TRUE(writeFile(images + "/.quorvin-write-0123456789abcdef", "left by a crash"));
    ASSERT_TRUE(writeFile(folder + "/.quorvin-write-fedcba9876543210", "a history write cut short"));
    ASSERT_TRUE(QDir().mkpath(images + "/0D0D0D0D-0000-4000-8000-00000000000D.png"));
    ASSERT_TRUE(symlinkTo(outsideFile, images + "/0E0E0E0E-0000-4000-8000-00000000000E.png"));
    ASSERT_EQ(::mkfifo(native(images + "/0F0F0F0F-0000-4000-8000-00000000000F.png").constData(), 0600), 0);

    LogCapture log;
    start();
    QStringList left = QDir(images).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QStringList expected{named,
                         "0A0A0A0A-0000-4000-8000-00000000000A.png",
                         "0D0D0D0D-0000-4000-8000-00000000000D.png",
                         "0E0E0E0E-0000-4000-8000-00000000000E.png",
                         "0F0F0F0F-0000-4000-8000-00000000000F.png",
                         "0c0c0c0c-0000-4000-8000-00000000000c.png",
                         "notes.txt"};
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(readFile(outsideFile), "precious");
    EXPECT_FALSE(QFile::exists(folder + "/.quorvin-write-fedcba9876543210"));
    EXPECT_EQ(log.matching({"Cleaned up 1 orphaned image files"}).size(), 1);  // the crash leftover is not counted
}

TEST_F(ClipboardDataFolder, ImagesAreKnownByFileNameHoweverTheFolderIsReached) {
    // The same data folder through a link (a linked home, /home -> /var/home).
    const QString real = dir.path() + "/real";
    QDir().mkpath(real);
    ASSERT_TRUE(symlinkTo(real, dir.path() + "/linked"));
    folder = dir.path() + "/linked/ClipboardHistory";
    start();
    copyImage(pngBytes(8, 8));
    copyImage(pngBytes(9, 9));
    manager->waitForPendingWrites();
    ASSERT_EQ(imageFiles(folder).size(), 2);

    folder = real + "/ClipboardHistory";
    start();
    start();  // twice: a second launch must not lose what the first one kept
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(imageFiles(folder).size(), 2);
    for (const ClipboardItem& item : manager->history()) {
        EXPECT_TRUE(item.imagePath->startsWith(folder + "/Images/"));
        EXPECT_FALSE(ClipboardFullImageCache::image(*item.content.imageReference()).isNull());
    }
    // The file keeps absolute paths that exist, so older versions still find the images.
    for (const QJsonValue& record : QJsonDocument::fromJson(readFile(historyFile())).array())
        EXPECT_TRUE(QFile::exists(record.toObject()["value"].toString()));

    // A record written on a machine where the folder had another path.
    manager->waitForPendingWrites();
    const QString name = imageFiles(folder)[0];
    ASSERT_TRUE(writeFile(historyFile(), json({imageRecord("/var/home/someone/.local/share/ClipboardHistory/Images/" + name)})));
    start();
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(*manager->history()[0].imagePath, folder + "/Images/" + name);
}

TEST_F(ClipboardDataFolder, ImageRecordsOpenOnlyRegularFilesInsideTheImagesFolder) {
    const QString images = folder + "/Images";
    QDir().mkpath(images);
    const QString fifo = images + "/1A1A1A1A-0000-4000-8000-00000000001A.png";
    ASSERT_EQ(::mkfifo(native(fifo).constData(), 0600), 0);
    ASSERT_TRUE(symlinkTo("/dev/zero", images + "/2B2B2B2B-0000-4000-8000-00000000002B.png"));
    const QString outside = dir.path() + "/outside.png";
    ASSERT_TRUE(writeFile(outside, pngBytes(7, 7)));
    ASSERT_TRUE(writeFile(images + "/3C3C3C3C-0000-4000-8000-00000000003C.png", pngBytes(3, 2)));
    QJsonArray array{imageRecord("/dev/zero"), imageRecord(fifo), imageRecord(images + "/2B2B2B2B-0000-4000-8000-00000000002B.png"),
                     imageRecord(outside), imageRecord("/etc/../dev/zero"), imageRecord(images + "/"),
                     imageRecord(images + "/3C3C3C3C-0000-4000-8000-00000000003C.png")};
    ASSERT_TRUE(writeFile(historyFile(), json(array)));
    start();  // must not hang on the FIFO or read /dev/zero without end
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].content.imageReference()->pixelSize, QSizeF(3, 2));

    // Nor do the caches open a FIFO, whatever reference they are given.
    const ClipboardImageReference fifoReference{fifo, QSizeF(4, 4), QString(64, 'a')};
    EXPECT_TRUE(fifoReference.makeThumbnail(58).isNull());
    EXPECT_TRUE(ClipboardPreviewImageCache::image(fifoReference).isNull());
    EXPECT_TRUE(ClipboardFullImageCache::image(fifoReference).isNull());

    // An entry whose image lies outside the folder is not pasted.
    ClipboardItem foreign = ClipboardItem::make(
        ClipboardContent::image(ClipboardImageReference{outside, QSizeF(7, 7), sha256(pngBytes(7, 7))}), clock->now());
    pasteboard.simulateCopyText("the user's own clipboard");
    const qint64 before = pasteboard.changeCount();
    manager->paste(foreign);
    EXPECT_EQ(pasteboard.changeCount(), before);
    EXPECT_TRUE(keys.events.isEmpty());
}
