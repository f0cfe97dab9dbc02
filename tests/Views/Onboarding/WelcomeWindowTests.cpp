// The first-run welcome window offscreen: its texts and buttons, the access card following the
// session's access, the hot keys restarted once when access arrives, Return on the main button,
// one window however often it is shown, and the first-start rule.
#include "FakeHotkeyGrabber.h"
#include "FakeInputAccess.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/Onboarding/OnboardingSettings.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"
#include "Views/Onboarding/WelcomeView.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

QStringList labelTexts(const QWidget* root) {
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>()) texts << label->text();
    return texts;
}

int welcomeWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "WelcomeWindow") ++count;
    return count;
}

class WelcomeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        auto fake = std::make_unique<FakeHotkeyGrabber>();
        grabber = fake.get();
        GlobalHotkeyMonitor::setGrabber(std::move(fake));
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        GlobalHotkeyMonitor::startMonitoring();
    }
    void TearDown() override {
        GlobalHotkeyMonitor::stopMonitoring();
        GlobalHotkeyMonitor::setGrabber(nullptr);
    }

    FakeInputAccess access;
    FakeHotkeyGrabber* grabber = nullptr;
};

}  // namespace

TEST_F(WelcomeWindow, ShowsTheGreetingTheFeaturesAndTheAccessCard) {
    access.granted = false;
    WelcomeView view([] {}, access);
    const QStringList texts = labelTexts(&view);
    for (const char* expected :
         {"Welcome to Quorvin", "Your Mac at a glance, right from the menu bar.", "Live system stats",
          "CPU, memory, network and disk — click the cat in the menu bar.", "Clipboard history",
          "Everything you copy, one shortcut away: ⌘⇧V.", "A companion",
          "A little pet walks your menu bar and reacts to your Mac.", "Accessibility access",
          "Quorvin uses it for its keyboard shortcuts, to paste from your clipboard history, and to lock the keyboard "
          "while you wipe it clean. It never records what you type, and nothing leaves your Mac.",
          "You can change this later in System Settings."})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(view.successText(), QString::fromUtf8("All set — your shortcuts are on."));

    // The title's look: 26 px bold, tightened.
    auto* title = view.findChild<QLabel*>("WelcomeTitle");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->font().pixelSize(), 26);
    EXPECT_EQ(title->font().weight(), QFont::Bold);
    EXPECT_NEAR(title->font().letterSpacing(), -0.4, 0.02);

    // Without access: the request layer shows, the all-set line does not, and the button says so.
    EXPECT_FALSE(view.trusted());
    EXPECT_EQ(view.statusText(), "Not allowed yet");
    EXPECT_EQ(view.mainButton()->text(), "Continue Without It");
    EXPECT_DOUBLE_EQ(view.requestOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(view.successOpacity(), 0.0);
    EXPECT_FALSE(view.requestLayer()->testAttribute(Qt::WA_TransparentForMouseEvents));

    // One button only, and it is the default.
    EXPECT_EQ(view.findChildren<QPushButton*>().size(), 1);
    EXPECT_TRUE(view.mainButton()->isDefault());
}

// The background moves the window, but only a drag does: a tap leaves it where it is (a window
// manager handed a move on the press keeps it stuck to the pointer after the release).
TEST_F(WelcomeWindow, OnlyADragOnTheBackgroundMovesTheWindow) {
    struct Moving : WelcomeView {
        using WelcomeView::WelcomeView;
        int moves = 0;
        bool startWindowMove() override { return ++moves, true; }
    };
    Moving view([] {}, access);
    view.resize(540, 650);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QWindow* window = view.windowHandle();
    const int step = QApplication::startDragDistance();
    // A point of the background, and one on a text (texts are background too).
    QPoint background(-1, -1), onText(-1, -1);
    for (int y = 4; y < view.height() && (background.x() < 0 || onText.x() < 0); y += 6)
        for (int x = 4; x < view.width() - 2 * step; x += 6) {
            QWidget* child = view.childAt(x, y);
            if (!child && background.x() < 0) background = QPoint(x, y);
            if (qobject_cast<QLabel*>(child) && onText.x() < 0) onText = QPoint(x, y);
        }
    ASSERT_GE(background.x(), 0);
    ASSERT_GE(onText.x(), 0);

    for (const QPoint& at : {background, onText}) {
        view.moves = 0;
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
        EXPECT_EQ(view.moves, 0) << "a tap";

        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QTest::mouseMove(window, at + QPoint(step / 2, 0));
        EXPECT_EQ(view.moves, 0) << "a tremble under the drag distance";
        QTest::mouseMove(window, at + QPoint(step + 1, 1));
        EXPECT_EQ(view.moves, 1) << "a drag";
        QTest::mouseMove(window, at + QPoint(2 * step, 2));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at + QPoint(2 * step, 2));
        EXPECT_EQ(view.moves, 1) << "one move per drag";

        // Moving after the release, with no button held, starts nothing.
        QTest::mouseMove(window, at);
        QTest::mouseMove(window, at + QPoint(2 * step, 0));
        EXPECT_EQ(view.moves, 1);
    }
}

TEST_F(WelcomeWindow, AlreadyGrantedShowsAllowedAtOnceAndTheRequestLayerTakesNoClicks) {
    access.granted = true;
    WelcomeView view([] {}, access);
    EXPECT_TRUE(view.trusted());
    EXPECT_EQ(view.statusText(), "Allowed");
    EXPECT_EQ(view.mainButton()->text(), "Get Started");
    EXPECT_DOUBLE_EQ(view.requestOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(view.successOpacity(), 1.0);
    EXPECT_TRUE(view.requestLayer()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(view.requestLayer()->isEnabled());
}

TEST_F(WelcomeWindow, AShortcutAnotherProgramHoldsIsNamedInsteadOfAllSet) {
    access.granted = true;
    grabber->taken.insert({9, 0x120000});  // ⌘⇧V
    GlobalHotkeyMonitor::restartMonitoring();
    WelcomeView view([] {}, access);
    EXPECT_EQ(view.successText(), QString::fromUtf8("⇧⌘V (Clipboard History) is taken by another program. Change it in "
                                                    "Settings → Shortcuts."));
    EXPECT_EQ(view.successSymbol(), "exclamationmark.triangle.fill");
    EXPECT_DOUBLE_EQ(view.successOpacity(), 1.0);

    // Both taken: both named. Freed: the card says all is set again.
    grabber->taken.insert({15, 0x1A0000});
    GlobalHotkeyMonitor::restartMonitoring();
    EXPECT_TRUE(view.successText().contains("(Clipboard History) is taken by another program; "));
    EXPECT_TRUE(
        view.successText().endsWith("(Reset Brightness) is taken by another program. Change them in "
                                    "Settings → Shortcuts."));
    grabber->taken.clear();
    GlobalHotkeyMonitor::restartMonitoring();
    EXPECT_EQ(view.successText(), QString::fromUtf8("All set — your shortcuts are on."));
    EXPECT_EQ(view.successSymbol(), "checkmark.seal.fill");
}

TEST_F(WelcomeWindow, AccessArrivingFlipsTheLookAndRestartsTheHotKeysExactlyOnce) {
    access.granted = false;
    WelcomeView view([] {}, access);
    const int restartsBefore = grabber->ungrabCalls;

    view.poll();  // nothing changed: nothing happens
    EXPECT_EQ(grabber->ungrabCalls, restartsBefore);

    access.granted = true;
    view.poll();
    EXPECT_TRUE(view.trusted());
    EXPECT_EQ(view.statusText(), "Allowed");
    EXPECT_EQ(view.mainButton()->text(), "Get Started");
    EXPECT_EQ(grabber->ungrabCalls, restartsBefore + 1);
    EXPECT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    EXPECT_EQ(grabber->grabbed.size(), 2u);
    // The layers cross-fade, then settle.
    ASSERT_TRUE(TestSupport::waitFor([&] { return view.successOpacity() == 1.0; }, 2000));
    EXPECT_DOUBLE_EQ(view.requestOpacity(), 0.0);
    EXPECT_TRUE(view.requestLayer()->testAttribute(Qt::WA_TransparentForMouseEvents));

    // Further polls with the same answer restart nothing.
    view.poll();
    view.poll();
    EXPECT_EQ(grabber->ungrabCalls, restartsBefore + 1);

    // Withdrawn: back to the first look, and no restart.
    access.granted = false;
    view.poll();
    EXPECT_FALSE(view.trusted());
    EXPECT_EQ(view.statusText(), "Not allowed yet");
    EXPECT_EQ(view.mainButton()->text(), "Continue Without It");
    EXPECT_FALSE(view.requestLayer()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(grabber->ungrabCalls, restartsBefore + 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return view.requestOpacity() == 1.0; }, 2000));
}

TEST_F(WelcomeWindow, TheCardSaysWhatDoesNotWorkInEachSessionWithoutAccess) {
    access.granted = false;
    access.kind = InputAccess::Session::wayland;
    WelcomeView wayland([] {}, access);
    EXPECT_TRUE(wayland.requestText().contains("Wayland"));
    EXPECT_TRUE(wayland.requestText().contains("keyboard shortcuts"));
    EXPECT_TRUE(wayland.requestText().contains("X11 session"));

    access.kind = InputAccess::Session::x11;
    WelcomeView x11([] {}, access);
    EXPECT_TRUE(x11.requestText().contains("XTEST"));
    access.kind = InputAccess::Session::none;
    WelcomeView none([] {}, access);
    EXPECT_TRUE(none.requestText().contains("no X server"));
}

TEST_F(WelcomeWindow, PollsOnceASecondOnlyWhileShown) {
    access.granted = false;
    WelcomeWindowController controller(access);
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    EXPECT_TRUE(controller.view()->isPolling());
    access.granted = true;
    const int restartsBefore = grabber->ungrabCalls;
    // The next tick, within about a second, picks it up by itself.
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller.view()->trusted(); }, 1600));
    EXPECT_EQ(grabber->ungrabCalls, restartsBefore + 1);

    controller.window()->close();
    EXPECT_FALSE(controller.view()->isPolling());
    const int checks = access.checks;
    TestSupport::spin(1200);
    EXPECT_EQ(access.checks, checks);
}

TEST_F(WelcomeWindow, ReturnOrTheCloseButtonClosesItAndItIsBuiltOnce) {
    access.granted = false;
    WelcomeWindowController controller(access);
    const int before = welcomeWindows();
    controller.show();
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(welcomeWindows(), before + 1);

    // 540 × 650, neither resizable nor minimisable; no title text.
    EXPECT_EQ(window->size(), QSize(540, 650));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window->windowTitle().isEmpty());

    // Return presses the main button, which closes the window; nothing is stored.
    const QStringList keysBefore = UserDefaults::standard().keys();
    QTest::keyClick(controller.view(), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(UserDefaults::standard().keys(), keysBefore);

    // Shown again: the same window and view.
    WelcomeView* view = controller.view();
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(controller.view(), view);
    EXPECT_EQ(welcomeWindows(), before + 1);
    // The title bar's close button does what the main button does.
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(controller.window(), window);

    // Enter on the keypad and a click on the button close it too.
    controller.show();
    QTest::keyClick(controller.view(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(window->isVisible());
    controller.show();
    QTest::mouseClick(controller.view()->mainButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WelcomeWindow, FirstStartStoresTheFlagBeforeShowingAndNeverShowsAgain) {
    UserDefaults store{QString()};
    OnboardingSettings settings(store);
    access.granted = true;
    WelcomeWindowController controller(access);

    bool shownWhenStored = true;
    QObject::connect(&settings.welcomeShown, &SettingBase::changed, [&] {
        shownWhenStored = controller.window() && controller.window()->isVisible();
    });
    EXPECT_TRUE(controller.showOnFirstLaunch(settings));
    EXPECT_TRUE(settings.welcomeShown.value());
    EXPECT_FALSE(shownWhenStored);
    ASSERT_NE(controller.window(), nullptr);
    EXPECT_TRUE(controller.window()->isVisible());
    controller.window()->close();

    EXPECT_FALSE(controller.showOnFirstLaunch(settings));
    EXPECT_FALSE(controller.window()->isVisible());

    // Already stored by an earlier run (which may have quit during the welcome): never shown.
    UserDefaults earlier{QString()};
    earlier.setBool("welcomeShown", true);
    OnboardingSettings later(earlier);
    WelcomeWindowController fresh(access);
    EXPECT_FALSE(fresh.showOnFirstLaunch(later));
    EXPECT_EQ(fresh.window(), nullptr);

    // The scheduled check waits its 0.6 s.
    UserDefaults blank{QString()};
    OnboardingSettings first(blank);
    WelcomeWindowController scheduled(access);
    scheduled.scheduleFirstLaunch(first);
    TestSupport::spin(300);
    EXPECT_EQ(scheduled.window(), nullptr);
    EXPECT_FALSE(first.welcomeShown.value());
    ASSERT_TRUE(TestSupport::waitFor([&] { return scheduled.window() && scheduled.window()->isVisible(); }, 2000));
    EXPECT_TRUE(first.welcomeShown.value());
    scheduled.window()->close();
}
