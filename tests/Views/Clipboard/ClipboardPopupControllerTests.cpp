#include "ClipboardPopupTestSupport.h"

#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"

#include <QElapsedTimer>
#include <QTest>

using namespace KeyCodes;
using ClipboardPopupOpening = PopupTestBase;
using ClipboardPopupKeys = PopupTestBase;
using ClipboardPopupPaste = PopupTestBase;
using ClipboardPopupPointer = PopupTestBase;

namespace L = ClipboardPopupLayout;

// MARK: Opening and closing

TEST_F(ClipboardPopupOpening, OpensAtThePointerWithTheUnpinnedItems) {
    copyText("alpha");
    copyText("beta");
    copyText("gamma");
    pin("beta");
    const QRectF vis = Screens::visibleFrame(QGuiApplication::primaryScreen());
    pointer = QPointF(vis.x() + 300, vis.y() + vis.height() - 100);  // near the top: opens downward
    workspace.front = RunningApplication{4242, "org.example.Editor.desktop", "Editor", "/e"};

    controller->show();
    ASSERT_TRUE(controller->panel());
    EXPECT_TRUE(controller->panel()->isVisible());
    EXPECT_EQ(rowTexts(), (QStringList{"gamma", "alpha"}));
    EXPECT_EQ(controller->previousApp()->pid, 4242);
    EXPECT_FALSE(controller->compositeState().growsUpward());
    EXPECT_EQ(controller->compositeState().shelfHeight(), 40);

    const QRectF main = *controller->mainFrameOnScreen();
    EXPECT_EQ(main.x(), pointer.x() - 16);
    EXPECT_EQ(main.y() + main.height(), pointer.y());
    EXPECT_EQ(main.width(), std::ceil(controller->calculateOptimalWidth()) + 32);
    // The layout holds the main frame and the preview column beside it.
    const QRectF layout = *controller->layoutFrameOnScreen();
    EXPECT_TRUE(layout.contains(main));
    EXPECT_TRUE(layout.contains(*controller->previewColumnFrameOnScreen()));
    // The list and the pinned block stand where the cards are drawn.
    const QRectF list = *controller->listRectOnScreen();
    const QRectF shelf = *controller->shelfFrameOnScreen();
    EXPECT_EQ(shelf.y(), list.y() + list.height() + 30 + 12);
    EXPECT_TRUE(controller->paintedFrameOnScreen()->contains(shelf));
}

TEST_F(ClipboardPopupOpening, ShowingAgainClosesTheOpenPopupFirst) {
    copyText("one");
    controller->show();
    QPointer<KeyablePopupPanel> first = controller->panel();
    ASSERT_TRUE(first);
    EXPECT_TRUE(GlobalHotkeyMonitor::hasInterceptor());
    controller->show();
    ASSERT_TRUE(controller->panel());
    EXPECT_NE(controller->panel(), first.data());
    TestSupport::spin(20);
    EXPECT_TRUE(!first || !first->isVisible());
    EXPECT_TRUE(GlobalHotkeyMonitor::hasInterceptor());
    controller->dismiss(true);
    EXPECT_FALSE(GlobalHotkeyMonitor::hasInterceptor());
    EXPECT_FALSE(controller->isOpen());
    controller->dismiss(true);  // closed: nothing happens
}

TEST_F(ClipboardPopupOpening, AnimatedDismissalFadesAndReleasesThePanel) {
    copyText("one");
    controller->show();
    QPointer<KeyablePopupPanel> panel = controller->panel();
    controller->dismiss(false);
    EXPECT_FALSE(controller->isOpen());
    EXPECT_FALSE(key(kVK_DownArrow));  // keys are no longer taken
    EXPECT_TRUE(TestSupport::waitFor([&] { return panel.isNull(); }, 2000));
}

TEST_F(ClipboardPopupOpening, OutsideClicksCloseAndInsideClicksKeep) {
    copyText("one");
    controller->show();
    KeyablePopupPanel* panel = controller->panel();
    // A click in the drawn card keeps the popup.
    const QRectF painted = *controller->paintedFrameOnScreen();
    const QPoint inside = panel->mapFromGlobal(Screens::toQt(painted.center()).toPoint());
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, inside);
    EXPECT_TRUE(controller->isOpen());
    // The reserved but undrawn preview column does not count.
    const QRectF column = *controller->previewColumnFrameOnScreen();
    const QPoint outside = panel->mapFromGlobal(Screens::toQt(QPointF(column.center().x(), column.center().y())).toPoint());
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, outside);
    EXPECT_FALSE(controller->isOpen());
}

// MARK: Keyboard

TEST_F(ClipboardPopupKeys, QtKeyEventsOnThePanelReachTheKeyHandling) {
    copyText("abc");
    copyText("xyz");
    controller->show();
    // Keys reach the program's windows first, as the window system delivers them.
    QWindow* window = controller->panel()->windowHandle();
    ASSERT_TRUE(window);
    QTest::keyClick(window, 'X', Qt::ShiftModifier);
    QTest::keyClick(window, 'y');
    EXPECT_EQ(controller->model().searchQuery(), "Xy");
    EXPECT_EQ(rowTexts(), QStringList{"xyz"});
    QTest::keyClick(window, Qt::Key_Backspace);
    EXPECT_EQ(controller->model().searchQuery(), "X");
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(controller->model().highlightedRow(), 0);
}

TEST_F(ClipboardPopupKeys, PinningFromTheKeyboardAndItsLimit) {
    for (int i = 0; i < 7; ++i) copyText(QString::asprintf("item %d", i));
    controller->show();
    const double shelfBefore = controller->compositeState().shelfHeight();
    EXPECT_EQ(shelfBefore, 0);
    EXPECT_TRUE(key(kVK_ANSI_P, maskCommand));  // no highlight: consumed, nothing pinned
    EXPECT_EQ(manager->pinnedCount(), 0);
    for (int i = 0; i < 5; ++i) {
        key(kVK_Home);
        EXPECT_TRUE(key(kVK_ANSI_P, maskCommand));
    }
    EXPECT_EQ(manager->pinnedCount(), 5);
    EXPECT_EQ(controller->compositeState().shelfHeight(), 152);
    EXPECT_EQ(controller->model().history().size(), 2u);
    // The sixth shows the notice and leaves the store alone; asking again keeps it up longer.
    key(kVK_Home);
    EXPECT_TRUE(key(kVK_ANSI_P, maskCommand));
    EXPECT_TRUE(controller->model().pinLimitNoticeVisible());
    EXPECT_EQ(manager->pinnedCount(), 5);
    TestSupport::spin(1200);
    key(kVK_ANSI_P, maskCommand);
    TestSupport::spin(1500);
    EXPECT_TRUE(controller->model().pinLimitNoticeVisible());
    EXPECT_TRUE(TestSupport::waitFor([&] { return !controller->model().pinLimitNoticeVisible(); }, 2000));
}

TEST_F(ClipboardPopupKeys, KeyEffectsAreCarriedOutWhileOpenOnly) {
    copyText("x");
    copyText("y");
    controller->show();
    EXPECT_TRUE(key(kVK_ANSI_5, maskCommand, "5"));  // no fifth row: consumed, nothing pasted
    EXPECT_TRUE(controller->isOpen());
    key(kVK_DownArrow);
    EXPECT_TRUE(key(kVK_Delete, maskCommand));  // removed through the model, the popup stays
    EXPECT_TRUE(controller->isOpen());
    EXPECT_EQ(manager->history().size(), 1u);
    EXPECT_TRUE(key(kVK_Escape, 0, "\x1b"));
    EXPECT_FALSE(controller->isOpen());
    EXPECT_FALSE(key(kVK_ANSI_A, 0, "a"));  // closed: keys pass
    EXPECT_EQ(controller->model().searchQuery(), "");

    controller->show();
    EXPECT_TRUE(key(kVK_Delete, maskCommand | maskAlternate));
    EXPECT_FALSE(controller->isOpen());
    EXPECT_TRUE(TestSupport::waitFor([&] { return manager->history().empty(); }, 1000));
}

// MARK: Paste

TEST_F(ClipboardPopupPaste, ReturnBringsThePreviousAppBackThenPastes) {
    copyText("first");
    copyText("second");
    workspace.front = RunningApplication{4242, "org.example.Editor.desktop", "Editor", "/e"};
    controller->show();
    workspace.front.reset();  // the popup took the front meanwhile
    key(kVK_DownArrow);
    key(kVK_DownArrow);
    EXPECT_TRUE(key(kVK_Return));
    EXPECT_FALSE(controller->isOpen());
    EXPECT_TRUE(TestSupport::waitFor([&] { return pasteboard.writeCount() > 0; }, 1000));
    EXPECT_EQ(workspace.activated, std::vector<qint64>{4242});
    EXPECT_EQ(pasteboard.string(), QString("first"));
    EXPECT_FALSE(keys.events.isEmpty());  // the paste chord
}

TEST_F(ClipboardPopupPaste, AnAppThatNeverComesBackIsPastedIntoAfterTwentyPolls) {
    copyText("only");
    workspace.front = RunningApplication{7, "stubborn.desktop", "Stubborn", "/s"};
    controller->show();
    workspace.front.reset();
    workspace.stubborn = true;
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(key(kVK_ANSI_1, maskCommand, "1"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return pasteboard.writeCount() > 0; }, 2000));
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_EQ(workspace.activated.size(), 1u);  // asked once
    EXPECT_EQ(pasteboard.string(), QString("only"));
}

TEST_F(ClipboardPopupPaste, PlainPasteTakesTextOnly) {
    copyImage(40, 30);
    copyText("<b>bold</b>");
    controller->show();
    key(kVK_End);  // the image
    EXPECT_TRUE(key(kVK_Return, maskCommand));
    EXPECT_TRUE(controller->isOpen());  // an image has no plain text: nothing happens
    key(kVK_Home);
    EXPECT_TRUE(key(kVK_Return, maskCommand));
    EXPECT_FALSE(controller->isOpen());
    EXPECT_TRUE(TestSupport::waitFor([&] { return pasteboard.writeCount() > 0; }, 1000));
    EXPECT_EQ(pasteboard.string(), QString("<b>bold</b>"));
}

// MARK: Pointer and preview

TEST_F(ClipboardPopupPointer, HoverHighlightsAndALongTextGetsAPreviewAfterARest) {
    copyText("line one\nline two");
    copyText("short");
    controller->show();
    // The panel covers the cards only; the column stays where it is while the panel changes.
    auto* root = qobject_cast<ClipboardCompositeRootView*>(controller->containerView());
    ASSERT_TRUE(root);
    const QRect cardsOnly = controller->panel()->geometry();
    const QPoint column = root->mainColumn()->mapToGlobal(QPoint());
    EXPECT_LT(cardsOnly.height(), controller->layoutFrameOnScreen()->height() / 2);
    pointer = rowPoint(1);
    controller->mouseMovedToRow(1);
    EXPECT_EQ(controller->model().highlightedRow(), 1);
    EXPECT_TRUE(controller->isPreviewPending());
    EXPECT_FALSE(controller->compositeState().snapshot().preview);
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller->compositeState().snapshot().preview.has_value(); }, 1000));
    EXPECT_EQ(controller->currentPreviewRow(), 1);
    const auto preview = *controller->compositeState().snapshot().preview;
    EXPECT_EQ(preview.item.content.textValue(), "line one\nline two");
    // The test screen leaves less than 460 beside the popup: the card takes the room there is.
    EXPECT_LE(preview.bodyWidth, 460);
    EXPECT_GT(preview.bodyWidth, 300);
    EXPECT_EQ(preview.contentHeight, 120);
    // The card stands in the reserved column, is taken as drawn, and stays on the screen.
    const QRectF card = *controller->previewFrameOnScreen();
    EXPECT_TRUE(controller->previewColumnFrameOnScreen()->contains(card));
    EXPECT_TRUE(Screens::visibleFrame(QGuiApplication::primaryScreen()).contains(card));
    EXPECT_TRUE(controller->panel()->geometry().contains(Screens::toQt(card).toAlignedRect()));
    EXPECT_EQ(root->mainColumn()->mapToGlobal(QPoint()), column);

    // A short text that fits gets no preview: moving to it hides the open one, and the panel
    // goes back to the cards once the card has faded.
    pointer = rowPoint(0);
    controller->mouseMovedToRow(0);
    EXPECT_FALSE(controller->compositeState().snapshot().preview);
    EXPECT_FALSE(controller->isPreviewPending());
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller->panel()->geometry() == cardsOnly; }, 2000))
        << "the panel stays at " << controller->panel()->geometry().width() << "x"
        << controller->panel()->geometry().height();
    EXPECT_EQ(root->mainColumn()->mapToGlobal(QPoint()), column);
}

TEST_F(ClipboardPopupPointer, ThePreviewOutlastsAShortTripAcrossTheGap) {
    copyText("multi\nline");
    controller->show();
    pointer = rowPoint(0);
    controller->mouseMovedToRow(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller->compositeState().snapshot().preview.has_value(); }, 1000));
    const QRectF list = *controller->listRectOnScreen();
    const QRectF card = *controller->previewFrameOnScreen();
    // The gap between the cards lies in the preview's area: crossing it keeps the preview.
    const bool right = card.x() > list.x();
    pointer = QPointF(right ? list.x() + list.width() + 4 : list.x() - 4, pointer.y());
    controller->pointerMoved();
    EXPECT_FALSE(controller->isPreviewHidePending());
    // Off both (on the search line), then onto the card within 0.16 s: the preview stays.
    const QPointF searchLine(list.center().x(), list.y() + list.height() + 15);
    pointer = searchLine;
    controller->pointerMoved();
    EXPECT_TRUE(controller->isPreviewHidePending());
    pointer = card.center();
    controller->pointerMoved();
    EXPECT_FALSE(controller->isPreviewHidePending());
    TestSupport::spin(250);
    EXPECT_TRUE(controller->compositeState().snapshot().preview.has_value());
    // Resting outside both: highlight and preview go after 0.16 s.
    pointer = searchLine;
    controller->pointerMoved();
    EXPECT_TRUE(TestSupport::waitFor([&] { return !controller->compositeState().snapshot().preview; }, 1000));
    EXPECT_EQ(controller->model().highlightedRow(), -1);
}

TEST_F(ClipboardPopupPointer, KeyboardMovementWithThePointerOutsideShowsNoPreview) {
    copyText("multi\nline");
    controller->show();
    pointer = QPointF(0, 0);
    key(kVK_DownArrow);
    EXPECT_EQ(controller->model().highlightedRow(), 0);
    TestSupport::spin(500);
    EXPECT_FALSE(controller->compositeState().snapshot().preview);
}

TEST_F(ClipboardPopupPointer, ThePinnedRowUnderThePointerIsMarked) {
    copyText("p1");
    copyText("p2");
    copyText("listed");
    pin("p2");
    pin("p1");
    controller->show();
    key(kVK_DownArrow);
    const QRectF shelf = *controller->shelfFrameOnScreen();
    pointer = QPointF(shelf.center().x(), shelf.y() + shelf.height() - 6 - 28 - 10);  // the second pinned row
    controller->pointerMoved();
    ASSERT_TRUE(controller->model().hoveredPinnedItemID());
    EXPECT_EQ(*controller->model().hoveredPinnedItemID(), controller->model().pinnedItems()[1].id);
    EXPECT_EQ(controller->model().highlightedRow(), -1);
    pointer = rowPoint(0);
    controller->pointerMoved();
    EXPECT_FALSE(controller->model().hoveredPinnedItemID());
}

TEST_F(ClipboardPopupPointer, ScrollingSuspendsHoverAndPicksTheRowUnderThePointerAfterwards) {
    for (int i = 0; i < 30; ++i) copyText(QString::asprintf("row %d", i));
    controller->show();
    pointer = rowPoint(2);
    controller->mouseMovedToRow(2);
    controller->model().reportScrollPhase(true);
    EXPECT_TRUE(controller->model().isUserScrolling());
    EXPECT_EQ(controller->model().highlightedRow(), -1);
    controller->model().setScrollViewportMinY(28 * 5);
    controller->model().reportScrollPhase(false);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !controller->model().isUserScrolling(); }, 500));
    EXPECT_EQ(controller->model().highlightedRow(), 7);
}
