#include "DiskPaneTestSupport.h"
#include "FakeWorkspace.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Views/DiskPane/CleanupDetailView.h"
#include "Views/DiskPane/CleanupItemRow.h"
#include "Views/DiskPane/DiskCapacityContent.h"
#include "Views/DiskPane/DiskCleanupContent.h"
#include "Views/DiskPane/DiskScanContent.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/DiskPane/UsageRow.h"
#include "Views/DiskPane/VolumeUsageBrowser.h"
#include "Views/Shared/SymbolButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using TestSupport::noteShowing;

using Label = DiskScanContent::Label;
using Tone = DiskScanContent::Label::Tone;
using CleanPhase = DiskCleanScanner::Phase;
using VolumePhase = VolumeUsageScanner::Phase;

QStringList texts(const Label& label) {
    QStringList out;
    for (const Label::Text& t : label.texts) out << t.text;
    return out;
}

// Entries in the rig's Trash ("files" and "info" both, as the desktop's Trash keeps them).
QStringList trashed(DiskRig& rig) {
    QStringList names;
    QDirIterator it(rig.trash().homeTrash() + "/files", QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        if (QFile::exists(rig.trash().homeTrash() + "/info/" + it.fileName() + ".trashinfo")) names << it.fileName();
    }
    return names;
}

struct DiskViews : ::testing::Test {
    DiskRig rig;
    FakeWorkspace workspace;
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        Workspace::setShared(&workspace);
    }
    void TearDown() override { Workspace::setShared(nullptr); }

    // Two development items (one of two folders) and a custom one, as the last saved scan.
    void saveResults() {
        const QString npm = rig.folder(".npm/_cacache", 2 << 20);
        const QString yarnA = rig.folder(".cache/yarn", 1 << 20);
        const QString yarnB = rig.folder(".yarn/cache", 1 << 20);
        const QString builds = rig.folder("builds", 1 << 20);
        rig.saveScan({{CleanupCategory::development,
                       {DiskRig::item("npm Cache", {npm}, 2 << 20, CleanupCategory::development),
                        DiskRig::item("Yarn Cache", {yarnA, yarnB}, 2 << 20, CleanupCategory::development)}},
                      {CleanupCategory::custom, {DiskRig::item("builds", {builds}, 1 << 20, CleanupCategory::custom)}}});
        rig.settings().customTargets.set({builds});
    }
    CleanupItemRow* row(DiskCleanupContent& content, const QString& name) {
        for (CleanupItemRow* r : content.itemRows())
            if (r->item().name == name) return r;
        return nullptr;
    }
    void waitForScan() {
        ASSERT_TRUE(TestSupport::waitFor([&] { return rig.cleaner().state().phase == CleanPhase::complete; }, 20000));
    }
};

TEST(DiskScanLabels, ReclaimableScanInEachState) {
    const QString home = "/home/ann";
    const Label idle = DiskScanContent::cleanupLabel({CleanPhase::idle, {}}, {}, 0, home);
    EXPECT_EQ(idle.symbol, "magnifyingglass");
    EXPECT_EQ(texts(idle), QStringList{"Scan for reclaimable space"});

    const Label starting = DiskScanContent::cleanupLabel({CleanPhase::scanning, {}}, {}, 0, home);
    EXPECT_TRUE(starting.spinner);
    EXPECT_EQ(texts(starting), QStringList{QStringLiteral("Scanning\u2026")});
    const Label measuring = DiskScanContent::cleanupLabel({CleanPhase::scanning, {}}, "/home/ann/.cache/go-build", 0, home);
    EXPECT_EQ(texts(measuring), QStringList{"~/.cache/go-build"});
    EXPECT_TRUE(measuring.texts[0].elides);

    const QDateTime at = QDateTime::currentDateTimeUtc();
    const Label found = DiskScanContent::cleanupLabel({CleanPhase::complete, at}, {}, 3.5 * 1073741824.0, home);
    EXPECT_EQ(found.symbol, "checkmark.circle.fill");
    EXPECT_TRUE(found.symbolGreen);
    EXPECT_EQ(texts(found), (QStringList{"Scan Complete", QStringLiteral("\u00B7"), "3.50 GB"}));
    EXPECT_EQ(found.texts[0].tone, Tone::green);
    EXPECT_EQ(found.texts[1].tone, Tone::tertiary);
    const Label nothing = DiskScanContent::cleanupLabel({CleanPhase::complete, at}, {}, 0, home);
    EXPECT_EQ(texts(nothing), (QStringList{"Nothing to reclaim", QStringLiteral("\u00B7"), "0 B"}));
    EXPECT_EQ(nothing.texts[0].tone, Tone::secondary);
}

TEST(DiskScanLabels, WholeVolumeScanInEachState) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    EXPECT_EQ(texts(DiskScanContent::volumeLabel({VolumePhase::idle, {}, {}}, std::nullopt, now)),
              QStringList{"Scan the whole volume"});
    const Label walking = DiskScanContent::volumeLabel({VolumePhase::scanning, "/usr", {}}, std::nullopt, now);
    EXPECT_TRUE(walking.spinner);
    EXPECT_EQ(texts(walking), (QStringList{"/usr", QStringLiteral("\u00B7"), "Stop"}));
    EXPECT_EQ(walking.texts[2].tone, Tone::secondary);

    const UsageNode root{"Macintosh HD", "/", 1.5 * 1073741824.0, true, {}};
    const Label done = DiskScanContent::volumeLabel({VolumePhase::complete, {}, now.addSecs(-125 * 60)}, root, now);
    EXPECT_EQ(done.symbol, "arrow.clockwise");
    EXPECT_EQ(texts(done), (QStringList{"1.50 GB", QStringLiteral("\u00B7"), "scanned 2 hr, 5 min ago"}));
    // A result without a tree shows "--".
    EXPECT_EQ(DiskScanContent::volumeLabel({VolumePhase::complete, {}, now}, std::nullopt, now).texts[0].text, "--");

    EXPECT_EQ(DiskScanContent::relativeText(now.addSecs(-7), now), "7 sec");
    EXPECT_EQ(DiskScanContent::relativeText(now.addSecs(-59 * 60 - 59), now), "59 min");
    EXPECT_EQ(DiskScanContent::relativeText(now.addSecs(-3 * 3600), now), "3 hr");
    EXPECT_EQ(DiskScanContent::relativeText(now.addSecs(-26 * 3600), now), "1 day, 2 hr");
    EXPECT_EQ(DiskScanContent::relativeText(now.addSecs(30), now), "0 sec");  // a date ahead of the clock
}

TEST_F(DiskViews, ScanButtonFollowsTheModeAndTheScanners) {
    FileTree::allocateFile(rig.volumeRoot() + "/a/big", 25'000'000);
    DiskScanContent content(rig.cleaner(), rig.volume(), rig.model());
    content.resize(336, 38);
    content.show();
    EXPECT_FALSE(content.showsVolumeButton());
    EXPECT_EQ(texts(content.label()), QStringList{"Scan for reclaimable space"});

    // The reclaimable scan: the button turns it on and stays disabled while it runs.
    QTest::mouseClick(content.button(), Qt::LeftButton);
    EXPECT_EQ(rig.cleaner().state().phase, CleanPhase::scanning);
    EXPECT_FALSE(content.button()->isEnabled());
    // The other mode swaps the button at once; the running scan shows again on the way back.
    rig.model().setMode(DiskPaneModel::Mode::everything);
    EXPECT_TRUE(content.showsVolumeButton());
    EXPECT_TRUE(content.button()->isEnabled());
    EXPECT_EQ(texts(content.label()), QStringList{"Scan the whole volume"});
    rig.model().setMode(DiskPaneModel::Mode::reclaimable);
    EXPECT_TRUE(content.label().spinner);
    waitForScan();
    EXPECT_TRUE(content.button()->isEnabled());
    EXPECT_EQ(content.label().texts[0].text, "Nothing to reclaim");

    // The volume walk: a click starts it, the button stays enabled, a second click stops it.
    rig.model().setMode(DiskPaneModel::Mode::everything);
    QTest::mouseClick(content.button(), Qt::LeftButton);
    EXPECT_EQ(rig.volume().state().phase, VolumePhase::scanning);
    EXPECT_TRUE(content.button()->isEnabled());
    EXPECT_EQ(content.label().texts.last().text, "Stop");
    QTest::mouseClick(content.button(), Qt::LeftButton);
    EXPECT_EQ(rig.volume().state().phase, VolumePhase::idle);  // stopped during a first walk
    rig.volume().waitUntilIdle();
    QTest::mouseClick(content.button(), Qt::LeftButton);
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.volume().state().phase == VolumePhase::complete; }, 20000));
    EXPECT_EQ(content.label().symbol, "arrow.clockwise");
    EXPECT_EQ(content.label().texts[0].text, CleanupItem::format(rig.volume().root()->bytes));
}

TEST_F(DiskViews, CapacityShowsTheReadingOrDashes) {
    rig.capacity = SystemStats::DiskCapacity{1000, 796, 204};
    DiskCapacityContent content(rig.model());
    content.resize(312, 132);
    content.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.model().capacity().has_value(); }));
    EXPECT_EQ(DiskCapacityContent::percentText(79.6), "80%");
    EXPECT_EQ(rig.model().ringTint(), DiskPaneModel::RingTint::green);
    EXPECT_TRUE(content.isRefreshing());
    // The first showing sweeps from empty.
    EXPECT_LT(content.shownSweep(), 0.79);
    ASSERT_TRUE(TestSupport::waitFor([&] { return std::abs(content.shownSweep() - 0.796) < 0.001; }));

    rig.capacity.reset();
    rig.model().readCapacity(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !rig.model().isReading(); }));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(content.figureText(i), "--");
    EXPECT_EQ(DiskCapacityContent::percentText(DiskPaneModel::usedPercent(std::nullopt)), "0%");
    content.hide();
    EXPECT_FALSE(content.isRefreshing());
}

TEST_F(DiskViews, TrashRowArmsThenMovesTheItemForReal) {
    saveResults();
    rig.model().toggleExpanded(CleanupCategory::development);
    DiskCleanupContent content(rig.model(), rig.cleaner(), rig.volume());
    content.resize(336, 378);
    content.show();
    CleanupItemRow* yarn = row(content, "Yarn Cache");
    ASSERT_TRUE(yarn && yarn->isVisible());
    EXPECT_FALSE(row(content, "builds")->isVisible());  // a closed group

    QTest::mouseClick(yarn->trashButton(), Qt::LeftButton);
    EXPECT_TRUE(yarn->isArmed());
    EXPECT_EQ(yarn->trashButton()->toolTip(), "Click again to move to Trash");
    EXPECT_EQ(rig.model().inspecting(), std::nullopt);  // the trash button opens no detail
    QList<CleanPhase> phases;
    QObject::connect(&rig.cleaner(), &DiskCleanScanner::stateChanged, &content,
                     [&] { phases << rig.cleaner().state().phase; });
    QTest::mouseClick(yarn->trashButton(), Qt::LeftButton);
    EXPECT_FALSE(yarn->isArmed());  // at once; the row stays until the rescan
    EXPECT_EQ(row(content, "Yarn Cache"), yarn);
    ASSERT_TRUE(TestSupport::waitFor([&] { return phases == QList<CleanPhase>{CleanPhase::scanning, CleanPhase::complete}; },
                                     20000));
    EXPECT_EQ(row(content, "Yarn Cache"), nullptr);
    // Both of its folders are in the Trash, not deleted.
    EXPECT_FALSE(QFileInfo::exists(rig.home() + "/.cache/yarn"));
    EXPECT_FALSE(QFileInfo::exists(rig.home() + "/.yarn/cache"));
    EXPECT_EQ(trashed(rig).size(), 2);
}

TEST_F(DiskViews, AnArmedRowDisarmsAfterThreeSeconds) {
    saveResults();
    rig.model().toggleExpanded(CleanupCategory::development);
    DiskCleanupContent content(rig.model(), rig.cleaner(), rig.volume());
    content.resize(336, 378);
    content.show();
    CleanupItemRow* npm = row(content, "npm Cache");
    QTest::mouseClick(npm->trashButton(), Qt::LeftButton);
    TestSupport::spin(2500);
    EXPECT_TRUE(npm->isArmed());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !npm->isArmed(); }, 1500));
    EXPECT_EQ(npm->trashButton()->toolTip(), "Move to Trash");
    // A later click arms again rather than moving anything.
    QTest::mouseClick(npm->trashButton(), Qt::LeftButton);
    EXPECT_TRUE(npm->isArmed());
    EXPECT_EQ(rig.cleaner().state().phase, CleanPhase::complete);
    EXPECT_TRUE(trashed(rig).isEmpty());
}

TEST_F(DiskViews, ListGroupsEmptyStatesAndDetails) {
    DiskCleanupContent content(rig.model(), rig.cleaner(), rig.volume());
    content.resize(336, 378);
    content.show();
    EXPECT_EQ(content.content(), DiskCleanupContent::Content::empty);
    EXPECT_EQ(content.emptyText(), "Run a scan to see what can be freed");
    rig.cleaner().scan();
    EXPECT_TRUE(content.spinner()->isVisible());
    waitForScan();
    EXPECT_FALSE(content.spinner()->isVisible());
    EXPECT_EQ(content.emptyText(), "Nothing left to reclaim");

    // A result: groups closed until opened; the totals add their items up.
    rig.folder(".npm/_cacache", 3 << 20);
    rig.folder(".gradle/caches", 2 << 20);
    rig.cleaner().scan();
    waitForScan();
    ASSERT_EQ(content.content(), DiskCleanupContent::Content::list);
    EXPECT_EQ(content.categoryTotalText(CleanupCategory::development), "5.0 MB");
    EXPECT_FALSE(row(content, "npm Cache")->isVisible());
    QTest::mouseClick(content.categoryRow(CleanupCategory::development), Qt::LeftButton);
    EXPECT_TRUE(rig.model().isExpanded(CleanupCategory::development));
    EXPECT_TRUE(row(content, "npm Cache")->isVisible());
    // The group's total follows a rescan on the same row.
    QAbstractButton* development = content.categoryRow(CleanupCategory::development);
    rig.folder(".gradle/caches/more", 4 << 20);
    rig.cleaner().scan();
    waitForScan();
    EXPECT_EQ(content.categoryRow(CleanupCategory::development), development);
    EXPECT_EQ(content.categoryTotalText(CleanupCategory::development), "9.0 MB");

    // The other mode shows the browser; the open group is still open on the way back, and in a new view.
    rig.model().setMode(DiskPaneModel::Mode::everything);
    EXPECT_EQ(content.content(), DiskCleanupContent::Content::browser);
    rig.model().setMode(DiskPaneModel::Mode::reclaimable);
    DiskCleanupContent again(rig.model(), rig.cleaner(), rig.volume());
    again.resize(336, 378);
    again.show();
    EXPECT_TRUE(row(again, "npm Cache")->isVisible());

    // Nothing in the list paints as opaque: on a window without a compositor, a filled scroll area
    // content would be repainted alone and leave the rows a closed group hides.
    int filledAreas = 0;
    for (QScrollArea* area : again.findChildren<QScrollArea*>()) {
        if (!area->widget()) continue;  // the browser before any walk
        ++filledAreas;
        EXPECT_FALSE(area->widget()->autoFillBackground());
    }
    EXPECT_GE(filledAreas, 1);

    // A click on a row's name opens its detail.
    CleanupItemRow* npm = row(again, "npm Cache");
    QTest::mouseClick(npm, Qt::LeftButton, {}, QPoint(60, npm->height() / 2));
    ASSERT_TRUE(rig.model().inspecting());
    EXPECT_EQ(rig.model().inspecting()->name, "npm Cache");
}

TEST_F(DiskViews, DetailShowsPathsRevealsAndMovesInOneClick) {
    saveResults();
    const QString yarnA = rig.home() + "/.cache/yarn";
    CleanupItem yarn;
    for (const CleanupGroup& g : rig.cleaner().groups())
        for (const CleanupItem& i : g.items)
            if (i.name == "Yarn Cache") yarn = i;
    ASSERT_EQ(yarn.paths.size(), 2);

    CleanupDetailView main(yarn, CleanupDetailView::Part::main, {}, rig.cleaner());
    EXPECT_EQ(main.locationLabel()->text(), DiskPaneModel::displayPath(yarnA, DiskPaneModel::homePath()));
    EXPECT_EQ(main.pathLabels().size(), 2);
    EXPECT_TRUE(main.locationLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(main.consequenceLabel()->wordWrap());
    CleanupItem single = yarn;
    single.paths = {yarnA};
    EXPECT_TRUE(CleanupDetailView(single, CleanupDetailView::Part::main, {}, rig.cleaner()).pathLabels().isEmpty());
    EXPECT_EQ(CleanupDetailView::location(CleanupItem{}, "/home/ann"), "--");
    EXPECT_EQ(CleanupDetailView::location(single, rig.home()), "~/.cache/yarn");

    int backs = 0;
    CleanupDetailView actions(yarn, CleanupDetailView::Part::actions, [&] { ++backs; }, rig.cleaner());
    QTest::mouseClick(actions.showButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.revealed, QStringList{yarnA});  // the first path only
    EXPECT_EQ(noteShowing(yarnA), nullptr);
    // No file manager answers: a note says so and offers the path to copy.
    workspace.revealShows = false;
    QTest::mouseClick(actions.showButton(), Qt::LeftButton);
    QMessageBox* note = noteShowing(yarnA);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->windowTitle(), "Show in Finder");
    const QList<QAbstractButton*> buttons = note->buttons();
    EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(), [](QAbstractButton* b) { return b->text() == "Copy Path"; }));
    note->close();
    workspace.revealShows = true;
    workspace.revealed.removeLast();
    CleanupDetailView pathless(CleanupItem{}, CleanupDetailView::Part::actions, [] {}, rig.cleaner());
    QTest::mouseClick(pathless.showButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.revealed.size(), 1);

    QTest::mouseClick(actions.trashButton(), Qt::LeftButton);
    EXPECT_EQ(backs, 1);  // closes at once
    ASSERT_TRUE(TestSupport::waitFor([&] { return trashed(rig).size() == 2; }, 10000));
    waitForScan();
}

TEST_F(DiskViews, MonitorTabHostsTheDetailOfTheInspectedItem) {
    saveResults();
    MonitorDiskTab tab(rig.model(), rig.cleaner(), rig.volume());
    QSignalSpy changes(&tab, &MonitorDiskTab::inspectedItemChanged);
    EXPECT_EQ(tab.inspectedItemID(), std::nullopt);
    const CleanupItem item = rig.cleaner().groups().first().items.first();
    rig.model().setInspecting(item);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(tab.inspectedItemID(), item.id.toString(QUuid::WithoutBraces).toUpper());
    QWidget host;
    std::unique_ptr<QWidget> piece(tab.makeDetail(MonitorDiskTab::DetailPart::navigation, [] {}, &host));
    auto* detail = qobject_cast<CleanupDetailView*>(piece.get());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->item().id, item.id);
    tab.clearInspectedItem();
    EXPECT_EQ(rig.model().inspecting(), std::nullopt);
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(DiskViews, BrowserWalksDownAndUpTheTree) {
    VolumeUsageBrowser browser(rig.volume(), rig.model());
    browser.resize(336, 337);
    browser.show();
    EXPECT_EQ(browser.content(), VolumeUsageBrowser::Content::empty);
    EXPECT_EQ(browser.emptyText(), "Scan the volume to see where the space went");
    EXPECT_FALSE(browser.breadcrumb()->isVisible());

    FileTree::allocateFile(rig.volumeRoot() + "/home/user/video.mkv", 60'000'000);
    FileTree::allocateFile(rig.volumeRoot() + "/home/user/small", 1'000'000);
    FileTree::allocateFile(rig.volumeRoot() + "/swapfile", 30'000'000);
    FileTree::allocateFile(rig.volumeRoot() + "/var/log/big.log", 25'000'000);
    QDir().mkpath(rig.volumeRoot() + "/locked");
    ::chmod(QFile::encodeName(rig.volumeRoot() + "/locked").constData(), 0);
    rig.volume().scan();
    EXPECT_EQ(browser.content(), VolumeUsageBrowser::Content::progress);
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.volume().state().phase == VolumePhase::complete; }, 20000));
    ::chmod(QFile::encodeName(rig.volumeRoot() + "/locked").constData(), 0700);
    ASSERT_EQ(browser.content(), VolumeUsageBrowser::Content::list);
    QList<UsageRow*> rows = browser.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->node().name, "home");
    const bool unreadable = rig.volume().unreadable() > 0;  // root reads every folder
    EXPECT_EQ(browser.note() != nullptr, unreadable);
    if (unreadable) {
        EXPECT_EQ(browser.note()->text(),
                  QStringLiteral("1 folders could not be read \u2014 grant Full Disk Access for a complete picture"));
    }
    EXPECT_EQ(VolumeUsageBrowser::unreadableNote(3),
              QStringLiteral("3 folders could not be read \u2014 grant Full Disk Access for a complete picture"));

    // A file row neither opens nor highlights; its bar is its share of the root.
    UsageRow* swap = rows[1]->node().name == "swapfile" ? rows[1] : rows[2];
    EXPECT_FALSE(swap->canOpen());
    QTest::mouseClick(swap, Qt::LeftButton);
    EXPECT_TRUE(rig.model().browseStack().isEmpty());
    EXPECT_NEAR(swap->barWidth(300), 300 * swap->node().bytes / rig.volume().root()->bytes, 1e-9);

    // Down into home, then user: the bar, the children and no note.
    QTest::mouseClick(rows[0], Qt::LeftButton);
    ASSERT_EQ(rig.model().browseStack().size(), 1);
    EXPECT_TRUE(browser.breadcrumb()->isVisible());
    EXPECT_EQ(browser.note(), nullptr);
    ASSERT_EQ(browser.rows().size(), 1);
    UsageRow* user = browser.rows()[0];
    EXPECT_DOUBLE_EQ(user->barWidth(300), 300.0);  // all of home
    QTest::mouseClick(user, Qt::LeftButton);
    ASSERT_EQ(browser.rows().size(), 1);
    EXPECT_EQ(browser.rows()[0]->node().name, "video.mkv");

    // A hovered row offers its reveal.
    UsageRow* video = browser.rows()[0];
    QTest::mouseMove(video, QPoint(40, 10));
    ASSERT_TRUE(TestSupport::waitFor([&] { return video->revealButton()->isVisible(); }, 2000));
    QTest::mouseClick(video->revealButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.revealed, QStringList{video->node().path});
    EXPECT_EQ(noteShowing(video->node().path), nullptr);
    // No file manager answers: a note says so and offers the path.
    workspace.revealShows = false;
    QTest::mouseClick(video->revealButton(), Qt::LeftButton);
    QMessageBox* note = noteShowing(video->node().path);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->windowTitle(), "Reveal in Finder");
    note->close();
    workspace.revealShows = true;

    QTest::mouseClick(browser.upButton(), Qt::LeftButton);
    QTest::mouseClick(browser.upButton(), Qt::LeftButton);
    EXPECT_TRUE(rig.model().browseStack().isEmpty());
    EXPECT_FALSE(browser.breadcrumb()->isVisible());
    EXPECT_EQ(browser.rows().size(), 3);

    // A rescan keeps the earlier list on screen.
    rig.volume().scan();
    EXPECT_EQ(browser.content(), VolumeUsageBrowser::Content::list);
    rig.volume().waitUntilIdle();
}

// The popup builds its views afresh at every opening, over the model's browse path: the bar stands
// clear of the rows however the browser came on screen, and a click where Up is drawn goes up.
TEST_F(DiskViews, ABrowserOpenedInsideAFolderKeepsItsBarClearOfTheRows) {
    const QString r = rig.volumeRoot();
    const UsageNode lib = DiskRig::node(
        r + "/usr/lib", 6e9, true,
        {DiskRig::node(r + "/usr/lib/x86_64", 5e9, true, {DiskRig::node(r + "/usr/lib/x86_64/libc.so", 4e9, false)})});
    const UsageNode usr = DiskRig::node(r + "/usr", 9.16e9, true, {lib, DiskRig::node(r + "/usr/bin", 3e9, false)});
    rig.saveVolume(DiskRig::node(r, 2e10, true, {usr, DiskRig::node(r + "/opt", 5e9, false)}), 0);
    ASSERT_TRUE(rig.volume().root().has_value());
    rig.model().setMode(DiskPaneModel::Mode::everything);

    std::unique_ptr<DiskCleanupContent> content;
    auto reopen = [&] {
        content.reset();
        content = std::make_unique<DiskCleanupContent>(rig.model(), rig.cleaner(), rig.volume());
        content->resize(336, 378);
        content->show();
        return QTest::qWaitForWindowExposed(content.get());
    };
    // A click at a point of the browser, through the window as the pointer gives it.
    auto clickAt = [&](QPoint inBrowser) {
        VolumeUsageBrowser* browser = content->browser();
        QTest::mouseClick(content->windowHandle(), Qt::LeftButton, {}, browser->mapTo(content.get(), inBrowser));
    };
    auto upCentre = [&] {
        QAbstractButton* up = content->browser()->upButton();
        return up->mapTo(content->browser(), up->rect().center());
    };
    auto path = [&] {
        QStringList names;
        for (const UsageNode& node : rig.model().browseStack()) names << node.name;
        return names.join('/').toStdString();
    };
    // The first row starts below the bar (at the top without one); Up is what lies under its middle.
    auto expectLaidOut = [&](const QString& where) {
        SCOPED_TRACE(where.toStdString());
        VolumeUsageBrowser* browser = content->browser();
        const bool inside = !rig.model().browseStack().isEmpty();
        ASSERT_EQ(browser->breadcrumb()->isVisible(), inside);
        ASSERT_FALSE(browser->rows().isEmpty());
        const int firstTop = browser->rows().first()->mapTo(browser, QPoint(0, 0)).y();
        if (inside) {
            EXPECT_GE(firstTop, browser->breadcrumb()->geometry().bottom() + 1);
            EXPECT_EQ(browser->childAt(upCentre()), browser->upButton());
        } else {
            EXPECT_LT(firstTop, browser->breadcrumb()->height());
        }
    };

    // The first visit opens usr with a click on its row.
    ASSERT_TRUE(reopen());
    expectLaidOut("first visit");
    clickAt(content->browser()->rows().first()->mapTo(content->browser(), QPoint(40, 10)));
    ASSERT_EQ(path(), "usr");
    expectLaidOut("opened usr");

    // Escape, then the gauge again: the same layout, and Up goes up.
    ASSERT_TRUE(reopen());
    EXPECT_EQ(content->browser()->rows().first()->node().name, "lib");
    expectLaidOut("reopened in usr");
    clickAt(upCentre());
    ASSERT_EQ(path(), "");
    expectLaidOut("up from usr");

    // Two levels deep.
    rig.model().pushBrowse(usr);
    rig.model().pushBrowse(lib);
    ASSERT_TRUE(reopen());
    expectLaidOut("reopened in lib");
    clickAt(upCentre());
    ASSERT_EQ(path(), "usr");
    expectLaidOut("up from lib");

    // Up, then Escape and the gauge again: the top level, no bar.
    clickAt(upCentre());
    ASSERT_TRUE(reopen());
    ASSERT_EQ(path(), "");
    expectLaidOut("reopened at the top");

    // Opened on the other tab, then switched to the browser.
    rig.model().pushBrowse(usr);
    rig.model().setMode(DiskPaneModel::Mode::reclaimable);
    ASSERT_TRUE(reopen());
    QWidget* picker = content->picker();
    QTest::mouseClick(content->windowHandle(), Qt::LeftButton, {},
                      picker->mapTo(content.get(), QPoint(picker->width() * 3 / 4, picker->height() / 2)));
    ASSERT_EQ(rig.model().mode(), DiskPaneModel::Mode::everything);
    expectLaidOut("switched to the browser");
    clickAt(upCentre());
    EXPECT_EQ(path(), "");
}

// The saved tree is read on the scanner's queue: views opened before it lands take it up when it does.
TEST_F(DiskViews, ViewsOpenedBeforeTheSavedTreeArrivesShowIt) {
    const QString r = rig.volumeRoot();
    rig.saveVolume(DiskRig::node(r, 9e10, true,
                                 {DiskRig::node(r + "/opt", 3e10, true), DiskRig::node(r + "/usr", 2e10, true),
                                  DiskRig::node(r + "/swapfile", 4e9, false)}),
                   2);
    VolumeUsageScanner volume(VolumeUsageScanner::Places{r, {}, rig.volumeStore()});
    rig.model().setMode(DiskPaneModel::Mode::everything);
    DiskScanContent scan(rig.cleaner(), volume, rig.model());
    VolumeUsageBrowser browser(volume, rig.model());
    browser.resize(336, 337);
    browser.show();
    scan.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return browser.rows().size() == 3; }));
    EXPECT_EQ(browser.content(), VolumeUsageBrowser::Content::list);
    EXPECT_EQ(scan.label().texts[0].text, CleanupItem::format(9e10));
    EXPECT_EQ(volume.unreadable(), 2);
}

TEST_F(DiskViews, ABrowsedFolderWithNothingBigSaysSo) {
    rig.saveVolume(DiskRig::node("/", 9e10, true, {DiskRig::node("/opt", 3e10, true, {})}), 0);
    rig.model().pushBrowse(DiskRig::node("/opt", 3e10, true, {}));
    VolumeUsageBrowser browser(rig.volume(), rig.model());
    browser.resize(336, 337);
    browser.show();
    EXPECT_EQ(browser.content(), VolumeUsageBrowser::Content::empty);
    EXPECT_EQ(browser.emptyText(), "Nothing above the size floor in here");
}

}  // namespace

// A folder's name may hold a line break or a tab: its usage row and its cleanup row (a custom
// target is named after its folder) show it on one line.
TEST(DiskRows, AFolderNameWithALineBreakStaysOnOneLine) {
    auto usageRow = [](const QString& name) {
        UsageRow row(UsageNode{name, "/data/" + name, 40'000'000, true, {}}, 80'000'000, [] {});
        row.resize(312, row.sizeHint().height());
        return row.grab().toImage();
    };
    EXPECT_EQ(usageRow("two\nlines\tdir"), usageRow("two lines dir"));
    auto cleanupRow = [](const QString& name) {
        CleanupItem item{QUuid(), name, {"/home/ann/" + name}, 5e6, 3, CleanupCategory::custom, "gone"};
        CleanupItemRow row(item, [] {});
        row.resize(312, row.sizeHint().height());
        return row.grab().toImage();
    };
    EXPECT_EQ(cleanupRow("two\nlines\tdir"), cleanupRow("two lines dir"));
    // The browser's trail names the folder it is in the same way.
    auto trail = [](const QString& name) {
        DiskRig rig;
        rig.model().pushBrowse(DiskRig::node("/" + name, 3e10, true, {}));
        VolumeUsageBrowser browser(rig.volume(), rig.model());
        browser.resize(336, 337);
        browser.show();
        return browser.breadcrumb()->grab().toImage();
    };
    EXPECT_EQ(trail("two\nlines\tdir"), trail("two lines dir"));
}
