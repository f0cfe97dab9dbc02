#include "FileTreeSupport.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/Trash.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskCleanSettings.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>

#include <gtest/gtest.h>

#include <mutex>

using FileTree::allocateFile;
using Phase = DiskCleanScanner::Phase;

namespace {

constexpr qint64 block = 4096;

// A home folder of the test's own with its cache and data folders, a private store and a real Trash.
struct DiskCleanFixture : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + "/home/user";
    UserDefaults store{QString()};
    DiskCleanSettings settings{store};
    LinuxTrash trash{home + "/.local/share"};
    std::unique_ptr<DiskCleanScanner> scanner;

    void SetUp() override { QDir().mkpath(home + "/.cache"); }
    QString storePath() const { return home + "/.local/share/DaveRovaz/lastScan.json"; }
    DiskCleanScanner& make(DiskCleanScanner::FileProbe probe = DiskCleanScanner::FileProbe::real()) {
        QDir().mkpath(QFileInfo(storePath()).absolutePath());
        scanner.reset();
        scanner = std::make_unique<DiskCleanScanner>(
            settings,
            DiskCleanScanner::Places{{home, home + "/.cache", home + "/.local/share"}, storePath(),
                                     trash.homeTrash()},
            trash, std::move(probe));
        settle();
        return *scanner;
    }
    // The saved result arrives from the queue.
    void settle() {
        scanner->waitUntilIdle();
        QCoreApplication::processEvents();
    }
    void scanAndWait() {
        scanner->scan();
        ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    }
    // name -> bytes of the published items
    QMap<QString, double> listed() const {
        QMap<QString, double> out;
        for (const CleanupGroup& group : scanner->groups())
            for (const CleanupItem& item : group.items) out[item.name] = item.bytes;
        return out;
    }
    const CleanupItem* item(const QString& name) const {
        for (const CleanupGroup& group : scanner->groups())
            for (const CleanupItem& item : group.items)
                if (item.name == name) return &item;
        return nullptr;
    }
};

TEST(CleanupCatalog, RowsDefaultsAndClaimedPaths) {
    const auto& rows = CleanupCatalog::candidates();
    ASSERT_EQ(rows.size(), 18);
    EXPECT_EQ(rows.first().name, "Xcode Derived Data");
    EXPECT_EQ(rows[15].name, "Maven Repository");
    EXPECT_TRUE(rows[15].consequence.contains(QChar(0x2014)));
    EXPECT_EQ(rows.last().relativePaths, QStringList{"Library/Saved Application State"});
    EXPECT_EQ(rows.last().category, CleanupCategory::system);
    for (int i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].defaultOn, i != 14 && i != 15) << i;
    // No Linux place for what holds real state here.
    EXPECT_TRUE(rows[16].linuxPaths.isEmpty());
    EXPECT_TRUE(rows[17].linuxPaths.isEmpty());

    const auto& claimed = CleanupCatalog::claimedPaths();
    EXPECT_EQ(claimed.size(), 20);
    EXPECT_TRUE(claimed.contains("Library/Caches/Yarn") && claimed.contains("Library/Caches/go-build"));
    const CleanupBases bases{"/h", "/h/.cache", "/h/.local/share"};
    const auto linux = CleanupCatalog::claimedLinuxPaths(bases);
    EXPECT_TRUE(linux.contains("/h/.cache/yarn") && linux.contains("/h/.local/share/pnpm/store") &&
                linux.contains("/h/.cache/go-build"));

    EXPECT_EQ(CleanupCategories::fromRawValue("Development"), CleanupCategory::development);
    EXPECT_FALSE(CleanupCategories::fromRawValue("development"));
}

TEST(CleanupItem, FormatsSizes) {
    EXPECT_EQ(CleanupItem::format(1023), "1023 B");
    EXPECT_EQ(CleanupItem::format(1024), "1 KB");
    EXPECT_EQ(CleanupItem::format(1048575), "1024 KB");
    EXPECT_EQ(CleanupItem::format(1048576), "1.0 MB");
    EXPECT_EQ(CleanupItem::format(1073741824), "1.00 GB");
}

TEST(DiskCleanSettings, TargetsReadTheirDefaultsUnlessABoolIsStored) {
    UserDefaults store{QString()};
    DiskCleanSettings settings(store);
    EXPECT_TRUE(settings.isEnabled("npm Cache", true));
    EXPECT_FALSE(settings.isEnabled("Xcode Archives", false));
    store.set("diskCleanTargets", QJsonObject{{"npm Cache", "no"}, {"Gone Row", false}});
    EXPECT_TRUE(settings.isEnabled("npm Cache", true));
    settings.setEnabled("Xcode Archives", true);
    EXPECT_TRUE(settings.isEnabled("Xcode Archives", false));
    EXPECT_EQ(store.dictionary("diskCleanTargets")->size(), 3);  // the stale entry stays

    UserDefaults empty{QString()};
    DiskCleanSettings fresh(empty);
    fresh.setEnabled("Xcode Archives", true);
    EXPECT_EQ(*empty.dictionary("diskCleanTargets"), (QJsonObject{{"Xcode Archives", true}}));
}

TEST(HomeGuard, ComparesNormalisedPaths) {
    QTemporaryDir dir;
    const QString home = dir.path() + "/me";
    QDir().mkpath(home + "/a");
    QDir().mkpath(dir.path() + "/meme/x");
    QDir().mkpath(dir.path() + "/elsewhere");
    ASSERT_TRUE(QFile::link(dir.path() + "/elsewhere", home + "/out"));
    ASSERT_TRUE(QFile::link(home, dir.path() + "/home-link"));
    const HomeGuard guard(home, {home + "/.local/share/Trash"});

    EXPECT_EQ(guard.admit(home + "/a/"), home + "/a");
    EXPECT_EQ(guard.admit(home + "/a/../b/./c"), home + "/b/c");
    EXPECT_EQ(guard.admit(dir.path() + "/home-link/a"), home + "/a");  // reached through a link to home
    EXPECT_EQ(guard.admit(home + "/out"), home + "/out");              // the link itself lies inside
    for (const QString& refused :
         {home, home + "/", home + "/.", home + "/a/..", dir.path() + "/meme/x", home + "/../meme/x",
          home + "/out/file", home + "/.local/share/Trash", home + "/.local/share/Trash/files/x",
          home + "/mnt/.Trash-1000/files/x", QString("relative/a"), QString()})
        EXPECT_TRUE(guard.admit(refused).isEmpty()) << qPrintable(refused);
}

TEST_F(DiskCleanFixture, CatalogueRowsAreListedFromAMebibyteOnWithTheFoldersThatExist) {
    ASSERT_TRUE(allocateFile(home + "/.npm/_cacache/blob", 1048576 - block));
    ASSERT_TRUE(allocateFile(home + "/.cargo/registry/cache/crate", 1048576));
    ASSERT_TRUE(allocateFile(home + "/.composer/cache/a", 600 * 1024));  // only the second path
    ASSERT_TRUE(allocateFile(home + "/.cache/composer/b", 600 * 1024));  // and the Linux one
    ASSERT_TRUE(allocateFile(home + "/.m2/repository/big", 8 << 20));    // off by default
    ASSERT_TRUE(allocateFile(home + "/.cache/go-build/x/y", 3 << 20));
    if (FileTree::allocated(home + "/.cargo/registry/cache/crate") != 1048576) GTEST_SKIP() << "odd block sizes";
    make();
    scanAndWait();
    const auto items = listed();
    EXPECT_FALSE(items.contains("npm Cache"));
    EXPECT_EQ(items.value("Cargo Registry Cache"), 1048576);
    EXPECT_FALSE(items.contains("Maven Repository"));
    ASSERT_TRUE(item("Composer Cache"));
    EXPECT_EQ(item("Composer Cache")->paths, (QStringList{home + "/.composer/cache", home + "/.cache/composer"}));
    EXPECT_EQ(item("Composer Cache")->itemCount, 2);
    EXPECT_EQ(items.value("Go Build Cache"), 3 << 20);
    EXPECT_FALSE(items.contains("go-build"));  // claimed, so never a per-app cache

    settings.setEnabled("Maven Repository", true);
    settings.setEnabled("Cargo Registry Cache", false);
    scanAndWait();
    EXPECT_TRUE(listed().contains("Maven Repository"));
    EXPECT_FALSE(listed().contains("Cargo Registry Cache"));
}

TEST_F(DiskCleanFixture, PerAppCachesFromFiftyMillionBytesInListingOrderAndNeverClaimedOrProtectedOnes) {
    const qint64 below = 12207 * block, above = 12208 * block;  // 49,999,872 and 50,003,968
    ASSERT_TRUE(allocateFile(home + "/.cache/small/x", below));
    ASSERT_TRUE(allocateFile(home + "/.cache/app-one/x", above));
    ASSERT_TRUE(allocateFile(home + "/.cache/app-two/x", above));
    ASSERT_TRUE(allocateFile(home + "/.cache/Homebrew/x", above));          // claimed by a row
    ASSERT_TRUE(allocateFile(home + "/.cache/com.apple.Safari.web/x", above));  // protected
    ASSERT_TRUE(allocateFile(home + "/.cache/com.apple.safari/x", above));
    ASSERT_TRUE(allocateFile(home + "/.cache/.hidden/x", above));
    ASSERT_TRUE(allocateFile(home + "/.cache/plain-file", above));
    ASSERT_TRUE(allocateFile(home + "/.gradle/caches/x", 200 << 20));
    // A file in many pieces takes a block more for its extent tree, enough to lift it over the line.
    if (FileTree::allocated(home + "/.cache/small/x") != below) GTEST_SKIP() << "odd block sizes";
    settings.setEnabled("Homebrew Downloads", false);
    make();
    scanAndWait();

    ASSERT_FALSE(scanner->groups().isEmpty());
    EXPECT_EQ(scanner->groups().first().category, CleanupCategory::applications);  // before the larger development
    QStringList names;
    for (const CleanupItem& i : scanner->groups().first().items) names << i.name;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QStringList{"app-one", "app-two", "com.apple.safari"}));
    // Equal sizes keep the listing order.
    const QStringList listing = QDir(home + "/.cache").entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList expected;
    for (const QString& n : listing)
        if (names.contains(n)) expected << n;
    QStringList got;
    for (const CleanupItem& i : scanner->groups().first().items) got << i.name;
    EXPECT_EQ(got, expected);
    qint64 counted = 0;
    for (const char* path :
         {"/.cache/app-one/x", "/.cache/app-two/x", "/.cache/com.apple.safari/x", "/.gradle/caches/x"})
        counted += FileTree::allocated(home + path);
    EXPECT_GE(counted, 3 * above + (200 << 20));
    EXPECT_EQ(scanner->reclaimable(), double(counted));

    settings.setEnabled("Per-app caches", false);
    scanAndWait();
    EXPECT_EQ(scanner->groups().first().category, CleanupCategory::development);
}

TEST_F(DiskCleanFixture, CustomTargetsInsideHomeWithAnyAllocatedByte) {
    ASSERT_TRUE(allocateFile(home + "/empties/a", 0));
    ASSERT_TRUE(allocateFile(home + "/empties/b", 0));
    ASSERT_TRUE(allocateFile(home + "/stuff/a", 10));
    ASSERT_TRUE(allocateFile(dir.path() + "/outside/a", 1 << 20));
    settings.customTargets.set({home + "/empties", home + "/x/../stuff/", dir.path() + "/outside", home,
                                home + "/missing"});
    make();
    EXPECT_EQ(scanner->customTargets(), (QStringList{home + "/empties", home + "/stuff", home + "/missing"}));
    scanAndWait();
    ASSERT_EQ(scanner->groups().size(), 1);
    ASSERT_EQ(scanner->groups().first().items.size(), 1);
    const CleanupItem& stuff = scanner->groups().first().items.first();
    EXPECT_EQ(stuff.name, "stuff");
    EXPECT_EQ(stuff.category, CleanupCategory::custom);
    EXPECT_EQ(stuff.consequence, CleanupCatalog::customConsequence);
}

TEST_F(DiskCleanFixture, ScanStartsOnceShowsProgressAndIsKeptAcrossLaunches) {
    ASSERT_TRUE(allocateFile(home + "/.gradle/caches/x", 2 << 20));
    ASSERT_TRUE(allocateFile(home + "/Saved Things/y", 4096));
    settings.customTargets.set({home + "/Saved Things"});
    make();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    QStringList paths;
    int starts = 0;
    QObject::connect(scanner.get(), &DiskCleanScanner::currentPathChanged, [&] {
        if (!scanner->currentPath().isEmpty()) paths << scanner->currentPath();
    });
    QObject::connect(scanner.get(), &DiskCleanScanner::stateChanged, [&] {
        starts += scanner->state().phase == Phase::scanning;
    });
    scanner->scan();
    scanner->scan();
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    TestSupport::spin(50);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(paths, (QStringList{home + "/.gradle/caches", home + "/Saved Things"}));
    EXPECT_TRUE(scanner->currentPath().isEmpty());
    const QDateTime date = scanner->state().date;

    // The file, written on the queue: a compact object with file URLs; a new scanner shows it again.
    scanner->waitUntilIdle();
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains('\n'));
    // Keys in their stored order: the date first, then the groups, each item's six keys as listed.
    EXPECT_TRUE(bytes.startsWith("{\"scannedAt\":")) << bytes.constData();
    EXPECT_TRUE(QRegularExpression(R"(\{"category":"\w+","items":\[\{"name":"[^"]*","paths":\[[^\]]*\],)"
                                   R"("bytes":[\d.e+]+,"itemCount":\d+,"category":"\w+","consequence":")")
                    .match(QString::fromUtf8(bytes))
                    .hasMatch())
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("file://" + QUrl::toPercentEncoding(home, "/") + "/Saved%20Things")) << bytes.constData();
    make();
    EXPECT_EQ(scanner->state().phase, Phase::complete);
    EXPECT_LE(std::abs(scanner->state().date.msecsTo(date)), 1);
    EXPECT_EQ(listed().value("Gradle Cache"), 2 << 20);

    // Items whose folders are gone are dropped; with none left the scanner is idle.
    QDir(home + "/.gradle").removeRecursively();
    make();
    EXPECT_EQ(listed().keys(), QStringList{"Saved Things"});
    QDir(home + "/Saved Things").removeRecursively();
    make();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
    EXPECT_TRUE(scanner->groups().isEmpty());
}

TEST_F(DiskCleanFixture, RestoreRefusesDamagedFilesAndPathsTheGuardRefuses) {
    QDir().mkpath(home + "/kept");
    QDir().mkpath(dir.path() + "/outside");
    auto itemJson = [](const QString& path, const QString& category) {
        return QJsonObject{{"name", "n"},        {"paths", QJsonArray{QUrl::fromLocalFile(path).toString()}},
                           {"bytes", 5e6},       {"itemCount", 3},
                           {"category", category}, {"consequence", "c"}};
    };
    auto write = [&](const QJsonArray& items, const QString& category) {
        QDir().mkpath(QFileInfo(storePath()).absolutePath());
        QFile f(storePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(QJsonObject{{"scannedAt", 700000000.5},
                                          {"groups", QJsonArray{QJsonObject{{"category", category}, {"items", items}}}}})
                    .toJson());
    };
    write({itemJson(home + "/kept", "Custom"), itemJson(dir.path() + "/outside", "Custom"),
           itemJson(home + "/kept/../../user", "Custom")},
          "Custom");
    make();
    ASSERT_EQ(scanner->state().phase, Phase::complete);
    EXPECT_EQ(scanner->state().date, QDateTime::fromMSecsSinceEpoch((978307200 + 700000000) * 1000ll + 500, QTimeZone::utc()));
    ASSERT_EQ(scanner->groups().size(), 1);
    ASSERT_EQ(scanner->groups().first().items.size(), 1);
    EXPECT_EQ(scanner->groups().first().items.first().paths, QStringList{home + "/kept"});

    write({itemJson(home + "/kept", "Temporary")}, "Custom");
    make();
    EXPECT_EQ(scanner->state().phase, Phase::idle);
}

TEST_F(DiskCleanFixture, TrashMovesEachPathReportsPartialMovesRescansAndRefusesWithACompletion) {
    ASSERT_TRUE(allocateFile(home + "/.composer/cache/a", 2 << 20));
    ASSERT_TRUE(allocateFile(home + "/.cache/composer/b", 2 << 20));
    ASSERT_TRUE(allocateFile(home + "/.gradle/caches/c", 2 << 20));
    make();
    scanAndWait();
    ASSERT_TRUE(item("Composer Cache") && item("Gradle Cache"));
    CleanupItem composer = *item("Composer Cache");
    const CleanupItem gradle = *item("Gradle Cache");

    // One of the two folders is gone meanwhile: the other still moves, and says so.
    QDir(home + "/.composer/cache").removeRecursively();
    std::optional<DiskCleanScanner::TrashReport> report;
    bool rescanned = false;
    QObject::connect(scanner.get(), &DiskCleanScanner::stateChanged, [&] {
        rescanned |= scanner->state().phase == Phase::scanning;
    });
    scanner->moveToTrash(composer, [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_TRUE(report->partial());
    EXPECT_FALSE(report->succeeded());
    EXPECT_EQ(report->failures.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(trash.homeTrash() + "/files/composer/b"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return rescanned && scanner->state().phase == Phase::complete; }, 20000));
    EXPECT_FALSE(item("Composer Cache"));

    // A path outside home refuses the whole item, moves nothing, and still answers.
    CleanupItem mixed = gradle;
    mixed.paths << dir.path() + "/elsewhere";
    report.reset();
    rescanned = false;
    scanner->moveToTrash(mixed, [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_EQ(report->moved, 0);
    EXPECT_FALSE(report->succeeded());
    EXPECT_TRUE(QFileInfo::exists(home + "/.gradle/caches/c"));
    TestSupport::spin(100);
    EXPECT_FALSE(rescanned);

    report.reset();
    scanner->moveToTrash(gradle, [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_TRUE(report->succeeded());
    EXPECT_FALSE(QFileInfo::exists(home + "/.gradle/caches"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete && !item("Gradle Cache"); }, 20000));
}

// A cache folder whose name is not UTF-8 is measured, kept and moved as its own bytes, never as the
// look-alike beside it whose name holds a real U+FFFD.
TEST_F(DiskCleanFixture, ANameThatIsNotUtf8IsMeasuredKeptAndMovedAsItsOwnBytes) {
    const QByteArray caches = FileTree::native(home + "/.cache");
    const QByteArray notUtf8 = caches + "/app\xff";
    const QByteArray lookAlike = caches + "/app\xef\xbf\xbd";
    ASSERT_TRUE(FileTree::allocateBytes(notUtf8 + "/x", 60 << 20));
    ASSERT_TRUE(FileTree::allocateBytes(lookAlike + "/x", block));
    make();
    scanAndWait();
    const QString shown = "app" + QString(QChar::ReplacementCharacter);
    ASSERT_EQ(listed().keys(), QStringList{shown});
    ASSERT_EQ(item(shown)->paths.size(), 1);
    EXPECT_EQ(NativePath::encode(item(shown)->paths.first()), notUtf8);
    EXPECT_GE(item(shown)->bytes, 60 << 20);

    scanner->waitUntilIdle();
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("/app%FF\""));
    make();
    ASSERT_TRUE(item(shown));
    EXPECT_EQ(NativePath::encode(item(shown)->paths.first()), notUtf8);

    std::optional<DiskCleanScanner::TrashReport> report;
    scanner->moveToTrash(*item(shown), [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_TRUE(report->succeeded()) << qPrintable(report->failures.join("; "));
    EXPECT_FALSE(FileTree::existsBytes(notUtf8));
    EXPECT_TRUE(FileTree::existsBytes(lookAlike + "/x"));
    const QByteArray info = FileTree::readBytes(FileTree::native(trash.homeTrash()) + "/info/app\xff.trashinfo");
    EXPECT_TRUE(info.contains("\nPath=" + notUtf8.toPercentEncoding("/") + "\n"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    scanner->waitUntilIdle();
}

// A home on a hung mount would freeze the program: the saved result, the custom folders and
// every path check are looked at off the GUI thread, on launch, scan and move alike.
TEST_F(DiskCleanFixture, NeverLooksAtTheFileSystemOnTheGuiThread) {
    ASSERT_TRUE(allocateFile(home + "/.gradle/caches/x", 2 << 20));
    ASSERT_TRUE(allocateFile(home + "/Saved Things/y", 4096));
    settings.customTargets.set({home + "/Saved Things", home + "/x/../Saved Things"});
    make();
    scanAndWait();
    scanner.reset();  // the result is written on the queue, before it ends

    TestSupport::ThreadLedger ledger;
    auto note = [&ledger](const char* what) { ledger.note(what); };
    const QMap<QString, int>& onGui = ledger.onGui;
    const QMap<QString, int>& off = ledger.off;
    const auto real = DiskCleanScanner::FileProbe::real();
    DiskCleanScanner::FileProbe watched{
        [&note, real](const HomeGuard& guard, const QString& path) { note("admit"); return real.admit(guard, path); },
        [&note, real](const QString& path) { note("exists"); return real.exists(path); },
        [&note, real](const QString& path) { note("read"); return real.read(path); }};
    make(watched);
    EXPECT_EQ(scanner->state().phase, Phase::complete);
    EXPECT_EQ(listed().keys(), (QStringList{"Gradle Cache", "Saved Things"}));

    scanAndWait();
    EXPECT_EQ(listed().value("Saved Things"), 4096);
    std::optional<DiskCleanScanner::TrashReport> report;
    CleanupItem outside = *item("Saved Things");
    outside.paths = {dir.path() + "/elsewhere"};
    scanner->moveToTrash(outside, [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_EQ(report->moved, 0);
    report.reset();
    scanner->moveToTrash(*item("Saved Things"), [&](const DiskCleanScanner::TrashReport& r) { report = r; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return report.has_value(); }));
    EXPECT_TRUE(report->succeeded());
    ASSERT_TRUE(TestSupport::waitFor([&] { return scanner->state().phase == Phase::complete; }, 20000));
    scanner->waitUntilIdle();

    EXPECT_TRUE(onGui.isEmpty()) << qPrintable(QStringList(onGui.keys()).join(", "));
    EXPECT_EQ(off.keys(), (QStringList{"admit", "exists", "read"}));
    scanner.reset();  // before the counts go
}

}  // namespace
