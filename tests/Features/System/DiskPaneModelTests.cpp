#include "Platform/Core/Dispatch.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Source/Features/System/HomeGuard.h"
#include "TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

SystemStats::DiskCapacity usedShare(double percent) { return {1000.0, percent * 10.0, 1000.0 - percent * 10.0}; }

TEST(DiskPaneModel, RingTintUsesTheUnroundedShare) {
    EXPECT_EQ(DiskPaneModel::ringTint(79.6), DiskPaneModel::RingTint::green);  // shows as 80 % but stays green
    EXPECT_EQ(DiskPaneModel::ringTint(79.9999), DiskPaneModel::RingTint::green);
    EXPECT_EQ(DiskPaneModel::ringTint(80), DiskPaneModel::RingTint::orange);
    EXPECT_EQ(DiskPaneModel::ringTint(89.99), DiskPaneModel::RingTint::orange);
    EXPECT_EQ(DiskPaneModel::ringTint(90), DiskPaneModel::RingTint::red);
    EXPECT_EQ(DiskPaneModel::ringTint(100), DiskPaneModel::RingTint::red);

    EXPECT_DOUBLE_EQ(DiskPaneModel::usedPercent(usedShare(79.6)), 79.6);
    // No reading, or a volume of no size: 0 % and green.
    EXPECT_EQ(DiskPaneModel::usedPercent(std::nullopt), 0);
    EXPECT_EQ(DiskPaneModel::usedPercent(SystemStats::DiskCapacity{0, 0, 0}), 0);
    EXPECT_EQ(DiskPaneModel::ringTint(DiskPaneModel::usedPercent(std::nullopt)), DiskPaneModel::RingTint::green);
}

TEST(DiskPaneModel, ReadingsSetTheSweepAndSayHowItMoves) {
    std::optional<SystemStats::DiskCapacity> reading = usedShare(85);
    DiskPaneModel model([&] { return reading; });
    auto read = [&model](bool animated) {
        model.readCapacity(animated);
        ASSERT_TRUE(TestSupport::waitFor([&] { return !model.isReading(); }));
    };
    EXPECT_FALSE(model.capacity());
    EXPECT_EQ(model.sweep(), 0);
    QSignalSpy sweeps(&model, &DiskPaneModel::sweepChanged);

    read(true);
    EXPECT_DOUBLE_EQ(model.sweep(), 0.85);
    EXPECT_EQ(model.sweepMotion(), DiskPaneModel::SweepMotion::firstSweep);
    EXPECT_EQ(model.ringTint(), DiskPaneModel::RingTint::orange);

    reading = usedShare(91);
    read(false);
    EXPECT_DOUBLE_EQ(model.sweep(), 0.91);
    EXPECT_EQ(model.sweepMotion(), DiskPaneModel::SweepMotion::value);
    EXPECT_EQ(sweeps.count(), 2);

    // A failed reading empties the ring; the next one tries again.
    reading.reset();
    read(false);
    EXPECT_FALSE(model.capacity());
    EXPECT_EQ(model.sweep(), 0);
    EXPECT_EQ(model.ringTint(), DiskPaneModel::RingTint::green);
}

// The volume is asked off the GUI thread: one that stops answering (a stuck mount under "/")
// leaves the GUI thread free and piles up no readings; the calls made meanwhile get one more.
TEST(DiskPaneModel, AVolumeThatHangsHoldsUpNoGuiThread) {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::atomic<int> reads{0}, onGui{0};
    DiskPaneModel model([&]() -> std::optional<SystemStats::DiskCapacity> {
        if (Dispatch::isMainThread()) ++onGui;
        ++reads;
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(5), [&] { return open; });  // no hang when it is wrong
        return usedShare(50);
    });
    model.readCapacity(false);
    model.readCapacity(true);
    model.readCapacity(false);
    TestSupport::spin(50);
    EXPECT_TRUE(model.isReading());
    EXPECT_FALSE(model.capacity());
    EXPECT_EQ(reads.load(), 1);
    {
        const std::lock_guard lock(mutex);
        open = true;
    }
    released.notify_all();
    ASSERT_TRUE(TestSupport::waitFor([&] { return reads == 2 && !model.isReading(); }));
    TestSupport::spin(50);
    EXPECT_EQ(reads.load(), 2);
    EXPECT_EQ(onGui.load(), 0);
    EXPECT_DOUBLE_EQ(model.sweep(), 0.5);
    // One of the calls made meanwhile asked for the first sweep's motion.
    EXPECT_EQ(model.sweepMotion(), DiskPaneModel::SweepMotion::firstSweep);
}

TEST(DiskPaneModel, OpenGroupsModeAndBrowsePath) {
    DiskPaneModel model([] { return std::nullopt; });
    EXPECT_TRUE(model.expanded().isEmpty());
    model.toggleExpanded(CleanupCategory::development);
    model.toggleExpanded(CleanupCategory::custom);
    EXPECT_EQ(model.expanded(), (QSet<QString>{"Development", "Custom"}));
    model.toggleExpanded(CleanupCategory::development);
    EXPECT_EQ(model.expanded(), QSet<QString>{"Custom"});
    // The mode leaves the open groups alone.
    model.setMode(DiskPaneModel::Mode::everything);
    model.setMode(DiskPaneModel::Mode::reclaimable);
    EXPECT_TRUE(model.isExpanded(CleanupCategory::custom));

    EXPECT_EQ(DiskPaneModel::rawValue(DiskPaneModel::Mode::everything), "All Space");
    EXPECT_EQ(DiskPaneModel::modeFromRawValue("Reclaimable"), DiskPaneModel::Mode::reclaimable);
    EXPECT_EQ(DiskPaneModel::modeFromRawValue("all space"), std::nullopt);

    QSignalSpy stack(&model, &DiskPaneModel::browseStackChanged);
    model.popBrowse();  // an empty path stays empty
    EXPECT_TRUE(model.browseStack().isEmpty());
    EXPECT_EQ(stack.count(), 0);
    model.pushBrowse(UsageNode{"home", "/home", 5e9, true, {}});
    model.pushBrowse(UsageNode{"user", "/home/user", 4e9, true, {}});
    model.popBrowse();
    ASSERT_EQ(model.browseStack().size(), 1);
    EXPECT_EQ(model.browseStack().last().path, "/home");
}

TEST(DiskPaneModel, InspectingAnnouncesOnlyARealChange) {
    DiskPaneModel model([] { return std::nullopt; });
    QSignalSpy changes(&model, &DiskPaneModel::inspectingChanged);
    CleanupItem item{QUuid::createUuid(), "npm Cache", {"/h/.npm"}, 2e6, 3, CleanupCategory::development, "x"};
    model.setInspecting(item);
    model.setInspecting(item);
    EXPECT_EQ(changes.count(), 1);
    model.setInspecting(std::nullopt);
    model.setInspecting(std::nullopt);
    EXPECT_EQ(changes.count(), 2);
}

TEST(DiskPaneModel, OpeningAndShareBars) {
    const UsageNode file{"swap", "/swap", 4e9, false, {}};
    const UsageNode emptyFolder{"var", "/var", 3e9, true, {}};
    const UsageNode folder{"home", "/home", 9e9, true, {UsageNode{"user", "/home/user", 8e9, true, {}}}};
    EXPECT_FALSE(DiskPaneModel::canOpen(file));
    EXPECT_FALSE(DiskPaneModel::canOpen(emptyFolder));
    EXPECT_TRUE(DiskPaneModel::canOpen(folder));

    EXPECT_DOUBLE_EQ(DiskPaneModel::barFraction(25, 100), 0.25);
    EXPECT_DOUBLE_EQ(DiskPaneModel::barFraction(100, 100), 1.0);  // all of the folder: a full bar
    EXPECT_DOUBLE_EQ(DiskPaneModel::barFraction(150, 100), 1.0);  // never beyond the row
    EXPECT_DOUBLE_EQ(DiskPaneModel::barFraction(0.5, 0), 0.5);    // a folder of 0 bytes counts as 1
    EXPECT_DOUBLE_EQ(DiskPaneModel::barFraction(0, 0), 0.0);
}

TEST(DiskPaneModel, GroupTotalsAndDisplayedPaths) {
    CleanupGroup group{CleanupCategory::development,
                       {CleanupItem{QUuid::createUuid(), "a", {"/a"}, 1048576, 1, CleanupCategory::development, ""},
                        CleanupItem{QUuid::createUuid(), "b", {"/b"}, 2.5 * 1073741824.0, 1,
                                    CleanupCategory::development, ""}}};
    EXPECT_DOUBLE_EQ(DiskPaneModel::groupTotal(group), 1048576 + 2.5 * 1073741824.0);
    EXPECT_EQ(CleanupItem::format(DiskPaneModel::groupTotal(group)), "2.50 GB");
    EXPECT_EQ(DiskPaneModel::groupTotal(CleanupGroup{}), 0);

    EXPECT_EQ(DiskPaneModel::displayPath("/home/ann/.cache/yarn", "/home/ann"), "~/.cache/yarn");
    EXPECT_EQ(DiskPaneModel::displayPath("/home/ann/x/home/ann/y", "/home/ann"), "~/x~/y");  // every occurrence
    EXPECT_EQ(DiskPaneModel::displayPath("/srv/data", "/home/ann"), "/srv/data");
    EXPECT_EQ(DiskPaneModel::displayPath("", "/home/ann"), "--");
}

TEST(DiskPaneModel, FolderFilterKeepsNewFoldersInsideHomeInChosenOrder) {
    QTemporaryDir dir;
    const QString home = dir.path() + "/home/ann";
    for (const char* sub : {"a", "b", "c", "old"}) QDir().mkpath(home + "/" + sub);
    QDir().mkpath(dir.path() + "/home/anna/x");
    const HomeGuard guard(home, {home + "/.local/share/Trash"});
    const auto admit = [&guard](const QString& path) { return guard.admit(path); };

    const auto choice = DiskPaneModel::filterFolders(
        {home + "/c", home + "/a", home + "/b/../old", home + "/a", home, dir.path() + "/home/anna/x", "/etc",
         home + "/.local/share/Trash/files"},
        {home + "/old"}, admit);
    EXPECT_EQ(choice.added, (QStringList{home + "/c", home + "/a"}));  // "old" is listed; "a" chosen twice
    EXPECT_EQ(choice.refused, (QStringList{home, dir.path() + "/home/anna/x", "/etc", home + "/.local/share/Trash/files"}));

    const auto nothing = DiskPaneModel::filterFolders({"/etc"}, {home + "/a"}, admit);
    EXPECT_TRUE(nothing.added.isEmpty());
    EXPECT_EQ(nothing.refused, QStringList{"/etc"});
}

}  // namespace
