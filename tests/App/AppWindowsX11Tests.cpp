// The program's own windows on an X server without a window manager: no title bar, so the standard
// close keys, pressed on the keyboard, close each of them, wherever the focus is inside; and the
// keyboard, which nobody else gives on, after a window manager has left.
#include "Platform/Ui/AppWindow.h"
#include "Platform/X11/FocusHandBack.h"
#include "Platform/X11/KeyboardFocus.h"
#include "Platform/X11/X11Workspace.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Toolbox/CodeTextView.h"

#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
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

// Nor where a window along the way is gone: destroyed, or closed while another had the keyboard.
TEST(AppWindowsX11, TheKeyboardGoesBackPastAWindowThatIsGone) {
    ASSERT_NE(X11Test::display(), nullptr);
    ASSERT_FALSE(X11Test::windowManagerRuns());
    auto focused = [] {
        ::Window window = None;
        int revert = 0;
        XGetInputFocus(X11Test::display(), &window, &revert);
        return window;
    };
    auto make = [](const char* name, int x) {
        auto* window = new QWidget;
        AppWindow::prepare(window, QString::fromLatin1(name));
        new QLineEdit(window);
        window->setGeometry(x, 200, 240, 80);
        return window;
    };
    // How the window before the one with the keyboard goes meanwhile, and whether that one is then
    // closed with the keys or destroyed.
    const struct {
        std::string before;
        bool destroyed;
    } cases[] = {{"destroyed", false}, {"closed", false}, {"closed and deleted", false}, {"destroyed", true}};
    for (const auto& gone : cases) {
        SCOPED_TRACE(gone.before + (gone.destroyed ? ", the last destroyed" : ", the last closed"));
        std::unique_ptr<QWidget> a(make("a", 40)), c(make("c", 640));
        QPointer<QWidget> b = make("b", 340);
        for (QWidget* window : {a.get(), b.data(), c.get()}) {
            AppWindow::bringToFront(window);
            ASSERT_TRUE(TestSupport::waitFor([&] {
                return focused() == ::Window(window->winId()) &&
                       QGuiApplication::focusWindow() == window->windowHandle();
            }));
        }
        if (gone.before == "destroyed") {
            delete b;
        } else {
            b->setAttribute(Qt::WA_DeleteOnClose, gone.before == "closed and deleted");
            b->close();
        }
        if (gone.destroyed) {
            c.reset();
        } else {
            X11Test::pressKeys({XK_Control_L}, XK_w);
            ASSERT_TRUE(TestSupport::waitFor([&] { return !c->isVisible(); }));
        }
        EXPECT_TRUE(TestSupport::waitFor([&] { return focused() == ::Window(a->winId()); }));
        auto* field = a->findChild<QLineEdit*>();
        X11Test::pressKeys({}, XK_x);
        EXPECT_TRUE(TestSupport::waitFor([&] { return field->text() == QLatin1String("x"); }));
        delete b;
    }
}

// Without a window manager, the keyboard stays with the program that took it: a window of ours that
// shows without asking for it, the give-back after a popup and a window of ours that closes leave it.
TEST(AppWindowsX11, TheKeyboardStaysWithTheProgramThatTookIt) {
    ASSERT_NE(X11Test::display(), nullptr);
    ASSERT_FALSE(X11Test::windowManagerRuns());
    KeyboardFocus::install();
    FocusHandBack::install();
    X11Test::OtherProgram other, taker;
    auto give = [&](X11Test::OtherProgram& program) {
        XSetInputFocus(program.d, program.window, RevertToPointerRoot, CurrentTime);
        XSync(program.d, False);
        return other.focus() == program.window;
    };
    auto settle = [] {
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        XSync(X11Test::display(), False);
    };
    auto hears = [&](X11Test::OtherProgram& program) {
        const int heard = program.keysHeard();
        X11Test::pressKeys({}, XK_x);
        return TestSupport::waitFor([&] { return program.keysHeard() > heard; });
    };

    ASSERT_TRUE(give(other));
    {
        SCOPED_TRACE("a tooltip of ours shown");
        QWidget tip(nullptr, Qt::ToolTip);
        tip.setGeometry(40, 40, 160, 30);
        tip.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tip));
        settle();
        EXPECT_EQ(other.focus(), other.window);
        EXPECT_TRUE(hears(other));
    }
    {
        SCOPED_TRACE("the give-back after a popup, another program having taken the keyboard meanwhile");
        ASSERT_TRUE(give(taker));
        KeyboardFocus::giveBackAfterClose(uint32_t(other.window));
        settle();
        EXPECT_EQ(other.focus(), taker.window);
        EXPECT_TRUE(hears(taker));
    }
    {
        SCOPED_TRACE("a window of ours closing just after another program took the keyboard from it");
        QWidget a, c;
        AppWindow::prepare(&a, QStringLiteral("a"));
        AppWindow::prepare(&c, QStringLiteral("c"));
        a.setGeometry(40, 200, 240, 80);
        c.setGeometry(340, 200, 240, 80);
        for (QWidget* window : {&a, &c}) {
            AppWindow::bringToFront(window);
            ASSERT_TRUE(TestSupport::waitFor([&] {
                return other.focus() == ::Window(window->winId()) &&
                       QGuiApplication::focusWindow() == window->windowHandle();
            }));
        }
        // Closed before Qt has heard that it lost the keyboard.
        ASSERT_TRUE(give(taker));
        c.hide();
        settle();
        EXPECT_EQ(other.focus(), taker.window);
        EXPECT_TRUE(hears(taker));
    }
}

// A window manager that has quit leaves its check on the root, one killed its lists besides (which
// Qt reads to ask it for the keyboard): the program goes on as without one. The program in front is
// the one whose window has the keyboard, activating it gives its window the keyboard, and a popup of
// ours takes the keyboard itself: what is typed into it reaches it, not the window under it. The
// same holds through a window manager that replaced another, and one that starts again.
class AppWindowsWindowManagerLeftX11 : public ::testing::TestWithParam<std::string> {
protected:
    void TearDown() override {
        if (manager) {
            manager->kill();
            manager->waitForFinished(3000);
        }
        // The next test starts from a root without a window manager.
        X11Test::clearWindowManagerLeftovers();
    }

    std::unique_ptr<QProcess> manager;
};

TEST_P(AppWindowsWindowManagerLeftX11, TheKeyboardGoesWhereTheUserMeantIt) {
    Display* d = X11Test::display();
    ASSERT_NE(d, nullptr);
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty()) GTEST_SKIP() << "openbox is not installed";
    const std::string how = GetParam();
    X11Test::OtherProgram other;
    const qint64 otherPid = other.process.processId();
    X11Workspace workspace;
    manager = X11Test::startWindowManager(openbox);
    ASSERT_TRUE(manager);
    ASSERT_TRUE(other.activatedByTheWindowManager());

    if (how == "replaced") {
        std::unique_ptr<QProcess> next = X11Test::startWindowManager(openbox, {QStringLiteral("--replace")});
        ASSERT_TRUE(next);
        ASSERT_TRUE(TestSupport::waitFor([&] { return manager->state() == QProcess::NotRunning; }, 10000));
        manager = std::move(next);
        ASSERT_TRUE(other.activatedByTheWindowManager());
    } else {
        if (how == "killed") {
            manager->kill();
        } else {
            QProcess::execute(openbox, {QStringLiteral("--exit")});
        }
        ASSERT_TRUE(TestSupport::waitFor([&] { return manager->state() == QProcess::NotRunning; }, 10000));
        const ::Window root = DefaultRootWindow(d);
        ASSERT_FALSE(X11Test::propertyValues(root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty())
            << "openbox no longer leaves its check behind";
        if (how == "killed") {
            ASSERT_FALSE(X11Test::propertyValues(root, "_NET_SUPPORTED", XA_ATOM).empty())
                << "openbox killed no longer leaves its list behind";
        }
        ASSERT_FALSE(X11Test::windowManagerRuns());
        // The keyboard follows the pointer now: over the other program's window.
        const QPoint middle = X11Test::serverGeometry(other.window).center();
        XTestFakeMotionEvent(d, -1, middle.x(), middle.y(), CurrentTime);
        XSync(d, False);
    }
    const auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, otherPid);

    KeyablePopupPanel popup(QRect(100, 100, 240, 120));
    new QLineEdit(&popup);
    QDialog dialog;  // modal: Qt asks for the keyboard for it as it shows
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setGeometry(100, 300, 240, 80);
    new QLineEdit(&dialog);
    KeyboardFocus::install();
    auto typeInto = [&](QWidget* window, const char* when) {
        SCOPED_TRACE(when);
        auto* field = window->findChild<QLineEdit*>();
        field->clear();
        if (window == &popup) {
            popup.makeKeyAndOrderFront();
        } else {
            dialog.open();
        }
        field->setFocus();
        // The server's word: Qt may still take the window for active from when it was open before.
        ASSERT_TRUE(TestSupport::waitFor([&] { return other.focus() == ::Window(window->winId()); }));
        const int heard = other.keysHeard();
        X11Test::pressKeys({}, XK_w);
        X11Test::pressKeys({}, XK_m);
        EXPECT_TRUE(TestSupport::waitFor([&] { return field->text() == QLatin1String("wm"); }))
            << field->text().toStdString();
        EXPECT_EQ(other.keysHeard(), heard);
        window->hide();
    };
    typeInto(&popup, "the popup opened");
    typeInto(&dialog, "a modal window opened");

    // Closed, a paste goes back to the program: activated, its window has the keyboard.
    ASSERT_TRUE(workspace.activate(*front));
    EXPECT_TRUE(TestSupport::waitFor([&] { return other.focus() == other.window; }));
    const int heard = other.keysHeard();
    X11Test::pressKeys({}, XK_Return);
    EXPECT_TRUE(TestSupport::waitFor([&] { return other.keysHeard() > heard; }));

    if (how != "replaced") {
        manager = X11Test::startWindowManager(openbox);
        ASSERT_TRUE(manager);
        ASSERT_TRUE(other.activatedByTheWindowManager());
        typeInto(&popup, "a window manager started again");
    }
    X11Test::endProcess(*manager);
}

INSTANTIATE_TEST_SUITE_P(, AppWindowsWindowManagerLeftX11, ::testing::Values("quit", "killed", "replaced"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
