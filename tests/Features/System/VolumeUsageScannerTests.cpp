#include "FileTreeSupport.h"
#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Files/NativePath.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

#include <sys/stat.h>

using FileTree::allocateFile;
using Phase = VolumeUsageScanner::Phase;

namespace {

constexpr qint64 block = 4096;
constexpr qint64 justBelow = 4882 * block;  // 19,996,672
constexpr qint64 justAbove = 4883 * block;  // 20,000,768

const UsageNode* child(const UsageNode& node, const QString& name) {
    for (const UsageNode& c : node.children)
        if (c.name == name) return &c;
    return nullptr;
}

struct VolumeFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.path() + "/root";
    QString store = dir.path() + "/data/volumeUsage.json";
    std::unique_ptr<VolumeUsageScanner> scanner;

    void SetUp() override { QDir().mkpath(dir.path() + "/data"); }
    VolumeUsageScanner& make(VolumeUsageScanner::StoreAccess access = VolumeUsageScanner::StoreAccess::real()) {
        scanner.reset();
        scanner = std::make_unique<VolumeUsageScanner>(VolumeUsageScanner::Places{root, {root + "/proc"}, store},
                                                       std::move(access));
        return *scanner;
    }
    // The saved tree arrives from the queue.
    void settle() {
        scanner->waitUntilIdle();
        QCoreApplication::processEvents();
    }
    QJsonObject saved() const {
        QFile file(store);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    void save(const UsageNode& tree, qint64 unreadable, const QDateTime& at) {
        QFile file(store);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(QJsonObject{{"scannedAt", ReferenceDate::seconds(at)},
                                             {"root", tree.toJson()},
                                             {"unreadable", unreadable}})
                       .toJson());
    }
    void scanAndWait() {
        scanner->scan();
        ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
        scanner->waitUntilIdle();  // the tree is saved on the queue
    }
};

TEST_F(VolumeFixture, KeepsBigItemsSixLevelsDownAndCountsEverythingElse) {
    ASSERT_TRUE(allocateFile(root + "/kept.bin", justAbove));
    ASSERT_TRUE(allocateFile(root + "/small.bin", justBelow));
    ASSERT_TRUE(allocateFile(root + "/a/b/c/d/e/deep30/x", 30'000'000));  // a folder at depth 6
    ASSERT_TRUE(allocateFile(root + "/a/b/c/d/e/f/g/h/deep50", 50'000'000));  // a file at depth 8
    ASSERT_TRUE(allocateFile(root + "/proc/skipped", 40'000'000));
    ASSERT_TRUE(allocateFile(dir.path() + "/outside/big", 40'000'000));
    ASSERT_TRUE(QFile::link(dir.path() + "/outside", root + "/link"));
    ASSERT_TRUE(allocateFile(root + "/twins/one", justAbove));
    ASSERT_TRUE(allocateFile(root + "/twins/two", justAbove));
    make();
    scanAndWait();
    ASSERT_TRUE(scanner->root());
    const UsageNode& top = *scanner->root();
    EXPECT_EQ(top.name, "Macintosh HD");
    EXPECT_TRUE(top.isDirectory);
    const double expected = double(justAbove) * 3 + justBelow + FileTree::allocated(root + "/a/b/c/d/e/deep30/x") +
                            FileTree::allocated(root + "/a/b/c/d/e/f/g/h/deep50");
    EXPECT_EQ(top.bytes, expected);  // nothing of the link or the skipped folder
    EXPECT_TRUE(child(top, "kept.bin"));
    EXPECT_FALSE(child(top, "small.bin"));
    EXPECT_FALSE(child(top, "proc"));
    EXPECT_FALSE(child(top, "link"));
    // Largest first.
    for (int i = 1; i < top.children.size(); ++i) EXPECT_GE(top.children[i - 1].bytes, top.children[i].bytes);

    const UsageNode* node = child(top, "a");
    for (const char* name : {"b", "c", "d", "e"}) {
        ASSERT_TRUE(node) << name;
        node = child(*node, name);
    }
    ASSERT_TRUE(node);
    const UsageNode* deep30 = child(*node, "deep30");
    ASSERT_TRUE(deep30);
    EXPECT_TRUE(deep30->children.isEmpty());  // depth 6 keeps no children
    // The file at depth 8 is in every total above it but nowhere in the tree.
    const UsageNode* f = child(*node, "f");
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->children.isEmpty());
    EXPECT_EQ(f->bytes, FileTree::allocated(root + "/a/b/c/d/e/f/g/h/deep50"));

    // Equal sizes keep the listing order.
    const UsageNode* twins = child(top, "twins");
    ASSERT_TRUE(twins);
    QStringList order;
    for (const UsageNode& c : twins->children) order << c.name;
    EXPECT_EQ(order, QDir(root + "/twins").entryList(QDir::Files, QDir::Unsorted));
}

TEST_F(VolumeFixture, UnreadableFoldersAreCountedAndAddNothing) {
    ASSERT_TRUE(allocateFile(root + "/open/file", 1 << 20));
    ASSERT_TRUE(allocateFile(root + "/closed/secret", 30'000'000));
    ::chmod(FileTree::native(root + "/closed").constData(), 0);
    std::atomic<bool> cancelled{false};
    qint64 unreadable = 0;
    UsageNode top;
    QStringList reported;
    FileTree::withoutReadOverride([&] {
        top = VolumeUsageScanner::walk(root, {}, cancelled, [&](const QString& p) { reported << p; }, &unreadable);
    });
    ::chmod(FileTree::native(root + "/closed").constData(), 0755);
    EXPECT_EQ(unreadable, 1);
    EXPECT_EQ(top.bytes, FileTree::allocated(root + "/open/file"));
    EXPECT_FALSE(child(top, "closed"));
    reported.sort();
    EXPECT_EQ(reported, (QStringList{root, root + "/closed", root + "/open"}));

    // A root that cannot be listed is one empty node named after itself.
    unreadable = 0;
    const UsageNode missing = VolumeUsageScanner::walk(root + "/gone", {}, cancelled, {}, &unreadable);
    EXPECT_EQ(missing.name, "gone");
    EXPECT_EQ(missing.bytes, 0);
    EXPECT_TRUE(missing.children.isEmpty());
    EXPECT_EQ(unreadable, 1);
}

TEST_F(VolumeFixture, TheTreeIsSavedAndShownAgainAfterARestart) {
    ASSERT_TRUE(allocateFile(root + "/with space/big", justAbove));
    // A name that is not UTF-8 keeps its bytes beside a look-alike that holds a real U+FFFD.
    const QByteArray notUtf8 = FileTree::native(root) + "/big\xff";
    ASSERT_TRUE(FileTree::allocateBytes(notUtf8 + "/big", justAbove));
    ASSERT_TRUE(FileTree::allocateBytes(FileTree::native(root) + "/big\xef\xbf\xbd/small", block));
    const QString shown = "big" + QString(QChar::ReplacementCharacter);
    auto checkNotUtf8 = [&](const UsageNode& top) {
        const UsageNode* big = child(top, shown);
        ASSERT_TRUE(big);
        EXPECT_EQ(NativePath::encode(big->path), notUtf8);
        ASSERT_EQ(big->children.size(), 1);
        EXPECT_EQ(NativePath::encode(big->children.first().path), notUtf8 + "/big");
    };
    make();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    scanAndWait();
    const QDateTime date = scanner->state().date;
    QFile file(store);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    EXPECT_EQ(saved.value("unreadable").toInt(-1), 0);
    EXPECT_TRUE(saved.value("root").toObject().value("path").toString().startsWith("file:///"));
    checkNotUtf8(*scanner->root());
    EXPECT_TRUE(QJsonDocument(saved).toJson().contains("/big%FF\""));

    make();
    settle();
    ASSERT_EQ(scanner->state().phase, Phase::complete);
    EXPECT_LE(std::abs(scanner->state().date.msecsTo(date)), 1);
    ASSERT_TRUE(scanner->root());
    ASSERT_TRUE(child(*scanner->root(), "with space"));
    EXPECT_EQ(child(*scanner->root(), "with space")->path, root + "/with space");
    checkNotUtf8(*scanner->root());

    // A file without its count is no saved tree at all.
    QJsonObject damaged = saved;
    damaged.remove("unreadable");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(damaged).toJson());
    file.close();
    make();
    settle();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    EXPECT_FALSE(scanner->root());
}

TEST_F(VolumeFixture, ScanRunsOnceReportsTopFoldersAndACancelKeepsTheEarlierResult) {
    ASSERT_TRUE(allocateFile(root + "/one/x", 1 << 20));
    ASSERT_TRUE(allocateFile(root + "/two/x", 1 << 20));
    make();
    // Cancelled during a first-ever scan: nothing to show.
    scanner->scan();
    scanner->cancel();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    scanner->waitUntilIdle();
    TestSupport::spin(50);
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    EXPECT_FALSE(scanner->root());

    QStringList paths;
    int starts = 0;
    QObject::connect(scanner.get(), &VolumeUsageScanner::stateChanged, [&] {
        if (scanner->state().phase == Phase::scanning) {
            paths << scanner->state().path;
            starts += scanner->state().path == root;
        }
    });
    scanner->scan();
    scanner->scan();
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    EXPECT_EQ(starts, 1);
    ASSERT_EQ(paths.size(), 3);
    EXPECT_EQ(paths.first(), root);
    EXPECT_EQ(QSet<QString>(paths.begin() + 1, paths.end()), (QSet<QString>{root + "/one", root + "/two"}));
    const auto before = scanner->state();
    const auto bytes = scanner->root()->bytes;

    // A cancelled rescan: the earlier tree with its own date and count, and no file written.
    ASSERT_TRUE(allocateFile(root + "/three/x", 1 << 20));
    TestSupport::spin(20);
    scanner->scan();
    scanner->cancel();
    EXPECT_EQ(scanner->state(), before);
    scanner->waitUntilIdle();
    TestSupport::spin(50);
    EXPECT_EQ(scanner->state(), before);
    EXPECT_EQ(scanner->root()->bytes, bytes);
    make();
    settle();
    ASSERT_TRUE(scanner->root());
    EXPECT_EQ(scanner->root()->bytes, bytes);
}

// A saved tree of a full disk runs to megabytes, and the file may sit on a slow mount: reading,
// decoding, encoding and writing it never happen on the GUI thread.
TEST_F(VolumeFixture, NeverTouchesTheSavedTreeOnTheGuiThread) {
    ASSERT_TRUE(allocateFile(root + "/big/x", justAbove));
    make();
    scanAndWait();
    scanner.reset();  // the tree is written on the queue, before it ends

    TestSupport::ThreadLedger ledger;
    auto note = [&ledger](const char* what) { ledger.note(what); };
    const QMap<QString, int>& onGui = ledger.onGui;
    const QMap<QString, int>& off = ledger.off;
    const auto real = VolumeUsageScanner::StoreAccess::real();
    make({[&note, real](const QString& path) { note("read"); return real.read(path); },
          [&note, real](const QString& path, const QByteArray& bytes) { note("write"); return real.write(path, bytes); }});
    settle();
    ASSERT_TRUE(scanner->root());
    EXPECT_TRUE(child(*scanner->root(), "big"));

    ASSERT_TRUE(allocateFile(root + "/more/y", justAbove));
    scanAndWait();
    scanner->waitUntilIdle();
    EXPECT_TRUE(onGui.isEmpty()) << qPrintable(QStringList(onGui.keys()).join(", "));
    EXPECT_EQ(off, (QMap<QString, int>{{"read", 1}, {"write", 1}}));
    EXPECT_TRUE(saved().value("root").toObject().value("children").toArray().size() == 2);
    scanner.reset();  // before the counts go
}

// The saved tree lands on the GUI thread after a walk may have started: it shows while the walk
// runs (and after a cancel), never ends the walk's state, and the walk's tree replaces it.
TEST_F(VolumeFixture, AWalkStartedBeforeTheSavedTreeArrivesWins) {
    const QDateTime stored = QDateTime::currentDateTimeUtc().addDays(-3);
    const UsageNode old{VolumeUsageScanner::rootName, root, 9e10, true,
                        {UsageNode{"old", root + "/old", 5e10, true, {}}}};
    save(old, 7, stored);
    ASSERT_TRUE(allocateFile(root + "/new/x", justAbove));

    make();
    QList<VolumeUsageScanner::State> states;
    QList<std::pair<QString, VolumeUsageScanner::State>> trees;  // first child's name, state when shown
    QObject::connect(scanner.get(), &VolumeUsageScanner::stateChanged, [&] { states << scanner->state(); });
    QObject::connect(scanner.get(), &VolumeUsageScanner::rootChanged, [&] {
        trees.append({scanner->root()->children.value(0).name, scanner->state()});
    });
    scanner->scan();
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    settle();
    ASSERT_EQ(trees.size(), 2);
    EXPECT_EQ(trees[0].first, "old");
    EXPECT_EQ(trees[0].second, (VolumeUsageScanner::State{Phase::scanning, root, {}}));
    EXPECT_EQ(trees[1].first, "new");
    EXPECT_TRUE(child(*scanner->root(), "new"));
    EXPECT_FALSE(child(*scanner->root(), "old"));
    EXPECT_EQ(scanner->unreadable(), 0);
    for (const auto& state : states) EXPECT_TRUE(state.phase == Phase::scanning || state.date != stored);
    EXPECT_EQ(states.last().phase, Phase::complete);
    EXPECT_GT(scanner->state().date, stored.addDays(1));
    const QJsonArray kept = saved().value("root").toObject().value("children").toArray();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept.first().toObject().value("name").toString(), "new");

    // Cancelled before the saved tree came: idle at first, then the saved tree under its own date.
    save(old, 7, stored);
    make();
    scanner->scan();
    scanner->cancel();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    settle();
    TestSupport::spin(50);
    EXPECT_EQ(scanner->state().phase, Phase::complete);
    EXPECT_LE(std::abs(scanner->state().date.msecsTo(stored)), 1);
    ASSERT_TRUE(scanner->root());
    EXPECT_TRUE(child(*scanner->root(), "old"));
    EXPECT_EQ(saved().value("root").toObject().value("children").toArray().first().toObject().value("name"), "old");
}

}  // namespace
