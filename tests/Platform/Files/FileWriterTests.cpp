#include "FailingFileWriter.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/LinuxFileWriter.h"
#include "Platform/Files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

int mode(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

ino_t inode(const QString& path) {
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st.st_ino;
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool symlinkTo(const QString& target, const QString& link) {
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

class FileWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        outside = root + "/outside";
        ASSERT_TRUE(QDir().mkpath(outside));
        ASSERT_TRUE(put(outside + "/notes.txt", "the user's notes\n"));
        ::chmod(native(outside).constData(), 0755);
    }
    QTemporaryDir dir;
    QString root;
    QString outside;
    LinuxFileWriter writer;
};

}  // namespace

TEST_F(FileWriterTest, WriteReplacesAtomicallyWithExactlyTheModeAndLeavesNothingBehind) {
    const QString path = root + "/data.json";
    ASSERT_FALSE(writer.write(path, "first", 0600));
    EXPECT_EQ(contents(path), "first");
    EXPECT_EQ(mode(path), 0600);

    // Another name for the old file keeps the old bytes: the file was replaced, not rewritten.
    ASSERT_EQ(::link(native(path).constData(), native(root + "/old").constData()), 0);
    const ino_t before = inode(path);
    const mode_t umask = ::umask(0077);
    const auto error = writer.write(path, "second", 0644);
    ::umask(umask);
    ASSERT_FALSE(error) << qPrintable(error->message());
    EXPECT_NE(inode(path), before);
    EXPECT_EQ(contents(path), "second");
    EXPECT_EQ(contents(root + "/old"), "first");
    EXPECT_EQ(mode(path), 0644);  // whatever the umask
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), (QStringList{"data.json", "old"}));

    // An empty file is a file too.
    ASSERT_FALSE(writer.write(path, QByteArray(), 0600));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(FileWriterTest, WriteRefusesLinksAndOddTargetsAndSaysWhy) {
    const QString link = root + "/history.json";
    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", link));
    auto error = writer.write(link, "[]", 0600);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->path, link);
    EXPECT_EQ(error->message(), link + ": is a symbolic link");
    EXPECT_EQ(contents(outside + "/notes.txt"), "the user's notes\n");
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    // A dangling link is no invitation to create its target.
    ASSERT_TRUE(symlinkTo(outside + "/created.txt", root + "/dangling"));
    EXPECT_TRUE(writer.write(root + "/dangling", "x", 0600));
    EXPECT_FALSE(QFile::exists(outside + "/created.txt"));

    ASSERT_EQ(::mkfifo(native(root + "/fifo").constData(), 0600), 0);
    error = writer.write(root + "/fifo", "x", 0600);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason, "is not a regular file");

    error = writer.write(root + "/missing/file", "x", 0600);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isMissing());
    EXPECT_EQ(error->path, root + "/missing/file");
    // Nothing was left behind by the refusals.
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{"dangling", "fifo", "history.json"}));
}

TEST_F(FileWriterTest, WriteThroughALinkedParentFolderIsAllowed) {
    // A linked home or data folder is the user's own set-up; only the last component is checked.
    ASSERT_TRUE(symlinkTo(outside, root + "/linked"));
    ASSERT_FALSE(writer.write(root + "/linked/settings.json", "{}", 0644));
    EXPECT_EQ(contents(outside + "/settings.json"), "{}");
}

TEST_F(FileWriterTest, AppendCreatesAndAppendsButNeverThroughALinkOrIntoAFifo) {
    const QString log = root + "/metrics.log";
    ASSERT_FALSE(writer.append(log, "one\n", 0644));
    ASSERT_FALSE(writer.append(log, "two\n", 0644));
    EXPECT_EQ(contents(log), "one\ntwo\n");

    const QString linked = root + "/linked.log";
    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", linked));
    const auto error = writer.append(linked, "three\n", 0644);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), linked + ": is a symbolic link");
    EXPECT_EQ(contents(outside + "/notes.txt"), "the user's notes\n");

    // Neither with nor without a reader does a FIFO take the line or stall the writer.
    const QString fifo = root + "/fifo.log";
    ASSERT_EQ(::mkfifo(native(fifo).constData(), 0600), 0);
    EXPECT_TRUE(writer.append(fifo, "x\n", 0644));
    const int reader = ::open(native(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const auto withReader = writer.append(fifo, "x\n", 0644);
    ::close(reader);
    ASSERT_TRUE(withReader);
    EXPECT_EQ(withReader->reason, "is not a regular file");
}

TEST_F(FileWriterTest, PrivateFoldersAreMadeOrTightenedButALinkIsRefusedAndLeftAlone) {
    const QString nested = root + "/data/ClipboardHistory/Images";
    ASSERT_FALSE(writer.makePrivateFolder(nested));
    EXPECT_EQ(mode(nested), 0700);

    ::chmod(native(nested).constData(), 0777);
    ASSERT_FALSE(writer.makePrivateFolder(nested));
    EXPECT_EQ(mode(nested), 0700);

    const QString linked = root + "/data/Linked";
    ASSERT_TRUE(symlinkTo(outside, linked));
    const auto error = writer.makePrivateFolder(linked);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), linked + ": is a symbolic link");
    EXPECT_EQ(mode(outside), 0755);  // no chmod through the link

    ASSERT_TRUE(put(root + "/data/plain", "x"));
    EXPECT_TRUE(writer.makePrivateFolder(root + "/data/plain"));
}

TEST_F(FileWriterTest, CreateClaimsANewNameWholeAndNeverReplacesAnything) {
    const QString path = root + "/claim";
    ASSERT_FALSE(writer.create(path, "mine", 0600));
    EXPECT_EQ(contents(path), "mine");
    EXPECT_EQ(mode(path), 0600);
    const auto taken = writer.create(path, "theirs", 0600);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->code, EEXIST);
    EXPECT_EQ(contents(path), "mine");
    // A dangling link in the way is not written through.
    ASSERT_TRUE(symlinkTo(outside + "/new", root + "/dangling"));
    EXPECT_TRUE(writer.create(root + "/dangling", "x", 0600));
    EXPECT_FALSE(QFileInfo::exists(outside + "/new"));
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(".quorvin-write-").size(), 0);
}

TEST_F(FileWriterTest, MoveAsideNeverReplacesWhatIsThere) {
    ASSERT_TRUE(put(root + "/history.json", "damaged"));
    ASSERT_TRUE(put(root + "/history.json.damaged-1", "older copy"));
    EXPECT_TRUE(writer.moveAside(root + "/history.json", root + "/history.json.damaged-1"));
    EXPECT_EQ(contents(root + "/history.json.damaged-1"), "older copy");
    EXPECT_EQ(contents(root + "/history.json"), "damaged");

    ASSERT_FALSE(writer.moveAside(root + "/history.json", root + "/history.json.damaged-2"));
    EXPECT_FALSE(QFile::exists(root + "/history.json"));
    EXPECT_EQ(contents(root + "/history.json.damaged-2"), "damaged");
}

TEST_F(FileWriterTest, TheFakeFailsOnlyTheNamedPathsAndStandsInWhileItLives) {
    {
        FailingFileWriter failing;
        failing.failPathsContaining("/broken/");
        EXPECT_EQ(&FileWriter::shared(), &failing);
        const auto error = FileWriter::shared().write(root + "/broken/x", "x", 0600);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->path, root + "/broken/x");
        EXPECT_FALSE(FileWriter::shared().write(root + "/fine", "x", 0600));
        EXPECT_EQ(failing.failedPaths(), QStringList{root + "/broken/x"});
    }
    EXPECT_NE(dynamic_cast<LinuxFileWriter*>(&FileWriter::shared()), nullptr);
}

// MARK: Reading and removing

TEST_F(FileWriterTest, SafeReadsTakeOnlyRegularFilesAndNeverBlock) {
    ASSERT_TRUE(put(root + "/plain", "bytes"));
    EXPECT_EQ(SafeFile::readRegular(root + "/plain"), QByteArray("bytes"));
    EXPECT_TRUE(SafeFile::isRegular(root + "/plain"));

    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", root + "/link"));
    ASSERT_EQ(::mkfifo(native(root + "/fifo").constData(), 0600), 0);
    for (const QString& path : {root + "/link", root + "/fifo", QString("/dev/zero"), root}) {
        FileError error;
        EXPECT_FALSE(SafeFile::readRegular(path, &error)) << qPrintable(path);
        EXPECT_FALSE(SafeFile::openRegular(path)) << qPrintable(path);
        EXPECT_FALSE(SafeFile::isRegular(path)) << qPrintable(path);
        EXPECT_EQ(error.path, path);
        EXPECT_FALSE(error.reason.isEmpty());
    }
    FileError missing;
    EXPECT_FALSE(SafeFile::readRegular(root + "/none", &missing));
    EXPECT_TRUE(missing.isMissing());
}

TEST_F(FileWriterTest, ListingAndRemovingTouchOnlyRegularFilesInAFolderThatIsNoLink) {
    const QString images = root + "/Images";
    ASSERT_TRUE(QDir().mkpath(images + "/sub"));
    ASSERT_TRUE(put(images + "/A.png", "a"));
    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", images + "/B.png"));
    ASSERT_EQ(::mkfifo(native(images + "/C.png").constData(), 0600), 0);
    EXPECT_EQ(SafeFile::regularFileNames(images), QStringList{"A.png"});

    EXPECT_TRUE(SafeFile::removeRegular(images + "/B.png"));
    EXPECT_TRUE(QFileInfo(images + "/B.png").isSymLink());
    EXPECT_EQ(contents(outside + "/notes.txt"), "the user's notes\n");
    EXPECT_FALSE(SafeFile::removeRegular(images + "/A.png"));
    EXPECT_FALSE(QFile::exists(images + "/A.png"));
    EXPECT_TRUE(SafeFile::removeRegular(images + "/A.png")->isMissing());

    ASSERT_TRUE(symlinkTo(outside, root + "/LinkedImages"));
    FileError error;
    EXPECT_FALSE(SafeFile::regularFileNames(root + "/LinkedImages", &error));
    EXPECT_EQ(error.reason, "is a symbolic link");
}
