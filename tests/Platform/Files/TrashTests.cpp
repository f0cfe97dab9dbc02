#include "FileTreeSupport.h"
#include "Platform/Files/Trash.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A home trash in a data home of the test's own.
struct TrashFixture : ::testing::Test {
    QTemporaryDir dir;
    QString data() const { return dir.path() + "/data"; }
    QString home() const { return data() + "/Trash"; }
    LinuxTrash trash{dir.path() + "/data"};
};

TEST_F(TrashFixture, MovesFilesFoldersAndLinksWithTheirRecord) {
    const QString file = dir.path() + "/some place/a 100% file.txt";
    ASSERT_TRUE(FileTree::writeFile(file, 5000));
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/folder/inner/x", 10));
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/target", 10));
    ASSERT_TRUE(QFile::link(dir.path() + "/target", dir.path() + "/link"));

    const auto moved = trash.moveToTrash(file);
    ASSERT_TRUE(moved.moved()) << qPrintable(moved.error->message());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(moved.trashedPath, home() + "/files/a 100% file.txt");
    EXPECT_EQ(QFileInfo(moved.trashedPath).size(), 5000);
    const QString info = contents(home() + "/info/a 100% file.txt.trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" +
                                QUrl::toPercentEncoding(dir.path() + "/some place/a 100% file.txt", "/") + "\n"))
        << qPrintable(info);
    EXPECT_TRUE(QRegularExpression("\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$").match(info).hasMatch())
        << qPrintable(info);
    EXPECT_EQ(QFileInfo(home()).permissions() & QFileDevice::ReadOther, 0);

    ASSERT_TRUE(trash.moveToTrash(dir.path() + "/folder/").moved());
    EXPECT_TRUE(QFileInfo::exists(home() + "/files/folder/inner/x"));

    // A link goes as itself; what it points at stays.
    ASSERT_TRUE(trash.moveToTrash(dir.path() + "/link").moved());
    EXPECT_TRUE(QFileInfo(home() + "/files/link").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/target"));
}

TEST_F(TrashFixture, GivesEachItemOfTheSameNameItsOwnPlace) {
    QStringList trashed;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(FileTree::writeFile(dir.path() + "/notes.txt", 10 + i));
        const auto moved = trash.moveToTrash(dir.path() + "/notes.txt");
        ASSERT_TRUE(moved.moved());
        trashed << QFileInfo(moved.trashedPath).fileName();
    }
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/notes.d/x", 1));
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/again/notes.d/x", 1));
    ASSERT_TRUE(trash.moveToTrash(dir.path() + "/notes.d").moved());
    const auto folder = trash.moveToTrash(dir.path() + "/again/notes.d");
    ASSERT_TRUE(folder.moved());
    EXPECT_EQ(trashed, (QStringList{"notes.txt", "notes 2.txt", "notes 3.txt"}));
    EXPECT_EQ(QFileInfo(folder.trashedPath).fileName(), "notes.d 2");
    for (const QString& name : trashed + QStringList{"notes.d", "notes.d 2"})
        EXPECT_TRUE(QFileInfo::exists(home() + "/info/" + name + ".trashinfo")) << qPrintable(name);
    EXPECT_EQ(QFileInfo(home() + "/files/notes 3.txt").size(), 12);
}

// A name may use all 255 bytes a file name has; its record needs ".trashinfo" more. The name in
// the Trash is shortened (whole characters, suffix and extension kept); the record keeps the path.
TEST_F(TrashFixture, TakesItemsWhoseNamesLeaveNoRoomForTheirRecord) {
    const QString folder = QString(250, QLatin1Char('c'));
    const QString file = QString(124, QChar(0xE9)) + ".txt";  // 252 bytes
    QStringList trashed;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(FileTree::writeFile(dir.path() + "/" + folder + "/x", 10));
        ASSERT_TRUE(FileTree::writeFile(dir.path() + "/" + file, 10));
        for (const QString& name : {folder, file}) {
            const auto moved = trash.moveToTrash(dir.path() + "/" + name);
            ASSERT_TRUE(moved.moved()) << qPrintable(moved.error->message());
            EXPECT_FALSE(QFileInfo::exists(dir.path() + "/" + name));
            const QString inTrash = QFileInfo(moved.trashedPath).fileName();
            EXPECT_LE(QFile::encodeName(inTrash + ".trashinfo").size(), 255) << qPrintable(inTrash);
            const QByteArray info = contents(home() + "/info/" + inTrash + ".trashinfo");
            EXPECT_TRUE(info.contains("\nPath=" + QUrl::toPercentEncoding(dir.path() + "/" + name, "/") + "\n"));
            trashed << inTrash;
        }
    }
    EXPECT_EQ(trashed[0], QString(245, QLatin1Char('c')));
    EXPECT_EQ(trashed[2], QString(243, QLatin1Char('c')) + " 2");
    EXPECT_EQ(trashed[1], QString(120, QChar(0xE9)) + ".txt");  // 244 bytes: no half character
    EXPECT_EQ(trashed[3], QString(119, QChar(0xE9)) + " 2.txt");
    EXPECT_TRUE(QFileInfo::exists(home() + "/files/" + trashed[2] + "/x"));
}

TEST_F(TrashFixture, RefusesWhatNoTrashCanHoldAndLeavesItInPlace) {
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/keep", 10));
    EXPECT_FALSE(trash.moveToTrash("relative/keep").moved());
    const auto missing = trash.moveToTrash(dir.path() + "/missing");
    ASSERT_FALSE(missing.moved());
    EXPECT_TRUE(missing.error->isMissing());

    // The Trash itself and anything in it, and a folder that holds the Trash.
    ASSERT_TRUE(trash.moveToTrash(dir.path() + "/keep").moved());
    ASSERT_TRUE(FileTree::writeFile(dir.path() + "/keep", 10));
    EXPECT_FALSE(trash.moveToTrash(home()).moved());
    EXPECT_FALSE(trash.moveToTrash(home() + "/files/keep").moved());
    const auto holder = trash.moveToTrash(data());
    ASSERT_FALSE(holder.moved());
    EXPECT_TRUE(holder.error->reason.contains("Trash")) << qPrintable(holder.error->message());
    EXPECT_TRUE(QFileInfo::exists(home() + "/files/keep"));

    // A data home that cannot hold a Trash: nothing is moved, deleted or copied.
    QTemporaryDir other;
    ASSERT_TRUE(FileTree::writeFile(other.path() + "/data", 1));  // a file where the data home should be
    LinuxTrash broken(other.path() + "/data");
    const auto refused = broken.moveToTrash(dir.path() + "/keep");
    ASSERT_FALSE(refused.moved());
    EXPECT_TRUE(refused.error->reason.contains("Trash cannot be made")) << qPrintable(refused.error->message());
    EXPECT_EQ(QFileInfo(dir.path() + "/keep").size(), 10);
}

// Another file system: a trash at its top folder, whose records name paths relative to that
// folder; its mount point no trash can take, and refusing it makes no trash anywhere.
TEST_F(TrashFixture, UsesTheTopFolderOfAnotherFileSystemAndRefusesItsMountPoint) {
    const QString top = dir.path() + "/home/mnt";
    ASSERT_TRUE(QDir().mkpath(top));
    const auto report = FileTree::inPrivateMount(top, [&]() -> QString {
        QStringList failures;
        auto check = [&](bool ok, const QString& what) {
            if (!ok) failures << what;
        };
        const QString uid = QString::number(::getuid());
        if (!FileTree::writeFile(top + "/sub dir/a file.txt", 10) || !FileTree::writeFile(top + "/b", 10))
            return "cannot write on the mount";
        const auto moved = trash.moveToTrash(top + "/sub dir/a file.txt");
        check(moved.moved() && moved.trashedPath == top + "/.Trash-" + uid + "/files/a file.txt",
              "not in the top folder's trash: " + moved.trashedPath + (moved.error ? moved.error->message() : ""));
        check(contents(top + "/.Trash-" + uid + "/info/a file.txt.trashinfo")
                  .startsWith("[Trash Info]\nPath=sub%20dir/a%20file.txt\n"),
              "record: " + contents(top + "/.Trash-" + uid + "/info/a file.txt.trashinfo"));
        // A shared sticky ".Trash" there takes the user's items in a folder of their own.
        check(QDir().mkdir(top + "/.Trash") && ::chmod(FileTree::native(top + "/.Trash"), 01777) == 0, "no .Trash");
        const auto shared = trash.moveToTrash(top + "/b");
        check(shared.moved() && shared.trashedPath == top + "/.Trash/" + uid + "/files/b",
              "not in the shared trash: " + shared.trashedPath);
        check(contents(top + "/.Trash/" + uid + "/info/b.trashinfo").contains("\nPath=b\n"), "shared record");

        const auto mountPoint = trash.moveToTrash(top);
        check(!mountPoint.moved(), "the mount point moved");
        const QStringList beside =
            QDir(dir.path() + "/home").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        check(beside == QStringList{"mnt"}, "made beside the mount point: " + beside.join(","));
        check(!QFileInfo::exists(home()), "made the home trash");
        return failures.join("; ");
    });
    if (!report) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(*report, QString());
}

// The desktop's own tools read what we trash and put it back. gio asks a daemon of the session
// bus, which reads the data home it was started with: a bus of our own starts it with ours.
TEST(TrashOnTheDesktop, ItemsShowInGioAndGioRestoresThem) {
    if (QStandardPaths::findExecutable("gio").isEmpty() || QStandardPaths::findExecutable("dbus-run-session").isEmpty())
        GTEST_SKIP() << "gio or dbus-run-session is not installed";
    QTemporaryDir dir;
    const QString file = dir.path() + "/report 7%.txt";
    ASSERT_TRUE(FileTree::writeFile(file, 1234));
    LinuxTrash trash;  // the data home of the test process
    const auto moved = trash.moveToTrash(file);
    ASSERT_TRUE(moved.moved());
    const QString uri = "trash:///" + QUrl::toPercentEncoding(QFileInfo(moved.trashedPath).fileName());

    QProcess gio;
    gio.start("dbus-run-session", {"--", "sh", "-c", "gio trash --list && echo '--' && gio trash --restore \"$1\"",
                                   "sh", uri});
    ASSERT_TRUE(gio.waitForFinished(30000));
    const QString out = gio.readAllStandardOutput();
    EXPECT_TRUE(out.contains(uri + "\t" + file + "\n--\n")) << qPrintable(out) << qPrintable(gio.readAllStandardError());
    EXPECT_EQ(gio.exitCode(), 0);
    EXPECT_EQ(QFileInfo(file).size(), 1234);
    EXPECT_FALSE(QFileInfo::exists(moved.trashedPath));
}

}  // namespace
