#include "FakeWorkspace.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "TestSupport.h"
#include "Views/Preferences/ZediSettingsView.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
struct Pane {
    UserDefaults defaults{QString{}};
    FakeWorkspace workspace;
    ZediManager zedi{defaults, &workspace};
    std::unique_ptr<ZediSettingsView> view;
    void open() {
        view = std::make_unique<ZediSettingsView>(zedi);
        view->resize(560, 420);
        view->show();
    }
    QStringList rows() const {
        QStringList texts;
        for (int i = 0; i < view->list()->count(); ++i) texts << view->list()->item(i)->text();
        return texts;
    }
};
}  // namespace

TEST(ZediSettingsView, ListsTheStoredAppsAndRemovesTheSelection) {
    Pane pane;
    pane.zedi.setApps({"a.desktop", "b.desktop", "c.desktop"});
    pane.open();
    EXPECT_EQ(pane.rows(), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(pane.view->selection().isEmpty());
    EXPECT_FALSE(pane.view->removeButton()->isEnabled());

    pane.view->list()->item(0)->setSelected(true);
    pane.view->list()->item(2)->setSelected(true);
    EXPECT_EQ(pane.view->selection(), (QSet<QString>{"a.desktop", "c.desktop"}));
    ASSERT_TRUE(pane.view->removeButton()->isEnabled());
    QTest::mouseClick(pane.view->removeButton(), Qt::LeftButton);
    EXPECT_EQ(pane.zedi.apps(), QStringList{"b.desktop"});
    EXPECT_EQ(pane.rows(), QStringList{"b"});
    EXPECT_TRUE(pane.view->selection().isEmpty());
    EXPECT_FALSE(pane.view->removeButton()->isEnabled());
}

TEST(ZediSettingsView, TheAddMenuOffersRunningAppsNotYetListed) {
    Pane pane;
    pane.workspace.running = {FakeWorkspace::app(10, "mail.desktop", "Mail"),
                              FakeWorkspace::app(11, "chat.desktop", "Chat"),
                              FakeWorkspace::app(12, "chat.desktop", "Chat"),
                              FakeWorkspace::app(QCoreApplication::applicationPid(), "quorvin", "Quorvin")};
    pane.zedi.setApps({"mail.desktop"});
    pane.open();
    pane.view->rebuildAddMenu();
    QStringList offered;
    QAction* chat = nullptr;
    for (QAction* action : pane.view->addMenu()->actions()) {
        if (action->isSeparator() || action->text().isEmpty()) continue;
        offered << action->text();
        if (action->text() == "Chat") chat = action;
    }
    EXPECT_EQ(offered, (QStringList{"Chat", "Other App…"}));
    ASSERT_NE(chat, nullptr);
    chat->trigger();
    EXPECT_EQ(pane.zedi.apps(), (QStringList{"mail.desktop", "chat.desktop"}));
    EXPECT_EQ(pane.rows(), (QStringList{"mail", "chat"}));

    pane.view->rebuildAddMenu();
    offered.clear();
    for (QAction* action : pane.view->addMenu()->actions()) {
        if (!action->isSeparator() && !action->text().isEmpty()) offered << action->text();
    }
    EXPECT_EQ(offered, (QStringList{"No Other Running Apps", "Other App…"}));
    pane.view->grab().save(QDir(QUORVIN_TEST_OUTPUT).filePath("ZediSettingsView.png"));
}

TEST(ZediSettingsView, AnEmptyListSaysHowToStart) {
    Pane pane;
    pane.open();
    bool hintShown = false;
    for (auto* label : pane.view->findChildren<QLabel*>()) {
        if (label->text().startsWith("No apps yet") && label->isVisible()) hintShown = true;
    }
    EXPECT_TRUE(hintShown);
    pane.view->grab().save(QDir(QUORVIN_TEST_OUTPUT).filePath("ZediSettingsView-empty.png"));
}
