#include "FailingFileWriter.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/LinuxFileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

namespace {

QByteArray native(const QString& path) { return NativePath::encode(path); }

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

// The Linux writer with a hook in place of the flush: it runs while the new file has its
// temporary name, and its result is the flush's.
class HookedFileWriter final : public LinuxFileWriter {
public:
    std::function<int(int)> onSync;

protected:
    int sync(int fd) override { return onSync ? onSync(fd) : LinuxFileWriter::sync(fd); }
};

QStringList temporaryFiles(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .filter(".quorvin-write-");
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
    // Names that are not UTF-8 are beyond QDir's removal.
    void TearDown() override { std::filesystem::remove_all(native(root).toStdString()); }
    QTemporaryDir dir;
    QString root;
    QString outside;
    LinuxFileWriter writer;
};

}  // namespace

TEST_F(FileWriterTest, WriteReplacesAtomicallyWithExactlyTheModeAndLeavesNothingBehind) {
    const QString path = root + "/data.json";
    const mode_t umask = ::umask(0077);
    ASSERT_FALSE(writer.write(path, "first", 0644));
    ::umask(umask);
    EXPECT_EQ(contents(path), "first");
    EXPECT_EQ(mode(path), 0644);  // whatever the umask

    // Another name for the old file keeps the old bytes: the file was replaced, not rewritten.
    ASSERT_EQ(::link(native(path).constData(), native(root + "/old").constData()), 0);
    const ino_t before = inode(path);
    const auto error = writer.write(path, "second", 0600);
    ASSERT_FALSE(error) << qPrintable(error->message());
    EXPECT_NE(inode(path), before);
    EXPECT_EQ(contents(path), "second");
    EXPECT_EQ(contents(root + "/old"), "first");
    EXPECT_EQ(mode(path), 0644);  // the replaced file's
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), (QStringList{"data.json", "old"}));

    // An empty file is a file too.
    ASSERT_FALSE(writer.write(path, QByteArray(), 0600));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

// A new file gets the mode asked for; a rewrite keeps what the user chose for the file it
// replaces, except for data that stays private whatever was there.
TEST_F(FileWriterTest, ARewriteKeepsTheModeOfTheFileItReplacesButPrivateDataStaysPrivate) {
    const struct {
        int before;  // -1: no file there
        bool privately;
        mode_t asked;
        int after;
    } rows[] = {
        {-1, false, 0644, 0644},   {-1, false, 0600, 0600},   {-1, true, 0600, 0600},    {0600, false, 0644, 0600},
        {0644, false, 0600, 0644}, {0640, false, 0600, 0640}, {0444, false, 0644, 0444}, {04755, false, 0644, 0755},
        {0644, true, 0600, 0600},  {0400, true, 0600, 0600},
    };
    int n = 0;
    for (const auto& row : rows) {
        const QString path = root + QString::asprintf("/file-%d", n++);
        if (row.before >= 0) {
            ASSERT_TRUE(put(path, "old"));
            ASSERT_EQ(::chmod(native(path).constData(), mode_t(row.before)), 0);
        }
        const auto error = row.privately ? writer.writePrivate(path, "new") : writer.write(path, "new", row.asked);
        ASSERT_FALSE(error) << qPrintable(error->message());
        EXPECT_EQ(contents(path), "new");
        EXPECT_EQ(mode(path), row.after) << qPrintable(path) << " was " << std::oct << row.before;
    }
    EXPECT_EQ(temporaryFiles(root), QStringList());
}

// A name need not be UTF-8: a link into "caf\xff" leads there, never to the "caf\uFFFD" beside it.
TEST_F(FileWriterTest, NamesThatAreNotUTF8AreFollowedWrittenListedAndSweptByTheirBytes) {
    const QString real = NativePath::decode(native(root) + "/dot/caf\xff");
    const QString lookAlike = NativePath::decode(native(root) + "/dot/caf\xef\xbf\xbd");
    for (const QString& folder : {real, lookAlike}) {
        ASSERT_TRUE(QDir().mkpath(root + "/dot"));
        ASSERT_EQ(::mkdir(native(folder).constData(), 0755), 0);
        ASSERT_FALSE(writer.create(folder + "/q.json", folder == real ? "real" : "look-alike", 0600));
        ASSERT_FALSE(writer.create(folder + "/.quorvin-write-00000000000000a1", "cut short", 0600));
    }
    ASSERT_EQ(::symlink("dot/caf\xff/q.json", native(root + "/settings.json").constData()), 0);
    ASSERT_EQ(::symlink("dot/caf\xff", native(root + "/Snippets").constData()), 0);

    FileError error;
    const auto target = SafeFile::followUsersLink(root + "/settings.json", false, &error);
    ASSERT_TRUE(target) << qPrintable(error.message());
    EXPECT_EQ(native(*target), native(real + "/q.json"));
    EXPECT_EQ(SafeFile::readRegular(*target, 64), QByteArray("real"));
    const auto folder = SafeFile::followUsersLink(root + "/Snippets", true, &error);
    ASSERT_TRUE(folder) << qPrintable(error.message());
    EXPECT_EQ(native(*folder), native(real));

    ASSERT_FALSE(writer.write(*target, "saved", 0644));
    EXPECT_EQ(SafeFile::readRegular(real + "/q.json", 64), QByteArray("saved"));
    EXPECT_EQ(contents(lookAlike + "/q.json"), "look-alike");
    EXPECT_EQ(mode(real + "/q.json"), 0600);

    EXPECT_EQ(FileWriter::sweepUnfinishedWrites(real), 1);
    EXPECT_FALSE(SafeFile::exists(real + "/.quorvin-write-00000000000000a1"));
    EXPECT_TRUE(SafeFile::exists(lookAlike + "/.quorvin-write-00000000000000a1"));

    ASSERT_FALSE(writer.create(real + "/" + NativePath::decode("n\xff.png"), "x", 0600));
    QStringList names = SafeFile::regularFileNames(real).value_or(QStringList());
    names.sort();
    EXPECT_EQ(names, (QStringList{NativePath::decode("n\xff.png"), "q.json"}));
    EXPECT_FALSE(SafeFile::removeRegular(real + "/" + NativePath::decode("n\xff.png")));

    // Folders made below such a name are made there, their parents too.
    ASSERT_FALSE(writer.makePrivateFolder(real + "/History/Images"));
    ASSERT_FALSE(writer.makeFolder(real + "/Other/Deeper", 0700));
    EXPECT_EQ(mode(real + "/History/Images"), 0700);
    EXPECT_EQ(mode(real + "/Other/Deeper"), 0700);
    const auto entries = [](const QString& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(native(folder).toStdString()))
            names.insert(entry.path().filename().string());
        return names;
    };
    EXPECT_EQ(entries(lookAlike), (std::set<std::string>{".quorvin-write-00000000000000a1", "q.json"}));
    EXPECT_EQ(entries(root + "/dot"), (std::set<std::string>{"caf\xff", "caf\xef\xbf\xbd"}));
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
    const mode_t umask = ::umask(0);
    ASSERT_FALSE(writer.makePrivateFolder(nested));
    ::umask(umask);
    EXPECT_EQ(mode(nested), 0700);

    // Others lose what they could do; the owner's own bits are the user's choice.
    for (const auto& [before, after] : {std::pair{0777, 0700}, {0755, 0700}, {0500, 0500}, {0700, 0700}}) {
        ::chmod(native(nested).constData(), mode_t(before));
        ASSERT_FALSE(writer.makePrivateFolder(nested));
        EXPECT_EQ(mode(nested), after) << std::oct << before;
    }

    // A folder of ours that is not private is made with the mode asked less the umask and, once
    // there, left as it is.
    for (const auto& [name, asked, mask, made] : {std::tuple{"Snippets", 0700, 0077, 0700},
                                                  {"Shared", 0755, 0022, 0755},
                                                  {"Masked", 0755, 0077, 0700},
                                                  {"Open", 0777, 0, 0777}}) {
        ::umask(mode_t(mask));
        ASSERT_FALSE(writer.makeFolder(root + "/data/" + name, mode_t(asked)));
        ::umask(umask);
        EXPECT_EQ(mode(root + "/data/" + name), made) << name << std::oct << ", expected 0" << made;
    }
    for (const int chosen : {0500, 0755, 0777}) {
        ::chmod(native(root + "/data/Snippets").constData(), mode_t(chosen));
        ASSERT_FALSE(writer.makeFolder(root + "/data/Snippets", 0700));
        EXPECT_EQ(mode(root + "/data/Snippets"), chosen);
    }

    const QString linked = root + "/data/Linked";
    ASSERT_TRUE(symlinkTo(outside, linked));
    for (const auto& error : {writer.makePrivateFolder(linked), writer.makeFolder(linked, 0700)}) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->message(), linked + ": is a symbolic link");
    }
    EXPECT_EQ(mode(outside), 0755);  // no chmod through the link

    ASSERT_TRUE(put(root + "/data/plain", "x"));
    EXPECT_TRUE(writer.makePrivateFolder(root + "/data/plain"));
    EXPECT_TRUE(writer.makeFolder(root + "/data/plain", 0700));
}

TEST_F(FileWriterTest, CreateClaimsANewNameWholeAndNeverReplacesAnything) {
    const QString path = root + "/claim";
    ASSERT_FALSE(writer.create(path, "mine", 0600));
    EXPECT_EQ(contents(path), "mine");
    EXPECT_EQ(mode(path), 0600);
    // Whatever holds the name, the code is EEXIST exactly: the Trash then tries the next name.
    ASSERT_TRUE(symlinkTo(outside + "/new", root + "/dangling"));
    ASSERT_TRUE(QDir().mkpath(root + "/folder"));
    ASSERT_EQ(::mkfifo(native(root + "/fifo").constData(), 0600), 0);
    for (const QString& taken : {path, root + "/dangling", root + "/folder", root + "/fifo"}) {
        const auto error = writer.create(taken, "theirs", 0600);
        ASSERT_TRUE(error) << qPrintable(taken);
        EXPECT_EQ(error->code, EEXIST) << qPrintable(taken);
        EXPECT_EQ(error->path, taken);
    }
    EXPECT_EQ(contents(path), "mine");
    EXPECT_FALSE(QFileInfo::exists(outside + "/new"));  // a dangling link is not written through

    // A name taken after the check, while the new file is flushed, is not replaced either.
    HookedFileWriter racing;
    racing.onSync = [&](int fd) {
        put(root + "/late", "the other claim");
        return ::fsync(fd);
    };
    const auto late = racing.create(root + "/late", "mine", 0600);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->code, EEXIST);
    EXPECT_EQ(contents(root + "/late"), "the other claim");
    EXPECT_EQ(temporaryFiles(root), QStringList());
}

TEST_F(FileWriterTest, AFailedFlushLeavesTheOldFileAndNoTemporaryFile) {
    const QString path = root + "/settings.json";
    ASSERT_FALSE(writer.write(path, "old", 0644));
    HookedFileWriter failing;
    failing.onSync = [](int) {
        errno = EIO;
        return -1;
    };
    auto error = failing.write(path, "new", 0644);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, EIO);
    EXPECT_EQ(error->path, path);
    EXPECT_EQ(contents(path), "old");
    error = failing.create(root + "/claim", "new", 0600);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, EIO);
    EXPECT_FALSE(QFileInfo::exists(root + "/claim"));
    EXPECT_EQ(temporaryFiles(root), QStringList());
}

TEST_F(FileWriterTest, TheSweepRemovesOnlyOurLeftoversThatNoWriteHolds) {
    const QString left1 = root + "/.quorvin-write-00000000000000a1", left2 = root + "/.quorvin-write-00000000000000b2";
    ASSERT_TRUE(put(left1, "cut short"));
    ASSERT_TRUE(put(left2, ""));
    // Named like ours but no regular file, or not quite our name: left alone.
    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", root + "/.quorvin-write-00000000000000c3"));
    ASSERT_TRUE(QDir().mkpath(root + "/.quorvin-write-00000000000000d4"));
    ASSERT_EQ(::mkfifo(native(root + "/.quorvin-write-00000000000000e5").constData(), 0600), 0);
    ASSERT_TRUE(put(root + "/.quorvin-write-notours", "x"));
    ASSERT_TRUE(put(root + "/data.json", "kept"));
    // Nor is a folder reached through a link swept.
    ASSERT_TRUE(put(outside + "/.quorvin-write-00000000000000f6", "theirs"));
    ASSERT_TRUE(symlinkTo(outside, root + "/linked"));
    EXPECT_EQ(FileWriter::sweepUnfinishedWrites(root + "/linked"), 0);
    EXPECT_TRUE(QFileInfo::exists(outside + "/.quorvin-write-00000000000000f6"));

    // A sweep while a write is under way spares that write's file.
    HookedFileWriter pausing;
    int sweptDuringWrite = -1;
    QStringList duringWrite;
    pausing.onSync = [&](int fd) {
        sweptDuringWrite = FileWriter::sweepUnfinishedWrites(root);
        duringWrite = temporaryFiles(root);
        return ::fsync(fd);
    };
    ASSERT_FALSE(pausing.write(root + "/data.json", "new", 0600));
    EXPECT_EQ(sweptDuringWrite, 2);
    // The link, the folder, the FIFO, the name not quite ours and the live write's file.
    ASSERT_EQ(duringWrite.size(), 5);
    EXPECT_EQ(contents(root + "/data.json"), "new");
    EXPECT_FALSE(QFileInfo::exists(left1));
    EXPECT_FALSE(QFileInfo::exists(left2));
    EXPECT_EQ(temporaryFiles(root), (QStringList{".quorvin-write-00000000000000c3", ".quorvin-write-00000000000000d4",
                                                 ".quorvin-write-00000000000000e5", ".quorvin-write-notours"}));
    EXPECT_EQ(contents(outside + "/notes.txt"), "the user's notes\n");
    EXPECT_EQ(FileWriter::sweepUnfinishedWrites(root), 0);
}

// Run as a child by the test below: replaces one file over and over until it is killed.
TEST(FileWriterKillLoop, DISABLED_WritesUntilKilled) {
    const QString path = qEnvironmentVariable("QUORVIN_WRITE_LOOP");
    ASSERT_FALSE(path.isEmpty());
    LinuxFileWriter writer;
    for (int round = 0;; ++round) {
        const auto error = writer.write(path, QByteArray(1 << 20, char('a' + round % 26)), 0600);
        ASSERT_FALSE(error) << qPrintable(error->message());
    }
}

TEST_F(FileWriterTest, SavesKilledAtAnyPointLeaveOnlyTheKeptFileOnceSwept) {
    const QString path = root + "/data.json";
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUORVIN_WRITE_LOOP", path);
        environment.insert("TMPDIR", root);  // the killed child's own temporary folder goes with ours
        child.setProcessEnvironment(environment);
        child.start(
            QCoreApplication::applicationFilePath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=FileWriterKillLoop.DISABLED_WritesUntilKilled"});
        ASSERT_TRUE(child.waitForStarted());
        // Killed while a new file is being written over a kept one.
        const QStringList before = temporaryFiles(root);
        EXPECT_TRUE(TestSupport::waitFor(
            [&] {
                const QStringList now = temporaryFiles(root);
                return QFileInfo::exists(path) &&
                       std::any_of(now.begin(), now.end(), [&](const QString& name) { return !before.contains(name); });
            },
            20000));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished());
    }
    EXPECT_FALSE(temporaryFiles(root).isEmpty());
    FileWriter::sweepUnfinishedWrites(root);
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"data.json"});
    // What is kept is one whole version.
    const QByteArray kept = contents(path);
    ASSERT_EQ(kept.size(), 1 << 20);
    EXPECT_EQ(kept.count(kept.at(0)), kept.size());
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
    EXPECT_EQ(SafeFile::readRegular(root + "/plain", 64), QByteArray("bytes"));
    EXPECT_TRUE(SafeFile::isRegular(root + "/plain"));

    ASSERT_TRUE(symlinkTo(outside + "/notes.txt", root + "/link"));
    ASSERT_EQ(::mkfifo(native(root + "/fifo").constData(), 0600), 0);
    for (const QString& path : {root + "/link", root + "/fifo", QString("/dev/zero"), root}) {
        FileError error;
        EXPECT_FALSE(SafeFile::readRegular(path, 64, &error)) << qPrintable(path);
        EXPECT_FALSE(SafeFile::openRegular(path)) << qPrintable(path);
        EXPECT_FALSE(SafeFile::isRegular(path)) << qPrintable(path);
        EXPECT_EQ(error.path, path);
        EXPECT_FALSE(error.reason.isEmpty());
    }
    FileError missing;
    EXPECT_FALSE(SafeFile::readRegular(root + "/none", 64, &missing));
    EXPECT_TRUE(missing.isMissing());

    // A file of exactly the limit is read; one byte more is refused unread.
    ASSERT_TRUE(put(root + "/sized", QByteArray(4096, 'x')));
    EXPECT_EQ(SafeFile::readRegular(root + "/sized", 4096), QByteArray(4096, 'x'));
    FileError tooLarge;
    EXPECT_FALSE(SafeFile::readRegular(root + "/sized", 4095, &tooLarge));
    EXPECT_EQ(tooLarge.message(), root + "/sized: is larger than 4095 bytes");
    EXPECT_TRUE(tooLarge.isTooLarge());
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
