#include "FakeWorkspace.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Zedi/ZediManager.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(ZediManager, RunAsksEveryListedRunningAppToQuitAndNoOther) {
    UserDefaults defaults(QString{});
    FakeWorkspace workspace;
    workspace.running = {FakeWorkspace::app(101, "org.example.Mail.desktop"),
                         FakeWorkspace::app(102, "firefox.desktop"),
                         FakeWorkspace::app(103, "org.example.Mail.desktop"),
                         FakeWorkspace::app(104, "slack.desktop")};
    ZediManager zedi(defaults, &workspace);
    zedi.setApps({"org.example.Mail.desktop", "slack.desktop", "not-running.desktop"});
    EXPECT_EQ(zedi.run(), 3);
    EXPECT_EQ(workspace.terminated, (std::vector<qint64>{101, 103, 104}));
}

TEST(ZediManager, NeverQuitsItselfAndCountsOnlyAcceptedRequests) {
    UserDefaults defaults(QString{});
    FakeWorkspace workspace;
    const qint64 self = QCoreApplication::applicationPid();
    workspace.running = {FakeWorkspace::app(self, "quorvin.desktop"), FakeWorkspace::app(7, "quorvin.desktop")};
    ZediManager zedi(defaults, &workspace);
    zedi.setApps({"quorvin.desktop"});
    EXPECT_EQ(zedi.run(), 1);
    EXPECT_EQ(workspace.terminated, std::vector<qint64>{7});
    workspace.terminateSucceeds = false;
    EXPECT_EQ(zedi.run(), 0);
}

TEST(ZediManager, AnEmptyListOpensTheSettingsInsteadOfQuittingAnything) {
    UserDefaults defaults(QString{});
    FakeWorkspace workspace;
    workspace.running = {FakeWorkspace::app(5, "a.desktop")};
    ZediManager zedi(defaults, &workspace);
    int opened = 0;
    ZediManager::setOpenSettingsHandler([&] { ++opened; });
    EXPECT_EQ(zedi.run(), 0);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(workspace.terminated.empty());
    ZediManager::setOpenSettingsHandler({});
    EXPECT_EQ(zedi.run(), 0);  // no handler: nothing happens, nothing breaks
}

TEST(ZediManager, TheListIsStoredAsAnArrayOfTexts) {
    UserDefaults defaults(QString{});
    ZediManager zedi(defaults, nullptr);
    QSignalSpy changed(&zedi, &ZediManager::appsChanged);
    zedi.add("b.desktop");
    zedi.add("a.desktop");
    zedi.add("b.desktop");
    zedi.add("");
    EXPECT_EQ(zedi.apps(), (QStringList{"b.desktop", "a.desktop"}));
    EXPECT_EQ(defaults.stringArray("zediApps"), (QStringList{"b.desktop", "a.desktop"}));
    EXPECT_EQ(changed.count(), 2);
    zedi.remove({"b.desktop", "zzz"});
    EXPECT_EQ(zedi.apps(), QStringList{"a.desktop"});
    zedi.setApps({"x", "x", "y"});
    EXPECT_EQ(zedi.apps(), (QStringList{"x", "y"}));
}

TEST(ZediManager, AStoredValueOfAnotherShapeReadsAsEmpty) {
    UserDefaults defaults(QString{});
    defaults.set("zediApps", QJsonArray{1, "a.desktop"});
    ZediManager zedi(defaults, nullptr);
    EXPECT_TRUE(zedi.apps().isEmpty());
    defaults.setString("zediApps", "a.desktop");
    EXPECT_TRUE(zedi.apps().isEmpty());
    zedi.add("a.desktop");
    EXPECT_EQ(zedi.apps(), QStringList{"a.desktop"});
}

TEST(ZediManager, FollowsItsSettingWhoeverWritesItAndOnlyItsOwnStore) {
    UserDefaults defaults(QString{});
    ZediManager zedi(defaults, nullptr);
    QSignalSpy changed(&zedi, &ZediManager::appsChanged);
    defaults.setStringArray("zediApps", {"a.desktop"});
    EXPECT_EQ(zedi.apps(), QStringList{"a.desktop"});
    EXPECT_EQ(changed.count(), 1);
    defaults.set("zediApps", QJsonArray{1});  // reads as empty: a change
    defaults.setString("zediApps", "a.desktop");  // still empty: none
    EXPECT_EQ(changed.count(), 2);

    UserDefaults other(QString{});
    ZediManager elsewhere(other, nullptr);
    elsewhere.add("b.desktop");
    EXPECT_TRUE(zedi.apps().isEmpty());
    EXPECT_EQ(changed.count(), 2);
}
