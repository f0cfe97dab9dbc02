#include "ClipboardTestSupport.h"

#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Clipboard/ClipboardPopupModel.h"

#include <QSignalSpy>

using namespace KeyCodes;
using Effect = ClipboardPopupModel::KeyEffect;
using Result = ClipboardPopupModel::KeyResult;

// The popup's state over a real store, without any window.
class ClipboardPopupModelTest : public ClipboardStoreTest {
protected:
    void SetUp() override {
        ClipboardStoreTest::SetUp();
        start();
        model = std::make_unique<ClipboardPopupModel>(*manager);
    }
    void TearDown() override {
        model.reset();
        ClipboardStoreTest::TearDown();
    }
    QStringList rows() const {
        QStringList texts;
        for (const ClipboardItem& item : model->history()) texts << item.content.textValue();
        return texts;
    }
    Result key(int keyCode, uint64_t flags = 0, const QString& characters = {}) {
        return model->reduceKey(keyCode, flags, characters);
    }

    std::unique_ptr<ClipboardPopupModel> model;
};

TEST_F(ClipboardPopupModelTest, SearchFiltersUnpinnedItemsIgnoringCaseAndConcealedOnes) {
    copyText("Hello World");
    copyText("another");
    copyText("hello again");
    copyText("pinned hello");
    pin("pinned hello");
    copyConcealed("hello secret");
    model->open();
    EXPECT_EQ(model->history().size(), 4u);  // the concealed item is listed while no query is typed
    model->setSearchQuery(" HELLO\t");
    EXPECT_EQ(rows(), (QStringList{"hello again", "Hello World"}));
    model->setSearchQuery("zzz");
    EXPECT_TRUE(model->history().empty());
    ASSERT_EQ(model->pinnedItems().size(), 1u);
    EXPECT_EQ(model->pinnedItems()[0].content.textValue(), "pinned hello");
}

TEST_F(ClipboardPopupModelTest, TheListFollowsTheStoreOnlyWhileOpen) {
    copyText("one");
    model->open();
    QSignalSpy changed(model.get(), &ClipboardPopupModel::historySnapshotChanged);
    copyText("two");
    EXPECT_TRUE(TestSupport::waitFor([&] { return model->history().size() == 2; }, 1000));
    model->close();
    changed.clear();
    copyText("three");
    TestSupport::spin(30);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(model->history().size(), 2u);
}

TEST_F(ClipboardPopupModelTest, OpeningResetsQueryHighlightHoverAndNotice) {
    copyText("a");
    copyText("b");
    model->open();
    model->setSearchQuery("a");
    model->setHighlight(0);
    model->setHoveredPinnedItemID(manager->history()[0].id);
    model->showPinLimitNotice();
    model->reportScrollPhase(true);
    model->open();
    EXPECT_EQ(model->searchQuery(), "");
    EXPECT_EQ(model->history().size(), 2u);
    EXPECT_EQ(model->highlightedRow(), -1);
    EXPECT_FALSE(model->keyboardScrollTarget());
    EXPECT_FALSE(model->hoveredPinnedItemID());
    EXPECT_FALSE(model->pinLimitNoticeVisible());
    EXPECT_FALSE(model->isUserScrolling());
}

TEST_F(ClipboardPopupModelTest, TypingEditsTheSearch) {
    copyText("a");
    model->open();
    EXPECT_EQ(key(kVK_ANSI_A, 0, "a"), Result{true});
    EXPECT_EQ(key(kVK_ANSI_B, maskShift, "B"), Result{true});
    EXPECT_EQ(model->searchQuery(), "aB");
    EXPECT_FALSE(key(kVK_ANSI_C, maskAlternate, "c").consumed);
    EXPECT_FALSE(key(kVK_ANSI_C, maskControl, "\x03").consumed);
    EXPECT_FALSE(key(kVK_LeftArrow, maskShift, QString()).consumed);
    EXPECT_TRUE(key(kVK_ANSI_A, maskAlphaShift, "A").consumed);  // Caps Lock is no modifier
    EXPECT_TRUE(key(kVK_Space, 0, " ").consumed);
    EXPECT_EQ(model->searchQuery(), "aBA ");
    EXPECT_TRUE(key(kVK_Delete, 0, "\b").consumed);
    EXPECT_TRUE(key(kVK_Delete, 0, "\b").consumed);
    EXPECT_EQ(model->searchQuery(), "aB");
    // A letter made of two code points goes with one Delete.
    key(kVK_ANSI_E, 0, QStringLiteral("e\u0301"));
    key(kVK_Delete, 0, "\b");
    EXPECT_EQ(model->searchQuery(), "aB");
    EXPECT_EQ(key(kVK_Escape, 0, "\x1b"), Result{true});
    EXPECT_EQ(model->searchQuery(), "");
    EXPECT_FALSE(key(kVK_Delete, 0, "\b").consumed);  // nothing to delete: not consumed
    EXPECT_FALSE(key(kVK_Tab, 0, "\t").consumed);
    EXPECT_EQ(key(kVK_Escape, 0, "\x1b"), (Result{true, Effect::dismiss}));
}

TEST_F(ClipboardPopupModelTest, ArrowsHomeAndEndMoveTheHighlightAndAskForItsPreview) {
    for (const char* t : {"1", "2", "3", "4"}) copyText(t);
    model->open();
    EXPECT_EQ(key(kVK_UpArrow), (Result{true, Effect::previewHighlight, 3}));  // Up starts at the bottom
    model->setHighlightedRow(-1);
    EXPECT_EQ(key(kVK_DownArrow), (Result{true, Effect::previewHighlight, 0}));  // Down starts at the top
    EXPECT_EQ(model->keyboardScrollTarget(), model->history()[0].id);
    EXPECT_EQ(key(kVK_End).row, 3);
    EXPECT_EQ(key(kVK_DownArrow).row, 3);  // stays on the last row
    EXPECT_EQ(model->keyboardScrollTarget(), model->history()[3].id);
    EXPECT_EQ(key(kVK_Home).row, 0);
    EXPECT_EQ(model->highlightedRow(), 0);
    EXPECT_FALSE(key(kVK_PageDown).consumed);
    // Typing clears the highlight.
    key(kVK_ANSI_1, 0, "1");
    EXPECT_EQ(model->highlightedRow(), -1);
    // An empty list: consumed, nothing to preview.
    model->setSearchQuery("nothing");
    EXPECT_EQ(key(kVK_DownArrow), Result{true});
    EXPECT_EQ(key(kVK_End), Result{true});
}

TEST_F(ClipboardPopupModelTest, CommandKeysNameTheirRowOrNothing) {
    copyImage(ClipboardTest::pngBytes(8, 8));
    copyText("text");
    model->open();
    // Nothing highlighted: consumed, no row.
    EXPECT_EQ(key(kVK_Return), Result{true});
    EXPECT_EQ(key(kVK_Return, maskCommand), Result{true});
    EXPECT_EQ(key(kVK_ANSI_P, maskCommand), Result{true});
    key(kVK_DownArrow);
    EXPECT_EQ(key(kVK_ANSI_KeypadEnter), (Result{true, Effect::paste, 0}));
    EXPECT_EQ(key(kVK_Return, maskCommand), (Result{true, Effect::pastePlain, 0}));
    EXPECT_EQ(key(kVK_ANSI_P, maskCommand), (Result{true, Effect::togglePin, 0}));
    EXPECT_EQ(key(kVK_ANSI_2, maskCommand, "2"), (Result{true, Effect::paste, 1}));
    EXPECT_EQ(key(kVK_ANSI_5, maskCommand, "5"), Result{true});  // no fifth row
    EXPECT_EQ(key(kVK_ANSI_Q, maskCommand), (Result{true, Effect::quit}));
    EXPECT_EQ(key(kVK_ANSI_Comma, maskCommand), (Result{true, Effect::openSettings}));
    EXPECT_EQ(key(kVK_ANSI_Period, maskCommand), (Result{true, Effect::openSettings}));
    EXPECT_EQ(key(kVK_Delete, maskCommand | maskAlternate), (Result{true, Effect::clearHistory}));
    EXPECT_FALSE(key(kVK_ANSI_V, maskCommand | maskShift, "V").consumed);  // the hot key itself
    EXPECT_FALSE(key(kVK_ANSI_Z, maskCommand, "z").consumed);
    EXPECT_FALSE(key(kVK_ANSI_A, maskControl | maskAlternate, "a").consumed);
    EXPECT_EQ(manager->history().size(), 2u);  // none of them touched the store
}

TEST_F(ClipboardPopupModelTest, CommandDeleteRemovesAndKeepsTheHighlightInPlace) {
    for (const char* t : {"c", "b", "a"}) copyText(t);  // rows a, b, c
    model->open();
    key(kVK_DownArrow);
    key(kVK_DownArrow);
    ASSERT_EQ(model->highlightedRow(), 1);
    EXPECT_EQ(key(kVK_Delete, maskCommand), Result{true});
    EXPECT_EQ(rows(), (QStringList{"a", "c"}));
    EXPECT_EQ(model->highlightedRow(), 1);
    key(kVK_Delete, maskCommand);
    EXPECT_EQ(model->highlightedRow(), 0);  // the last row went: the one above
    key(kVK_Delete, maskCommand);
    EXPECT_EQ(model->highlightedRow(), -1);
    EXPECT_TRUE(manager->history().empty());
    EXPECT_EQ(key(kVK_Delete, maskCommand), Result{true});  // nothing highlighted: consumed
}

TEST_F(ClipboardPopupModelTest, PinningInPlaceAndTheLimitNotice) {
    for (int i = 0; i < 7; ++i) copyText(QString::asprintf("item %d", i));
    model->open();
    for (int i = 0; i < 5; ++i) {
        model->setHighlight(0);
        model->setHoveredPinnedItemID(manager->history()[0].id);
        EXPECT_TRUE(model->togglePinInPlace(model->history()[0].id));
        EXPECT_EQ(model->highlightedRow(), -1);
        EXPECT_FALSE(model->keyboardScrollTarget());
        EXPECT_FALSE(model->hoveredPinnedItemID());
    }
    EXPECT_EQ(manager->pinnedCount(), 5);
    EXPECT_EQ(model->history().size(), 2u);
    // A sixth is refused with the notice; unpinning one is always allowed.
    const QUuid sixth = model->history()[0].id;
    EXPECT_TRUE(model->pinLimitReachedFor(sixth));
    EXPECT_FALSE(model->pinLimitReachedFor(manager->history()[0].id));
    EXPECT_FALSE(model->togglePinInPlace(sixth));
    EXPECT_TRUE(model->pinLimitNoticeVisible());
    EXPECT_EQ(manager->pinnedCount(), 5);
    // Asking again keeps the notice up until 2.2 s after the last request.
    TestSupport::spin(1200);
    model->togglePinInPlace(sixth);
    TestSupport::spin(1500);
    EXPECT_TRUE(model->pinLimitNoticeVisible());
    EXPECT_TRUE(TestSupport::waitFor([&] { return !model->pinLimitNoticeVisible(); }, 2000));
    EXPECT_TRUE(model->togglePinInPlace(manager->history()[0].id));
    EXPECT_EQ(manager->pinnedCount(), 4);
}

TEST_F(ClipboardPopupModelTest, PointerAndScrollRequests) {
    for (const char* t : {"c", "b", "a"}) copyText(t);
    model->open();
    QSignalSpy hovered(model.get(), &ClipboardPopupModel::rowHovered);
    QSignalSpy phase(model.get(), &ClipboardPopupModel::scrollPhaseChanged);
    // A row the view knows by a stale index is found by its item.
    model->pointerOverItem(model->history()[2].id, 0);
    model->pointerOverItem(model->history()[1].id, 1);
    model->pointerOverItem(QUuid::createUuid(), 0);  // gone from the list: nothing
    ASSERT_EQ(hovered.count(), 2);
    EXPECT_EQ(hovered[0][0].toInt(), 2);
    EXPECT_EQ(hovered[1][0].toInt(), 1);

    // Leaving a row clears only its own highlight.
    model->applyHighlight(1);
    model->pointerLeftItem(model->history()[0].id);
    EXPECT_EQ(model->highlightedRow(), 1);
    model->pointerLeftItem(model->history()[1].id);
    EXPECT_EQ(model->highlightedRow(), -1);

    // While the list scrolls rows under the pointer take no hover; each phase is told once.
    model->applyHighlight(0);
    model->reportScrollPhase(true);
    model->reportScrollPhase(true);
    EXPECT_EQ(model->highlightedRow(), -1);
    model->pointerOverItem(model->history()[0].id, 0);
    EXPECT_EQ(hovered.count(), 2);
    model->reportScrollPhase(false);
    ASSERT_EQ(phase.count(), 2);
    EXPECT_TRUE(phase[0][0].toBool());
    EXPECT_FALSE(phase[1][0].toBool());
}
