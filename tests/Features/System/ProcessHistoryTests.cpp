#include "Source/Features/System/ProcessHistory.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());

AppProcessInfo process(int32_t pid, const QString& group, const QString& own, double cpu, uint64_t memory) {
    AppProcessInfo p;
    p.pid = pid;
    p.name = group;
    p.processName = own;
    p.cpuUsage = cpu;
    p.memoryBytes = memory;
    p.startDate = t0.addSecs(-pid);
    return p;
}

GroupedProcessInfo group(const QString& name, std::vector<AppProcessInfo> children,
                         std::optional<QString> bundlePath = std::nullopt) {
    GroupedProcessInfo g;
    g.name = name;
    g.bundlePath = bundlePath;
    g.count = int(children.size());
    for (const AppProcessInfo& c : children) {
        g.totalCPU += c.cpuUsage;
        g.totalMemory += c.memoryBytes;
    }
    g.children = std::move(children);
    return g;
}

// A desktop at refresh i: an application with two helpers whose figures move, a shell, and one
// short-lived command of its own (pid 5000 + i).
std::vector<GroupedProcessInfo> desktop(int i) {
    AppProcessInfo main = process(100, "Firefox", "firefox", 10.5 + i, 400'000'000 + uint64_t(i) * 4096);
    main.bundlePath = QStringLiteral("/usr/share/applications/firefox.desktop");
    main.bundleID = QStringLiteral("firefox.desktop");
    AppProcessInfo helper = process(101, "Firefox", "Web Content", 0.25 * i, 90'000'000);
    helper.bundlePath = main.bundlePath;
    helper.bundleID = main.bundleID;
    AppProcessInfo second = helper;
    second.pid = 102;
    second.cpuUsage = 0;
    AppProcessInfo shell = process(200, "bash", "bash", 0, 5'000'000);
    shell.startDate.reset();
    return {group("Firefox", {main, helper, second}, main.bundlePath), group("bash", {shell}),
            group(QString("job-%1").arg(i), {process(5000 + i, QString("job-%1").arg(i), "make", 99.5, 1 << 20)})};
}

}  // namespace

TEST(ProcessHistory, GivesBackEachStoredListAsItWas) {
    ProcessHistory history(60);
    EXPECT_FALSE(history.groupsClosestTo(t0).has_value());
    for (int i = 0; i < 5; ++i) history.append(t0.addSecs(4 * i), desktop(i));
    ASSERT_EQ(history.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const auto groups = history.groupsClosestTo(t0.addSecs(4 * i));
        ASSERT_TRUE(groups.has_value());
        EXPECT_EQ(*groups, desktop(i)) << "refresh " << i;
    }
    // Nearest by absolute distance, the earlier one on a tie.
    EXPECT_EQ(*history.groupsClosestTo(t0.addSecs(-60)), desktop(0));
    EXPECT_EQ(*history.groupsClosestTo(t0.addSecs(6)), desktop(1));
    EXPECT_EQ(*history.groupsClosestTo(t0.addMSecs(6001)), desktop(2));
    EXPECT_EQ(*history.groupsClosestTo(t0.addSecs(3600)), desktop(4));

    // What stays the same is stored once: four long-lived processes, one job per refresh.
    EXPECT_EQ(history.processCount(), 4u + 5u);
    EXPECT_EQ(history.groupCount(), 2u + 5u);
}

TEST(ProcessHistory, KeepsOnlyItsCapacityAndForgetsWhatNoStoredListNeeds) {
    ProcessHistory history(10);
    for (int i = 0; i < 100; ++i) history.append(t0.addSecs(i), desktop(i));
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(*history.groupsClosestTo(t0), desktop(90));
    EXPECT_EQ(*history.groupsClosestTo(t0.addSecs(99)), desktop(99));
    EXPECT_EQ(history.processCount(), 4u + 10u);
    EXPECT_EQ(history.groupCount(), 2u + 10u);

    // Going back over older lists does not grow it either.
    const size_t held = history.bytesHeld();
    for (int i = 0; i < 100; ++i) history.append(t0.addSecs(200 + i), desktop(i % 20));
    EXPECT_EQ(history.processCount(), 4u + 10u);
    EXPECT_LE(history.bytesHeld(), held + held / 4);

    history.clear();
    EXPECT_TRUE(history.empty());
    EXPECT_FALSE(history.groupsClosestTo(t0).has_value());
    EXPECT_EQ(history.processCount(), 0u);
    EXPECT_EQ(history.groupCount(), 0u);
    EXPECT_LT(history.bytesHeld(), 1024u);
    history.append(t0, desktop(7));
    EXPECT_EQ(*history.groupsClosestTo(t0), desktop(7));
}

TEST(ProcessHistory, TellsApartWhatDiffersInAnyDetail) {
    ProcessHistory history(60);
    // A pid reused by another program, a process renamed, one that changes owner, and two
    // groups of the same name from different desktop entries across refreshes.
    AppProcessInfo first = process(300, "tool", "tool", 1, 4096);
    AppProcessInfo reused = first;
    reused.startDate = t0.addSecs(5);
    AppProcessInfo renamed = first;
    renamed.processName = QStringLiteral("tool-worker");
    AppProcessInfo owned = first;
    owned.bundleID = QStringLiteral("org.example.Tool.desktop");
    const std::vector<std::vector<GroupedProcessInfo>> lists{
        {group("tool", {first}, QStringLiteral("/a/tool.desktop"))},
        {group("tool", {reused}, QStringLiteral("/b/tool.desktop"))},
        {group("tool", {renamed})},
        {group("tool", {owned}, QStringLiteral("/a/tool.desktop"))},
        {},
    };
    for (size_t i = 0; i < lists.size(); ++i) history.append(t0.addSecs(qint64(i)), lists[i]);
    for (size_t i = 0; i < lists.size(); ++i) EXPECT_EQ(*history.groupsClosestTo(t0.addSecs(qint64(i))), lists[i]);
    EXPECT_EQ(history.processCount(), 4u);
    EXPECT_EQ(history.groupCount(), 3u);
}
