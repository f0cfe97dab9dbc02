#include "FileTreeSupport.h"
#include "Platform/Files/DirectoryWalker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

using FileTree::writeFile;

namespace {

// Takes the tree back to modes its owner can remove.
struct Restore {
    QString folder;
    ~Restore() {
        if (!folder.isEmpty()) ::chmod(FileTree::native(folder).constData(), 0755);
    }
};

TEST(DirectoryWalker, AgreesWithDuOnAMixedTree) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/tree";
    // Ordinary files of many sizes, some in deep folders.
    for (int i = 0; i < 120; ++i) {
        const QString folder = root + QString::asprintf("/a%d/b%d/c%d", i % 4, i % 7, i % 3);
        ASSERT_TRUE(writeFile(folder + QString::asprintf("/f%d.bin", i), (i * 7919) % 300000));
    }
    // A sparse file: a gigabyte long, 2 MiB of it written.
    ASSERT_TRUE(FileTree::writeSparse(root + "/sparse.img", 1 << 30, 2 << 20));
    // One file under three names.
    ASSERT_TRUE(writeFile(root + "/links/one", 3 << 20));
    ASSERT_TRUE(QFile::link(root + "/links/one", root + "/links/soft"));
    ASSERT_EQ(::link(FileTree::native(root + "/links/one"), FileTree::native(root + "/a0/two")), 0);
    ASSERT_EQ(::link(FileTree::native(root + "/links/one"), FileTree::native(root + "/a1/three")), 0);
    // A link to a large folder outside the tree.
    ASSERT_TRUE(writeFile(dir.path() + "/outside/big", 40 << 20));
    ASSERT_TRUE(QFile::link(dir.path() + "/outside", root + "/a2/outside"));
    // A folder nobody may list, with content.
    ASSERT_TRUE(writeFile(root + "/closed/secret", 5 << 20));
    ASSERT_EQ(::chmod(FileTree::native(root + "/closed").constData(), 0), 0);
    Restore restore{root + "/closed"};

    DirectoryWalker::Totals totals;
    FileTree::withoutReadOverride([&] { totals = DirectoryWalker::walk(root, {.oneFileSystem = true}); });
    const qint64 du = FileTree::duBytes(root);
    ASSERT_GT(du, 0);
    EXPECT_LE(std::abs(double(totals.allocatedBytes() - du)), du * 0.01)
        << "walker " << totals.allocatedBytes() << " du " << du;
    EXPECT_EQ(totals.unreadable, 1);
    EXPECT_FALSE(totals.cancelled);
    // The secret and the outside folder were never reached; the hard-linked file counted once.
    EXPECT_LT(totals.fileBytes, 40 << 20);
    EXPECT_EQ(totals.files, 120 + 1 + 3);
}

TEST(DirectoryWalker, CountsAHardLinkedFileOnceAndNeverFollowsLinks) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.path() + "/t/one", 1 << 20));
    QDir().mkpath(dir.path() + "/t/sub");
    ASSERT_EQ(::link(FileTree::native(dir.path() + "/t/one"), FileTree::native(dir.path() + "/t/sub/two")), 0);
    ASSERT_TRUE(writeFile(dir.path() + "/big/file", 8 << 20));
    ASSERT_TRUE(QFile::link(dir.path() + "/big", dir.path() + "/t/folder-link"));
    ASSERT_TRUE(QFile::link(dir.path() + "/big/file", dir.path() + "/t/file-link"));

    const auto totals = DirectoryWalker::walk(dir.path() + "/t");
    EXPECT_EQ(totals.fileBytes, FileTree::allocated(dir.path() + "/t/one"));
    EXPECT_EQ(totals.files, 2);
    EXPECT_EQ(totals.folders, 1);

    // A link as the start is no folder to walk.
    const auto linked = DirectoryWalker::walk(dir.path() + "/t/folder-link");
    EXPECT_EQ(linked.allocatedBytes(), 0);
    EXPECT_EQ(linked.unreadable, 0);
}

// Records what the walker tells a visitor; can cancel after some files.
struct Recorder : DirectoryWalker::Visitor {
    std::vector<std::string> entered, left, files;
    std::vector<std::int64_t> leftBytes;
    std::string skip;
    int cancelAfter = -1;
    std::atomic<bool>* cancel = nullptr;

    bool shouldEnter(std::string_view path, int) override { return path != skip; }
    void enter(std::string_view path, int depth) override { entered.push_back(std::string(path) + "@" + std::to_string(depth)); }
    void file(std::string_view path, int, std::int64_t) override {
        files.emplace_back(path);
        if (cancel && int(files.size()) == cancelAfter) cancel->store(true);
    }
    void leave(std::string_view path, int, std::int64_t bytes, bool) override {
        left.emplace_back(path);
        leftBytes.push_back(bytes);
    }
};

TEST(DirectoryWalker, TellsItsVisitorPathsDepthsAndFolderTotals) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/r/";  // a trailing slash is dropped
    ASSERT_TRUE(writeFile(root + "x/y/a", 100000));
    ASSERT_TRUE(writeFile(root + "x/b", 200000));
    ASSERT_TRUE(writeFile(root + "skipped/c", 300000));
    Recorder recorder;
    const std::string base = FileTree::native(dir.path() + "/r").toStdString();
    recorder.skip = base + "/skipped";

    const auto totals = DirectoryWalker::walk(root, {.visitor = &recorder});
    EXPECT_EQ(recorder.entered.front(), base + "@0");
    EXPECT_NE(std::find(recorder.entered.begin(), recorder.entered.end(), base + "/x/y@2"), recorder.entered.end());
    ASSERT_EQ(recorder.left.back(), base);
    const qint64 a = FileTree::allocated(root + "x/y/a"), b = FileTree::allocated(root + "x/b");
    EXPECT_EQ(recorder.leftBytes.back(), a + b);
    EXPECT_EQ(totals.fileBytes, a + b);  // nothing of the skipped folder
    const auto y = std::find(recorder.left.begin(), recorder.left.end(), base + "/x/y");
    ASSERT_NE(y, recorder.left.end());
    EXPECT_EQ(recorder.leftBytes[y - recorder.left.begin()], a);
}

TEST(DirectoryWalker, StopsSoonAfterACancelAndCountsNoUnreadableFolderForIt) {
    QTemporaryDir dir;
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(writeFile(dir.path() + QString::asprintf("/d%d/f", i % 20) + QString::number(i), 10));
    std::atomic<bool> cancel{false};
    Recorder recorder;
    recorder.cancel = &cancel;
    recorder.cancelAfter = 10;
    const auto totals = DirectoryWalker::walk(dir.path(), {.cancel = &cancel, .visitor = &recorder});
    EXPECT_TRUE(totals.cancelled);
    EXPECT_EQ(recorder.files.size(), 10u);
    EXPECT_EQ(totals.unreadable, 0);

    const auto stopped = DirectoryWalker::walk(dir.path(), {.cancel = &cancel});
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.entries, 0);
}

// A walk holds a bounded number of folders open: a tree deeper than the open-file limit is counted
// to its bottom, and no folder in it is taken for unreadable.
TEST(DirectoryWalker, CountsEveryLevelOfATreeDeeperThanTheOpenFileLimit) {
    QTemporaryDir dir;
    QString folder = dir.path() + "/deep";
    std::vector<QString> levels;
    for (int i = 0; i < 300; ++i) {
        folder += "/d";
        levels.push_back(folder);
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i : {0, 100, 150, 299}) ASSERT_TRUE(writeFile(levels[size_t(i)] + "/f", 4096));
    ASSERT_TRUE(writeFile(levels[150] + "/e/f", 4096));  // a folder met after a deep one in the same listing

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(64, saved.rlim_cur);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    Recorder recorder;
    const auto totals = DirectoryWalker::walk(dir.path() + "/deep", {.visitor = &recorder});
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(totals.unreadable, 0);
    EXPECT_EQ(totals.files, 5);
    EXPECT_EQ(totals.folders, 301);
    ASSERT_EQ(recorder.files.size(), 5u);
    EXPECT_EQ(recorder.left.back(), FileTree::native(dir.path() + "/deep").toStdString());
    EXPECT_EQ(recorder.leftBytes.back(), totals.fileBytes);
}

// Moves the folder above the first folder entered at `depth` to `to`, once, in the middle of its walk.
struct MoverMidWalk : Recorder {
    int depth = 0;
    QByteArray to;
    std::string moved;
    void enter(std::string_view path, int at) override {
        Recorder::enter(path, at);
        if (at != depth || !moved.empty()) return;
        moved = std::string(path.substr(0, path.rfind('/')));
        if (::rename(moved.c_str(), to.constData()) != 0) moved.clear();
    }
};

// Below the depth where folders are closed and found again through "..", a folder moved elsewhere
// while it is walked is the one folder lost: the walk never lists its new parent in place of the old,
// and every other entry of its ancestors is still counted.
TEST(DirectoryWalker, AFolderMovedDuringADeepWalkIsTheOnlyOneLost) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/deep";
    QString parent = root;
    for (int depth = 1; depth <= 29; ++depth) {
        parent += "/d";
        // Ancestors have more to list after the way down.
        if (depth >= 24) {
            for (int i = 0; i < 6; ++i) ASSERT_TRUE(writeFile(parent + QString::asprintf("/x%d", i), 10));
        }
    }
    // Folders at depth 30, each with a file and a sub-folder; the first one walked into moves away.
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(writeFile(parent + QString::asprintf("/s%d/sub/f", i), 10));
    // Its new parent holds entries of the same names as the folders left behind.
    const QString elsewhere = dir.path() + "/elsewhere";
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(writeFile(elsewhere + QString::asprintf("/s%d/stray", i), 10));

    Recorder unmoved;
    const auto whole = DirectoryWalker::walk(root, {.visitor = &unmoved});
    ASSERT_EQ(whole.unreadable, 0);
    MoverMidWalk mover;
    mover.depth = 31;
    mover.to = FileTree::native(elsewhere + "/moved");
    const auto totals = DirectoryWalker::walk(root, {.visitor = &mover});
    ASSERT_FALSE(mover.moved.empty());

    EXPECT_EQ(totals.unreadable, 1);
    const auto outside = [&](std::vector<std::string> files) {
        std::erase_if(files, [&](const std::string& f) { return f.rfind(mover.moved + "/", 0) == 0; });
        std::sort(files.begin(), files.end());
        return files;
    };
    EXPECT_EQ(outside(mover.files), outside(unmoved.files));
    for (const std::string& file : mover.files) EXPECT_EQ(file.find("stray"), std::string::npos) << file;
}

TEST(DirectoryWalker, StaysOnOneFileSystemWhenAsked) {
    // /dev and /dev/shm are two file systems on almost every Linux system.
    struct stat dev {}, shm {};
    if (::stat("/dev", &dev) != 0 || ::stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    Recorder one;
    DirectoryWalker::walk("/dev", {.oneFileSystem = true, .visitor = &one});
    for (const std::string& path : one.entered) EXPECT_NE(path.rfind("/dev/shm", 0), 0u) << path;
    Recorder all;
    DirectoryWalker::walk("/dev", {.visitor = &all});
    EXPECT_NE(std::find(all.entered.begin(), all.entered.end(), "/dev/shm@1"), all.entered.end());
}

}  // namespace
