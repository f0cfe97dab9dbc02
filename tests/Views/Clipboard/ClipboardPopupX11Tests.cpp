// The clipboard popup on a real X server: the hot key through a passive grab, keys typed into
// the panel, and a paste into a window that had the focus before the popup opened, ours or another
// program's.
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/Screens.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Clipboard/PinnedMenuRow.h"
#include "ClipboardPopupTestSupport.h"
#include "TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "PasteTargetSupport.h"

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

// ⌘1 and ⌘↩ are pressed with Super held through the digit or Return, on the user's keyboard: the
// paste reaches the field that had the keyboard all the same once Super is let go (0.4 s later, or
// at once), a GTK entry of another program or a Qt field of ours, and no keyboard is left with a
// key down.
TEST(ClipboardPopupX11, APasteChosenWithSuperHeldReachesTheFieldThatHadTheKeyboard) {
    using namespace PasteTargets;
    ASSERT_NE(X11Test::display(), nullptr) << "This test needs an X server (QT_QPA_PLATFORM=xcb).";
    ClipboardManager& store = ClipboardManager::shared();
    store.clear();
    copyText("older text");
    copyText("chosen text");
    ClipboardPopupController::install();
    GlobalHotkeyMonitor::startMonitoring();
    ASSERT_TRUE(GlobalHotkeyMonitor::isMonitoring());
    ClipboardPopupController& popup = ClipboardPopupController::shared();
    Keyboards keyboards;
    ASSERT_TRUE(keyboards.user && keyboards.xtest);

    struct Row {
        bool gtk;  // else a Qt field of ours
        KeySym key;  // 1: ⌘1 pastes the first row; Return: ⌘↩ pastes the highlighted one as plain text
        bool stillHeld;  // 0.4 s after the key; else Super is let go right after it
    };
    const Row rows[] = {
        {true, XK_1, true}, {true, XK_Return, true}, {true, XK_1, false},
        {false, XK_1, true}, {false, XK_Return, true}, {false, XK_1, false},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.gtk ? "yad " : "Qt field ") + XKeysymToString(row.key) +
                     (row.stillHeld ? " held" : " let go"));
        const QString title = QStringLiteral("Super held target %1").arg(++index);
        TargetProgram program;
        QLineEdit editor;
        if (row.gtk) {
            ASSERT_NO_FATAL_FAILURE(program.start(gtkEntry(), title));
        } else {
            editor.setWindowTitle(title);
            editor.resize(300, 40);
            editor.show();
            editor.activateWindow();
            ASSERT_TRUE(
                TestSupport::waitFor([&] { return QGuiApplication::focusWindow() == editor.windowHandle(); }, 3000));
        }

        X11Test::pressKeys({XK_Super_L, XK_Shift_L}, XK_v);
        ASSERT_TRUE(TestSupport::waitFor([&] { return popup.isOpen() && popup.panel()->isActiveWindow(); }, 3000));
        ASSERT_FALSE(popup.model().history().empty());
        const QString chosen = popup.model().history()[0].content.textValue();
        if (row.key == XK_Return) {
            X11Test::pressKeys({}, XK_Down);
            ASSERT_TRUE(TestSupport::waitFor([&] { return popup.model().highlightedRow() == 0; }, 3000));
        }
        SelectionRequests requests(row.gtk ? program.window.toUInt() : uint32_t(editor.winId()));
        keyboards.press(XK_Super_L, true);
        X11Test::pressKeys({}, row.key);
        if (row.stillHeld) TestSupport::spin(400);
        keyboards.press(XK_Super_L, false);
        const bool closed = TestSupport::waitFor([&] { return !popup.isOpen(); }, 3000);
        const bool shown = closed && (row.gtk ? program.waitUntilShown(gtkEntry(), requests, chosen)
                                              : TestSupport::waitFor([&] { return editor.text() == chosen; }, 3000));
        EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
        EXPECT_TRUE(closed);
        EXPECT_TRUE(shown) << "nothing pasted" << (row.gtk ? "" : "; the field has: " + editor.text().toStdString());
        if (shown && row.gtk) program.expectText(gtkEntry(), chosen);
        if (!closed) popup.toggle();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !store.isPasting(); }, 3000));
    }
    GlobalHotkeyMonitor::stopMonitoring();
}

namespace {
// A window of one loud colour behind the popup: any of it seen through the popup is a hole.
class Backdrop : public QWidget {
public:
    static constexpr QRgb colour = 0xFF00FF;
    Backdrop() {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(colour)); }
};

bool isBackdrop(QRgb pixel) {
    return std::abs(qRed(pixel) - 255) < 40 && qGreen(pixel) < 60 && std::abs(qBlue(pixel) - 255) < 40;
}
}  // namespace

using ClipboardPopupX11Look = PopupTestBase;

TEST_F(ClipboardPopupX11Look, ThePinLimitNoticeIsDrawnWithoutACompositorBesideThePinnedRows) {
    ASSERT_NE(X11Test::display(), nullptr) << "This test needs an X server (QT_QPA_PLATFORM=xcb).";
    Backdrop backdrop;
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    for (int i = 0; i < 7; ++i) copyText(QString::asprintf("pinnable entry number %d", i));
    for (int i = 0; i < 5; ++i) pin(QString::asprintf("pinnable entry number %d", i));
    const QRectF vis = Screens::visibleFrame(QGuiApplication::primaryScreen());
    pointer = QPointF(vis.x() + 200, vis.y() + vis.height() - 60);
    controller->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->panel()));
    controller->model().setHighlightedRow(0);
    controller->pinHighlighted();
    ASSERT_TRUE(controller->model().pinLimitNoticeVisible());
    TestSupport::spin(600);

    auto* root = qobject_cast<ClipboardCompositeRootView*>(controller->containerView());
    ASSERT_TRUE(root);
    ClipboardPopupRootView* column = root->mainColumn();
    QWidget* notice = column->pinLimitNotice();
    ASSERT_TRUE(notice->isVisible());
    const QRect noticeArea(notice->mapToGlobal(QPoint(0, 0)), notice->size());
    PinnedMenuRow* firstPin = column->pinnedRows().value(0);
    ASSERT_TRUE(firstPin);
    const QRect firstPinArea(firstPin->mapToGlobal(QPoint(0, 0)), firstPin->size());
    EXPECT_FALSE(noticeArea.intersects(firstPinArea));

    const QRect area = controller->panel()->geometry();
    const QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    shot.save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/clipboard-pin-limit-notice-x11.png");
    // Inside the capsule (its round ends left out) nothing of the backdrop shows, and its text
    // stands out from its fill.
    const QRect inner = noticeArea.adjusted(noticeArea.height() / 2, 3, -noticeArea.height() / 2, -3).translated(-area.topLeft());
    int holes = 0, ink = 0;
    const QRgb fill = shot.pixel(inner.right() - 2, inner.top() + 1);
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            if (isBackdrop(pixel)) ++holes;
            if (std::abs(qGray(pixel) - qGray(fill)) > 80) ++ink;
        }
    }
    EXPECT_EQ(holes, 0);
    EXPECT_GT(ink, inner.width() * inner.height() / 40) << "no text in the notice";
}
