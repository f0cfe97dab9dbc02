// The clipboard popup on a real X server: the hot key through a passive grab, keys typed into
// the panel, and a paste into a window that had the focus before the popup opened.
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/Screens.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <gtest/gtest.h>

#include <vector>

#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

// Copies a text the way another program would, and lets the store record it.
void copyText(const QString& text) {
    ClipboardManager& store = ClipboardManager::shared();
    const size_t before = store.history().size();
    QGuiApplication::clipboard()->setText(text);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        store.checkClipboard();
        return store.history().size() > before;
    }, 3000));
}

}  // namespace

TEST(ClipboardPopupX11, TheHotKeyOpensAtThePointerTypingFiltersAndReturnPastes) {
    ASSERT_NE(X11Test::display(), nullptr) << "This test needs an X server (QT_QPA_PLATFORM=xcb).";
    ClipboardManager& store = ClipboardManager::shared();
    store.clear();
    copyText("alpha text");
    copyText("beta text");
    copyText("gamma text");
    copyText("pinned text");
    for (const ClipboardItem& item : store.history())
        if (item.content.textValue() == "pinned text") store.togglePin(item.id);

    // A window of our own holds the keyboard focus, as any program might.
    QLineEdit editor;
    editor.setWindowTitle("editor");
    editor.resize(300, 40);
    editor.move(40, 40);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return QGuiApplication::focusWindow() == editor.windowHandle(); }, 3000));

    ClipboardPopupController::install();
    GlobalHotkeyMonitor::startMonitoring();
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    ClipboardPopupController& popup = ClipboardPopupController::shared();

    QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint pointer = screen->geometry().topLeft() + QPoint(500, 300);
    QCursor::setPos(pointer);
    ASSERT_TRUE(TestSupport::waitFor([&] { return QCursor::pos() == pointer; }, 2000));

    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.panel() && popup.panel()->isVisible(); }, 3000));
    // The main card opens under the pointer: its left edge 16 to the left, its top at it.
    const QRectF main = *popup.mainFrameOnScreen();
    const QPointF up = Screens::fromQt(QPointF(pointer));
    EXPECT_EQ(main.x(), up.x() - 16);
    EXPECT_EQ(main.y() + main.height(), up.y());
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.panel()->isActiveWindow(); }, 3000));
    EXPECT_EQ(popup.model().history().size(), 3u);

    // Typing filters the list.
    for (KeySym key : {XK_b, XK_e, XK_t}) X11Test::pressKeys({}, key);
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.model().searchQuery() == "bet"; }, 3000));
    ASSERT_EQ(popup.model().history().size(), 1u);
    EXPECT_EQ(popup.model().history()[0].content.textValue(), "beta text");

    // What the screen shows (no compositor here: the panel is cut to its cards).
    TestSupport::spin(300);
    const QRect area = popup.panel()->geometry().adjusted(-20, -20, 20, 20);
    screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/clipboard-popup-x11.png");

    // Down and Return paste the row into the window that had the focus, and the popup closes.
    X11Test::pressKeys({}, XK_Down);
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.model().highlightedRow() == 0; }, 3000));
    X11Test::pressKeys({}, XK_Return);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !popup.isOpen(); }, 3000));
    EXPECT_TRUE(TestSupport::waitFor([&] { return editor.text() == "beta text"; }, 5000)) << editor.text().toStdString();
    EXPECT_FALSE(GlobalHotkeyMonitor::hasInterceptor());

    // A click elsewhere on the screen closes it.
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.isOpen() && popup.panel()->isVisible(); }, 3000));
    TestSupport::spin(100);
    const QPoint away = screen->geometry().bottomRight() - QPoint(20, 20);
    X11Test::click(away);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !popup.isOpen(); }, 3000));
    QCursor::setPos(pointer);

    // The hot key opens it again and closes it on the second press.
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    ASSERT_TRUE(TestSupport::waitFor([&] { return popup.isOpen(); }, 3000));
    X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !popup.isOpen(); }, 3000));
    GlobalHotkeyMonitor::stopMonitoring();
}
