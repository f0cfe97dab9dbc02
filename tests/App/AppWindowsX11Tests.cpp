// The program's own windows on an X server without a window manager: no title bar, so the standard
// close keys, pressed on the keyboard, close each of them, wherever the focus is inside.
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/CodeTextView.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/keysym.h>

namespace {
template <typename Controller>
QWidget* shown(Controller& controller) {
    controller.show();
    return controller.window();
}
}  // namespace

TEST(AppWindowsX11, TheStandardCloseKeysCloseEachWindow) {
    ASSERT_NE(X11Test::display(), nullptr);
    ASSERT_FALSE(X11Test::windowManagerRuns());
    const std::pair<const char*, std::function<QWidget*()>> windows[] = {
        {"toolbox", [] { return shown(ToolboxWindowController::shared()); }},
        {"settings", [] { return shown(PreferencesWindowController::shared()); }},
        {"release notes", [] { return shown(ChangelogWindowController::shared()); }},
        {"welcome", [] { return shown(WelcomeWindowController::shared()); }},
    };
    for (const auto& [what, show] : windows) {
        for (const KeySym key : {XK_w, XK_F4}) {
            SCOPED_TRACE(std::string(what) + (key == XK_w ? " Ctrl+W" : " Ctrl+F4"));
            QWidget* window = show();
            ASSERT_NE(window, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            // Typing in one of its text fields, an editor first, where it has one.
            QWidget* field = nullptr;
            for (CodeTextView* editor : window->findChildren<CodeTextView*>())
                if (!field && editor->isVisible() && editor->isEditable()) field = editor;
            if (!field) field = window->findChild<QLineEdit*>();
            if (field && field->isVisible()) {
                field->setFocus(Qt::OtherFocusReason);
                ASSERT_TRUE(TestSupport::waitFor([&] { return field->hasFocus(); }));
            }
            X11Test::pressKeys({XK_Control_L}, key);
            EXPECT_TRUE(TestSupport::waitFor([&] { return !window->isVisible(); }));
            window->hide();
        }
    }
}

TEST(AppWindowsX11, TheKeyboardGoesBackToTheWindowThatHadItBefore) {
    // Nobody else gives it on: the keys the user presses next reach our window that had it before,
    // closing the windows one after the other, back along all of them.
    ASSERT_NE(X11Test::display(), nullptr);
    ASSERT_FALSE(X11Test::windowManagerRuns());
    QWidget* toolbox = shown(ToolboxWindowController::shared());
    ASSERT_TRUE(QTest::qWaitForWindowActive(toolbox));
    QWidget* settings = shown(PreferencesWindowController::shared());
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
    QWidget* notes = shown(ChangelogWindowController::shared());
    ASSERT_TRUE(QTest::qWaitForWindowActive(notes));
    ASSERT_TRUE(settings->isVisible() && toolbox->isVisible());

    X11Test::pressKeys({XK_Control_L}, XK_w);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !notes->isVisible(); }));
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
    X11Test::pressKeys({XK_Control_L}, XK_w);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !settings->isVisible(); }));
    EXPECT_TRUE(QTest::qWaitForWindowActive(toolbox));
    X11Test::pressKeys({XK_Control_L}, XK_w);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !toolbox->isVisible(); }));
    settings->hide();
    toolbox->hide();
}
