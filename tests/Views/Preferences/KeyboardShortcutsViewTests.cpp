// The Shortcuts pane over the shared bindings and an in-memory grabber, driven by key events
// that travel the whole way from the window system into the program.
#include "FakeHotkeyGrabber.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"
#include "Views/Preferences/KeyboardShortcutsView.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Preferences/ShortcutRecorderButton.h"
#include "Views/Shared/SymbolButton.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using State = ShortcutRecorderButton::State;
constexpr uint64_t kShiftCommand = KeyCodes::maskShift | KeyCodes::maskCommand;

class ShortcutsPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
        auto fake = std::make_unique<FakeHotkeyGrabber>();
        grabber = fake.get();
        GlobalHotkeyMonitor::setGrabber(std::move(fake));
        GlobalHotkeyMonitor::startMonitoring();
    }
    void TearDown() override {
        window.reset();
        GlobalHotkeyMonitor::stopMonitoring();
        GlobalHotkeyMonitor::setGrabber(nullptr);
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
    }

    // The pane in a window beside a text field that has the keyboard focus.
    void open() {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        field = new QLineEdit;
        layout->addWidget(field);
        pane = new KeyboardShortcutsView(ShortcutManager::shared());
        layout->addWidget(pane);
        window->resize(560, 420);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        field->setFocus();
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
    void click(QAbstractButton* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    ShortcutRecorderButton* recorder(const QString& id) { return pane->recorder(id); }
    static HotkeyBinding binding(const QString& id) {
        for (const HotkeyBinding& b : ShortcutManager::shared().bindings())
            if (b.id == id) return b;
        ADD_FAILURE() << "no binding " << id.toStdString();
        return {};
    }
    bool grabs(int keyCode, uint64_t flags) const {
        const FakeHotkeyGrabber::Combination c{keyCode, flags};
        return std::find(grabber->grabbed.begin(), grabber->grabbed.end(), c) != grabber->grabbed.end();
    }

    FakeHotkeyGrabber* grabber = nullptr;
    std::unique_ptr<QWidget> window;
    QLineEdit* field = nullptr;
    KeyboardShortcutsView* pane = nullptr;
};

}  // namespace

TEST_F(ShortcutsPaneTest, RecordingTakesAComboWithAModifierAndSwallowsEveryOtherKey) {
    open();
    ASSERT_TRUE(grabs(KeyCodes::kVK_ANSI_V, kShiftCommand));
    EXPECT_EQ(recorder("clipboardHistory")->keyCaps(), (QStringList{"⇧", "⌘", "V"}));
    EXPECT_EQ(recorder("resetBrightness")->keyCaps(), (QStringList{"⌥", "⇧", "⌘", "R"}));
    // A shortcut of the window must not fire while a row records.
    int saves = 0;
    auto* save = new QAction(window.get());
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    window->addAction(save);
    QObject::connect(save, &QAction::triggered, [&] { ++saves; });

    click(recorder("clipboardHistory"));
    EXPECT_EQ(pane->recordingID(), "clipboardHistory");
    EXPECT_EQ(recorder("clipboardHistory")->state(), State::recording);
    EXPECT_EQ(recorder("clipboardHistory")->displayText(), "Press keys…");
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabber->grabbed.empty());

    // Keys without ⌘ ⌥ ⇧ ⌃, and modifiers alone, record nothing and reach no text field.
    press(Qt::Key_X);
    press(Qt::Key_Shift, Qt::ShiftModifier);
    press(Qt::Key_F5);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(pane->recordingID(), "clipboardHistory");
    EXPECT_EQ(recorder("clipboardHistory")->displayText(), "Press keys…");
    EXPECT_EQ(binding("clipboardHistory").keyCode, KeyCodes::kVK_ANSI_V);

    // ⇧ with a letter counts; the numeric-pad and lock flags are dropped.
    press(Qt::Key_K, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_FALSE(pane->recordingID().has_value());
    EXPECT_EQ(binding("clipboardHistory").keyCode, KeyCodes::kVK_ANSI_K);
    EXPECT_EQ(binding("clipboardHistory").modifiers, KeyCodes::maskShift);
    EXPECT_EQ(recorder("clipboardHistory")->keyCaps(), (QStringList{"⇧", "K"}));
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_K, KeyCodes::maskShift));
    EXPECT_FALSE(grabs(KeyCodes::kVK_ANSI_V, kShiftCommand));
    // Stored, for the next launch.
    ShortcutManager next(UserDefaults::standard());
    EXPECT_EQ(next.bindings()[0].keyCode, KeyCodes::kVK_ANSI_K);

    // Recording again: the window's own shortcut is recorded, not run.
    click(recorder("resetBrightness"));
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(binding("resetBrightness").keyCode, KeyCodes::kVK_ANSI_S);
    EXPECT_EQ(binding("resetBrightness").modifiers, KeyCodes::maskControl);
    // Not recording: keys and shortcuts work again.
    press(Qt::Key_S, Qt::ControlModifier);
    press(Qt::Key_Y);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(field->text(), "y");
}

TEST_F(ShortcutsPaneTest, EscapeASecondClickOrLeavingTheScreenCancel) {
    open();
    const HotkeyBinding before = binding("clipboardHistory");

    click(recorder("clipboardHistory"));
    press(Qt::Key_Escape, Qt::MetaModifier);
    EXPECT_FALSE(pane->recordingID().has_value());
    EXPECT_EQ(binding("clipboardHistory"), before);
    EXPECT_EQ(recorder("clipboardHistory")->state(), State::keyCaps);
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_V, kShiftCommand));

    click(recorder("clipboardHistory"));
    click(recorder("clipboardHistory"));
    EXPECT_FALSE(pane->recordingID().has_value());
    EXPECT_FALSE(pane->isMonitoringKeys());
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());

    // From one row straight to another: the grabs stay off in between.
    click(recorder("clipboardHistory"));
    const int grabsBefore = grabber->grabCalls;
    click(recorder("resetBrightness"));
    EXPECT_EQ(pane->recordingID(), "resetBrightness");
    EXPECT_EQ(recorder("clipboardHistory")->state(), State::keyCaps);
    EXPECT_EQ(recorder("resetBrightness")->state(), State::recording);
    EXPECT_EQ(grabber->grabCalls, grabsBefore);
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());

    window->hide();
    EXPECT_FALSE(pane->recordingID().has_value());
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_EQ(binding("resetBrightness"), ShortcutManager::defaults()[1]);
}

TEST_F(ShortcutsPaneTest, SwitchingToAnotherPaneEndsTheRecording) {
    PreferencesRouter router;
    PreferencesView view(router);
    view.resize(1020, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    router.setSelectedTab(PreferencesTab::shortcuts);
    auto* shortcuts = qobject_cast<KeyboardShortcutsView*>(view.pane());
    ASSERT_NE(shortcuts, nullptr);
    click(shortcuts->recorder("resetBrightness"));
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    router.setSelectedTab(PreferencesTab::power);
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_R, 0x1A0000));
    // The old pane takes no more keys.
    QTest::keyClick(view.windowHandle(), Qt::Key_J, Qt::ShiftModifier);
    EXPECT_EQ(binding("resetBrightness"), ShortcutManager::defaults()[1]);
}

TEST_F(ShortcutsPaneTest, RemoveAndRecordAgain) {
    open();
    SymbolButton* remove = pane->removeButton("resetBrightness");
    ASSERT_TRUE(remove->isEnabled());
    EXPECT_EQ(remove->toolTip(), "Remove this shortcut");
    const QRect place = remove->geometry();
    click(remove);

    const HotkeyBinding removed = binding("resetBrightness");
    EXPECT_FALSE(removed.isEnabled);
    EXPECT_EQ(removed.keyCode, KeyCodes::kVK_ANSI_R);  // kept for later
    EXPECT_EQ(recorder("resetBrightness")->state(), State::off);
    EXPECT_EQ(recorder("resetBrightness")->displayText(), "Record Shortcut");
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_EQ(remove->contentOpacity(), 0.0);
    EXPECT_EQ(remove->geometry(), place);
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_FALSE(grabs(KeyCodes::kVK_ANSI_R, 0x1A0000));
    click(remove);  // cannot be clicked any more
    EXPECT_FALSE(binding("resetBrightness").isEnabled);

    click(recorder("resetBrightness"));
    press(Qt::Key_B, Qt::AltModifier | Qt::ControlModifier);
    EXPECT_TRUE(binding("resetBrightness").isEnabled);
    EXPECT_EQ(recorder("resetBrightness")->keyCaps(), (QStringList{"⌃", "⌥", "B"}));
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_EQ(remove->contentOpacity(), 1.0);
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_B, KeyCodes::maskControl | KeyCodes::maskAlternate));
}

TEST_F(ShortcutsPaneTest, ResetOrRemoveDuringARecordingKeepTheHotKeysOffUntilItEnds) {
    open();
    ShortcutManager::shared().updateBinding("clipboardHistory", KeyCodes::kVK_ANSI_C, KeyCodes::maskControl);
    ShortcutManager::shared().disableBinding("resetBrightness");

    click(recorder("resetBrightness"));
    click(pane->resetButton());
    EXPECT_EQ(ShortcutManager::shared().bindings(), ShortcutManager::defaults());
    EXPECT_EQ(pane->recordingID(), "resetBrightness");  // the recording goes on
    EXPECT_EQ(recorder("resetBrightness")->state(), State::recording);
    EXPECT_EQ(recorder("clipboardHistory")->keyCaps(), (QStringList{"⇧", "⌘", "V"}));
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabber->grabbed.empty());

    click(pane->removeButton("clipboardHistory"));
    EXPECT_FALSE(binding("clipboardHistory").isEnabled);
    EXPECT_EQ(pane->recordingID(), "resetBrightness");
    EXPECT_FALSE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_TRUE(grabber->grabbed.empty());

    // The recording still takes its combination, then the hot keys come back.
    press(Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(binding("resetBrightness").keyCode, KeyCodes::kVK_F2);
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_EQ(grabber->grabbed,
              (std::vector<FakeHotkeyGrabber::Combination>{{KeyCodes::kVK_F2, KeyCodes::maskShift}}));

    // Reset while idle grabs the defaults at once.
    click(pane->resetButton());
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_V, kShiftCommand));
    EXPECT_TRUE(grabs(KeyCodes::kVK_ANSI_R, 0x1A0000));
    EXPECT_EQ(recorder("resetBrightness")->keyCaps(), (QStringList{"⌥", "⇧", "⌘", "R"}));
}

TEST_F(ShortcutsPaneTest, ACombinationAnotherProgramHoldsIsReportedOnItsRow) {
    grabber->taken.insert({KeyCodes::kVK_ANSI_V, kShiftCommand});
    GlobalHotkeyMonitor::restartMonitoring();
    open();
    EXPECT_FALSE(pane->problemLabel("clipboardHistory")->isHidden());
    EXPECT_EQ(pane->problemLabel("clipboardHistory")->text(), "Another program already uses this shortcut.");
    EXPECT_TRUE(pane->problemLabel("resetBrightness")->isHidden());

    // While the row records, the old report is gone; a free combination clears it.
    click(recorder("clipboardHistory"));
    EXPECT_TRUE(pane->problemLabel("clipboardHistory")->isHidden());
    press(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(pane->problemLabel("clipboardHistory")->isHidden());

    // Taken by another program later: reported once the grabs are made again.
    grabber->taken.insert({KeyCodes::kVK_ANSI_R, 0x1A0000});
    click(pane->resetButton());
    EXPECT_EQ(pane->problemLabel("clipboardHistory")->text(), "Another program already uses this shortcut.");
    EXPECT_EQ(pane->problemLabel("resetBrightness")->text(), "Another program already uses this shortcut.");
    // A removed binding is not reported.
    click(pane->removeButton("resetBrightness"));
    EXPECT_TRUE(pane->problemLabel("resetBrightness")->isHidden());
}

TEST(ShortcutRecorderButton, SizesAndNamesFollowTheState) {
    HotkeyBinding binding{"x", "X", 200, KeyCodes::maskCommand, true};
    ShortcutRecorderButton button(binding);
    EXPECT_EQ(button.keyCaps(), (QStringList{"⌘", "Key200"}));
    const int capsWidth = button.sizeHint().width();
    EXPECT_EQ(button.sizeHint().height(), 24);
    // A key cap is never narrower than 24 and a long name widens it.
    EXPECT_EQ(ShortcutRecorderButton::keyCapWidth("⌘"), 24);
    EXPECT_GT(ShortcutRecorderButton::keyCapWidth("Key200"), 24);
    EXPECT_EQ(capsWidth, int(24 + 3 + ShortcutRecorderButton::keyCapWidth("Key200")));

    binding.isEnabled = false;
    button.setBinding(binding);
    EXPECT_EQ(button.displayText(), "Record Shortcut");
    button.setRecording(true);
    EXPECT_EQ(button.displayText(), "Press keys…");
    EXPECT_EQ(button.sizeHint().height(), 24);

    // Recording draws the red dot; the key caps fill their rounded squares.
    button.resize(button.sizeHint());
    TestSupport::spin(400);
    const QImage recording = button.grab().toImage();
    const QColor dot = recording.pixelColor(int((10 + 3) * recording.devicePixelRatio()),
                                            int(12 * recording.devicePixelRatio()));
    EXPECT_GT(dot.red(), 180);
    EXPECT_LT(dot.green(), 120);
}
