#include "ClipboardPopupTestSupport.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Views/Preferences/ClipboardSettingsView.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <cstdlib>

namespace {

void writeEntry(const QString& folder, const QString& id, const QString& name, const QString& icon = {}) {
    QFile file(folder + "/" + id);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n").arg(name, id).toUtf8());
    if (!icon.isEmpty()) file.write(QStringLiteral("Icon=%1\n").arg(icon).toUtf8());
}

// Where the row's text starts in a picture of the list: its leftmost dark, grey pixel.
int textStart(QListWidget* list, int row) {
    const QImage image = list->viewport()->grab().toImage();
    const QRect rect = list->visualItemRect(list->item(row)) & image.rect();
    for (int x = rect.left(); x <= rect.right(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.lightnessF() < 0.5 && c.hslSaturationF() < 0.2) return x;
        }
    return -1;
}

}  // namespace

class ClipboardSettingsPane : public PopupTestBase {
protected:
    void SetUp() override {
        PopupTestBase::SetUp();
        ASSERT_TRUE(apps.isValid());
        writeEntry(apps.path(), "clip.desktop", "Clip.app");
        writeEntry(apps.path(), "sync.desktop", "Sync.app Companion");
        // A red square for an icon.
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::red);
        ASSERT_TRUE(icon.save(apps.path() + "/vault.png"));
        writeEntry(apps.path(), "vault.desktop", "Vault", apps.path() + "/vault.png");
        entries = std::make_unique<DesktopEntries>(QStringList{apps.path()});
    }
    void TearDown() override {
        view.reset();
        entries.reset();
        PopupTestBase::TearDown();
    }
    void open() {
        view = std::make_unique<ClipboardSettingsView>(*manager, *entries);
        view->resize(560, 640);
        view->show();
        QCoreApplication::processEvents();
    }
    QStringList rows() const {
        QStringList texts;
        for (int i = 0; i < view->list()->count(); ++i) texts << view->list()->item(i)->text();
        return texts;
    }
    QStringList stored() const { return defaults.stringArray("ignoredClipboardApps").value_or(QStringList()); }
    // Types into the history-size field without ending the editing.
    void typeIntoField(const QString& text) {
        QLineEdit* edit = view->itemsField()->findChild<QLineEdit*>();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    QTemporaryDir apps;
    std::unique_ptr<DesktopEntries> entries;
    std::unique_ptr<ClipboardSettingsView> view;
};

TEST_F(ClipboardSettingsPane, TheHistorySizeAppliesWhenEditingEnds) {
    for (int i = 0; i < 120; ++i) copyText(QString::asprintf("item %d", i));
    open();
    EXPECT_EQ(view->itemsField()->value(), 100);
    ASSERT_EQ(manager->history().size(), 100u);

    // Typing "50" over "100" passes through "5" without trimming to it.
    typeIntoField("5");
    EXPECT_EQ(manager->history().size(), 100u);
    QTest::keyClicks(view->itemsField()->findChild<QLineEdit*>(), "0");
    EXPECT_EQ(manager->history().size(), 100u);
    QTest::keyClick(view->itemsField()->findChild<QLineEdit*>(), Qt::Key_Return);
    EXPECT_EQ(manager->history().size(), 50u);
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 50);
    EXPECT_EQ(manager->history().front().content.textValue(), "item 119");

    // The stepper applies at once.
    view->itemsField()->stepDown();
    EXPECT_EQ(manager->history().size(), 49u);
}

TEST_F(ClipboardSettingsPane, OutOfRangeNumbersGoToTheNearestBound) {
    copyText("pinned one");
    copyText("pinned two");
    copyText("loose");
    copyText("newest");
    pin("pinned one");
    pin("pinned two");
    open();
    typeIntoField("500");
    QTest::keyClick(view->itemsField()->findChild<QLineEdit*>(), Qt::Key_Return);
    EXPECT_EQ(view->itemsField()->value(), 200);
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 200);
    EXPECT_EQ(manager->history().size(), 4u);

    // 0 becomes 1: every pinned item stays, the unpinned ones go.
    typeIntoField("0");
    QTest::keyClick(view->itemsField()->findChild<QLineEdit*>(), Qt::Key_Return);
    EXPECT_EQ(view->itemsField()->value(), 1);
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 1);
    EXPECT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(manager->pinnedCount(), 2);

    // Emptied and left: the field goes back to its value and nothing changes.
    typeIntoField("");
    QTest::keyClick(view->itemsField()->findChild<QLineEdit*>(), Qt::Key_Return);
    EXPECT_EQ(view->itemsField()->value(), 1);

    // Values handed over directly are clamped the same way.
    view->setMaxItems(-3);
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 1);
    view->setMaxItems(9999);
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 200);
    EXPECT_EQ(view->itemsField()->value(), 200);
}

TEST_F(ClipboardSettingsPane, IgnoredAppsAreListedAddedAndRemoved) {
    defaults.setStringArray("ignoredClipboardApps", {"clip.desktop", "gone.desktop"});
    open();
    EXPECT_EQ(rows(), (QStringList{"Clip", "gone.desktop"}));  // an uninstalled id shows as itself
    ASSERT_EQ(view->ignoredApps().size(), 2u);
    EXPECT_TRUE(view->ignoredApps()[1].icon.isNull());
    EXPECT_FALSE(view->list()->item(1)->icon().isNull());  // the fallback symbol
    EXPECT_FALSE(view->emptyState()->isVisible());
    EXPECT_FALSE(view->removeButton()->isEnabled());

    // Only a trailing ".app" goes from a name.
    view->addIgnoredApp("sync.desktop");
    EXPECT_EQ(rows().last(), "Sync.app Companion");
    EXPECT_EQ(stored(), (QStringList{"clip.desktop", "gone.desktop", "sync.desktop"}));
    view->addIgnoredApp("clip.desktop");  // listed already: nothing changes
    EXPECT_EQ(stored().size(), 3);

    view->list()->item(1)->setSelected(true);
    EXPECT_EQ(view->selection(), QString("gone.desktop"));
    ASSERT_TRUE(view->removeButton()->isEnabled());
    QTest::mouseClick(view->removeButton(), Qt::LeftButton);
    EXPECT_EQ(stored(), (QStringList{"clip.desktop", "sync.desktop"}));
    EXPECT_FALSE(view->selection());
    EXPECT_FALSE(view->removeButton()->isEnabled());

    // The chooser lists the installed applications by name; accepting adds the current one.
    QTest::mouseClick(view->addButton(), Qt::LeftButton);
    QDialog* chooser = view->appChooser();
    ASSERT_TRUE(chooser);
    auto* list = chooser->findChild<QListWidget*>("applications");
    ASSERT_TRUE(list);
    QStringList offered;
    for (int i = 0; i < list->count(); ++i) offered << list->item(i)->text();
    EXPECT_EQ(offered, (QStringList{"Clip.app", "Sync.app Companion", "Vault"}));
    // Names start in one column, whether or not their application has an icon.
    EXPECT_FALSE(list->item(2)->icon().isNull());
    const int iconless = textStart(list, 0), withIcon = textStart(list, 2);
    ASSERT_GT(iconless, 0);
    EXPECT_LE(std::abs(iconless - withIcon), 2) << iconless << " " << withIcon;
    EXPECT_TRUE(chooser->grab().save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/add-app-chooser.png"));
    list->setCurrentRow(2);
    chooser->accept();
    EXPECT_EQ(stored(), (QStringList{"clip.desktop", "sync.desktop", "vault.desktop"}));
    view->list()->item(0)->setSelected(true);
    ASSERT_TRUE(view->grab().save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/clipboard-settings.png"));

    // The store skips copies made while an ignored application is in front.
    workspace.front = RunningApplication{99, "vault.desktop", "Vault", "/v"};
    copyText("a password");
    EXPECT_TRUE(manager->history().empty());
}

TEST_F(ClipboardSettingsPane, AnEmptyListShowsItsEmptyState) {
    open();
    EXPECT_TRUE(view->emptyState()->isVisible());
    EXPECT_TRUE(rows().isEmpty());
    view->addIgnoredApp("vault.desktop");
    EXPECT_FALSE(view->emptyState()->isVisible());
}

TEST_F(ClipboardSettingsPane, ClearingAsksFirst) {
    copyText("keep me");
    copyText("pinned");
    pin("pinned");
    open();
    QTest::mouseClick(view->clearButton(), Qt::LeftButton);
    ASSERT_TRUE(view->confirmation());
    EXPECT_TRUE(view->confirmingClear());
    EXPECT_EQ(view->confirmation()->text(), "Clear clipboard history?");
    // Wide enough for its whole title beside the title bar's buttons.
    const int title = view->confirmation()->fontMetrics().horizontalAdvance(view->confirmation()->windowTitle());
    EXPECT_GE(view->confirmation()->width(), title + 120);
    QAbstractButton* cancel = view->confirmation()->escapeButton();
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->text(), "Cancel");
    cancel->click();
    TestSupport::spin(10);
    EXPECT_FALSE(view->confirmingClear());
    EXPECT_EQ(manager->history().size(), 2u);

    QTest::mouseClick(view->clearButton(), Qt::LeftButton);
    ASSERT_TRUE(view->confirmation());
    QAbstractButton* clear = nullptr;
    for (QAbstractButton* button : view->confirmation()->buttons())
        if (button->text() == "Clear History") clear = button;
    ASSERT_TRUE(clear);
    clear->click();
    TestSupport::spin(10);
    EXPECT_TRUE(manager->history().empty());
    EXPECT_FALSE(view->confirmingClear());
}
