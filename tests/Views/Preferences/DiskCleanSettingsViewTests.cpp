#include "DiskPaneTestSupport.h"
#include "FakeFileDialogs.h"

#include "Views/Preferences/DiskCleanSettingsView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct DiskCleanPane : ::testing::Test {
    DiskRig rig;
    ScopedFileDialogs dialogs;

    QCheckBox* toggle(DiskCleanSettingsView& view, const QString& title) {
        for (QCheckBox* box : view.switches())
            if (box->text() == title) return box;
        return nullptr;
    }
    static void settle(DiskCleanSettingsView& view) {
        ASSERT_TRUE(TestSupport::waitFor([&] { return view.isSettled(); }));
    }
    QStringList shownRows(DiskCleanSettingsView& view) {
        QStringList rows;
        for (int i = 0; i < view.list()->count(); ++i) rows << view.list()->item(i)->text();
        return rows;
    }
};

TEST_F(DiskCleanPane, SwitchesReadDefaultsAndWriteOnlyWhatIsTurned) {
    DiskCleanSettingsView view(rig.cleaner(), rig.settings());
    ASSERT_EQ(view.switches().size(), 19);
    for (QCheckBox* box : view.switches()) {
        const bool offByDefault = box->text() == "Xcode Archives" || box->text() == "Maven Repository";
        EXPECT_EQ(box->isChecked(), !offByDefault) << box->text().toStdString();
    }
    EXPECT_EQ(view.switches().last()->text(), "Per-app caches");

    toggle(view, "npm Cache")->click();
    EXPECT_EQ(rig.settings().targets.value(), (QJsonObject{{"npm Cache", false}}));
    EXPECT_FALSE(rig.settings().isEnabled("npm Cache", true));
    // A change made elsewhere shows at once.
    rig.settings().setEnabled("Maven Repository", true);
    EXPECT_TRUE(toggle(view, "Maven Repository")->isChecked());
}

TEST_F(DiskCleanPane, AddsChosenFoldersInsideHomeAndSaysWhichWereLeftOut) {
    const QString a = rig.folder("a"), b = rig.folder("b"), c = rig.folder("c");
    DiskCleanSettingsView view(rig.cleaner(), rig.settings());
    view.show();
    EXPECT_FALSE(view.addButton()->isEnabled());  // until the stored folders are listed
    settle(view);
    EXPECT_TRUE(view.addButton()->isEnabled());
    EXPECT_TRUE(view.emptyLabel()->isVisible());
    EXPECT_EQ(view.emptyLabel()->text(), "No custom targets added yet.");

    dialogs.fake.nextFolders = {c, a, b};
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    settle(view);
    ASSERT_EQ(dialogs.fake.requests.size(), 1u);
    EXPECT_EQ(dialogs.fake.requests[0].acceptLabel, "Add");
    EXPECT_EQ(dialogs.fake.requests[0].directory, rig.home());
    EXPECT_EQ(view.custom(), (QStringList{c, a, b}));
    EXPECT_EQ(rig.settings().customTargets.value(), (QStringList{c, a, b}));
    EXPECT_FALSE(view.emptyLabel()->isVisible());
    EXPECT_FALSE(view.refusalLabel()->isVisible());

    // Again the same folder, the home folder and a folder elsewhere: nothing added, two named.
    dialogs.fake.nextFolders = {a, rig.home(), "/etc"};
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    settle(view);
    EXPECT_EQ(view.custom(), (QStringList{c, a, b}));
    EXPECT_TRUE(view.refusalLabel()->isVisible());
    EXPECT_EQ(view.refusalLabel()->text(), "Not added, not inside your home folder: " +
                                               DiskPaneModel::displayPath(rig.home(), rig.home()) + ", /etc");
    // Cancelling changes nothing.
    dialogs.fake.nextFolders = {};
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    EXPECT_EQ(view.custom(), (QStringList{c, a, b}));
    EXPECT_EQ(shownRows(view), (QStringList{"~/c", "~/a", "~/b"}));
}

TEST_F(DiskCleanPane, RemovesTheSelectedRows) {
    const QString a = rig.folder("a"), b = rig.folder("b"), c = rig.folder("c");
    rig.settings().customTargets.set({a, b, c, "/etc/stored-outside"});
    DiskCleanSettingsView view(rig.cleaner(), rig.settings());
    view.show();
    settle(view);
    EXPECT_EQ(view.custom(), (QStringList{a, b, c}));  // the stored folder outside home never shows
    EXPECT_FALSE(view.removeButton()->isEnabled());
    view.list()->item(0)->setSelected(true);
    view.list()->item(2)->setSelected(true);
    EXPECT_TRUE(view.removeButton()->isEnabled());
    QTest::mouseClick(view.removeButton(), Qt::LeftButton);
    EXPECT_EQ(view.custom(), QStringList{b});
    EXPECT_TRUE(view.selection().isEmpty());
    EXPECT_FALSE(view.removeButton()->isEnabled());
    EXPECT_EQ(rig.settings().customTargets.value(), QStringList{b});  // and the stale entry is gone
}

TEST_F(DiskCleanPane, TheNextScanHonoursThePane) {
    const QString builds = rig.folder("projects/builds", 1 << 20);
    rig.folder(".npm/_cacache", 2 << 20);
    DiskCleanSettingsView view(rig.cleaner(), rig.settings());
    settle(view);
    dialogs.fake.nextFolders = {builds};
    view.addFolders();
    settle(view);
    toggle(view, "npm Cache")->click();
    rig.cleaner().scan();
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.cleaner().state().phase == DiskCleanScanner::Phase::complete; },
                                     20000));
    QStringList names;
    for (const CleanupGroup& group : rig.cleaner().groups())
        for (const CleanupItem& item : group.items) names << item.name;
    EXPECT_EQ(names, QStringList{"builds"});
}

}  // namespace
