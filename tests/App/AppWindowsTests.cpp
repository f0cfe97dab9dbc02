// The program's own windows on the offscreen platform, as without a window manager: no title bar,
// so the standard close keys close each of them, wherever the focus is inside.
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/CodeTextView.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

TEST(AppWindows, TheStandardCloseKeysCloseEachWindow) {
    const std::pair<const char*, std::function<QWidget*()>> windows[] = {
        {"toolbox",
         [] {
             ToolboxWindowController::shared().show();
             return ToolboxWindowController::shared().window();
         }},
        {"settings",
         [] {
             PreferencesWindowController::shared().show();
             return PreferencesWindowController::shared().window();
         }},
        {"release notes",
         [] {
             ChangelogWindowController::shared().show();
             return ChangelogWindowController::shared().window();
         }},
        {"welcome",
         [] {
             WelcomeWindowController::shared().show();
             return WelcomeWindowController::shared().window();
         }},
    };
    for (const auto& [what, show] : windows) {
        for (const Qt::Key key : {Qt::Key_W, Qt::Key_F4}) {
            SCOPED_TRACE(std::string(what) + (key == Qt::Key_W ? " Ctrl+W" : " Ctrl+F4"));
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
            QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier);
            EXPECT_TRUE(TestSupport::waitFor([&] { return !window->isVisible(); }));
            window->hide();
        }
    }
}
