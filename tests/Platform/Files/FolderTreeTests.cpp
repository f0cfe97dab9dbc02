#include "FileTreeSupport.h"
#include "Platform/Files/FolderTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using FileTree::native;

namespace {

// The removal with at most `files` descriptors open in this process.
std::optional<FileError> removeWithFewFilesOpen(int parent, const QByteArray& name, rlim_t files = 64) {
    rlimit before{};
    ::getrlimit(RLIMIT_NOFILE, &before);
    rlimit few = before;
    few.rlim_cur = files;
    ::setrlimit(RLIMIT_NOFILE, &few);
    std::optional<FileError> error = FolderTree::remove(parent, name);
    ::setrlimit(RLIMIT_NOFILE, &before);
    return error;
}

}  // namespace

// QDir::removeRecursively gave up past PATH_MAX and left the tree.
TEST(FolderTree, RemovesATreeDeeperThanPathMaxAndOnlyTheLinksInIt) {
    QTemporaryDir dir;
    const QString top = dir.filePath("top");
    ASSERT_TRUE(FileTree::writeFile(dir.filePath("outside/keep"), 1));
    ASSERT_TRUE(FileTree::writeFile(top + "/a/file", 10));
    ASSERT_TRUE(FileTree::writeFile(top + "/a/b/c/file", 10));
    ASSERT_TRUE(FileTree::writeFile(top + "/.hidden", 1));
    ASSERT_EQ(::mkfifo(native(top + "/a/fifo").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.filePath("outside"), top + "/a/folderLink"));
    ASSERT_TRUE(QFile::link(dir.filePath("outside/keep"), top + "/fileLink"));
    ASSERT_TRUE(QDir().mkpath(top + "/empty/deeper"));
    ASSERT_TRUE(QDir().mkpath(top + "/chain"));
    const int levels = PATH_MAX / 5 + 100;  // "deep/" each
    ASSERT_TRUE(FileTree::makeDeepChain(top + "/chain", levels));
    ASSERT_TRUE(FileTree::makeDeepChain(top + "/a/b", 40, "side"));

    const int parent = ::open(native(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(parent, 0);
    const std::optional<FileError> error = removeWithFewFilesOpen(parent, "top");
    EXPECT_FALSE(error) << qPrintable(error->message());
    EXPECT_FALSE(FileTree::existsBytes(native(top)));
    EXPECT_EQ(FileTree::readBytes(native(dir.filePath("outside/keep"))), "x");

    // Only a real folder: a link named as the tree is refused and what it leads to stays.
    ASSERT_TRUE(QFile::link(dir.filePath("outside"), dir.filePath("linked")));
    const std::optional<FileError> linked = FolderTree::remove(parent, "linked");
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->path, "linked");
    EXPECT_TRUE(FileTree::existsBytes(native(dir.filePath("linked"))));
    EXPECT_EQ(FileTree::readBytes(native(dir.filePath("outside/keep"))), "x");
    EXPECT_TRUE(FolderTree::remove(parent, "missing")->isMissing());
    ::close(parent);
}

TEST(FolderTree, NeverEntersAnotherFileSystem) {
    QTemporaryDir dir;
    const QString top = dir.filePath("top");
    ASSERT_TRUE(FileTree::writeFile(top + "/before", 1));
    ASSERT_TRUE(QDir().mkpath(top + "/mounted"));
    const std::optional<QString> report = FileTree::inPrivateMount(top + "/mounted", [&] {
        if (!FileTree::writeFile(top + "/mounted/theirs", 1)) return QStringLiteral("no file on the mount");
        const int parent = ::open(native(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const std::optional<FileError> error = FolderTree::remove(parent, "top");
        ::close(parent);
        if (!error || error->code != EXDEV) return QStringLiteral("the removal did not stop at the mount");
        if (!FileTree::existsBytes(native(top + "/mounted/theirs"))) return QStringLiteral("a file on the mount went");
        return QString();
    });
    if (!report) GTEST_SKIP() << "no private mount here";
    EXPECT_EQ(*report, QString());
}
