#include "ClipboardPopupTestSupport.h"

#include "Platform/Gui/SystemFont.h"
#include "Platform/X11/KeyCodes.h"
#include "Views/Clipboard/BlinkingCaret.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardFooterRow.h"
#include "Views/Clipboard/ClipboardHistoryList.h"
#include "Views/Clipboard/ClipboardPopupHostingController.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Clipboard/ClipboardPreviewCompositeLayer.h"
#include "Views/Clipboard/ClipboardPreviewRootView.h"
#include "Views/Clipboard/ClipboardRowThumbnails.h"
#include "Views/Clipboard/PinnedMenuRow.h"
#include "Views/Clipboard/RowIconButton.h"
#include "Views/Clipboard/ShortcutBadge.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/SymbolButton.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <ctime>

using ClipboardPopupViews = PopupTestBase;

namespace {
// The panel's picture over a desktop-like backdrop.
QImage screenshot(QWidget* panel) {
    const QPixmap grab = panel->grab();
    QImage out(grab.size(), QImage::Format_ARGB32);
    QPainter p(&out);
    QLinearGradient backdrop(0, 0, out.width(), out.height());
    backdrop.setColorAt(0, QColor(70, 96, 140));
    backdrop.setColorAt(1, QColor(150, 110, 140));
    p.fillRect(out.rect(), backdrop);
    p.drawPixmap(0, 0, grab);
    return out;
}
}  // namespace

TEST_F(ClipboardPopupViews, ScreenshotWithTextImageAndFileEntries) {
    workspace.fileIcon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    copyText("ssh deploy@build-01.internal");
    copyText("Pinned: meeting notes for Thursday");
    copyImage(1600, 900, QColor(60, 140, 90));
    copyFiles({"/home/user/Documents/report.pdf"});
    copyFiles({"/home/user/a.txt", "/home/user/b.txt", "/home/user/c.txt"});
    copyText("A longer line of copied text that does not fit in the row and is cut at its end with an ellipsis");
    copyText("func main() {\n    fmt.Println(\"hello\")\n}\n");
    copyConcealed("hunter2");
    pin("Pinned: meeting notes for Thursday");
    ASSERT_EQ(manager->pinnedCount(), 1);

    // Near the top of the screen the popup opens downward with room for the whole list.
    const QRectF vis = Screens::visibleFrame(QGuiApplication::primaryScreen());
    pointer = QPointF(vis.x() + vis.width() * 0.62, vis.y() + vis.height() - 40);
    controller->show();
    ASSERT_TRUE(controller->panel());
    ASSERT_FALSE(controller->compositeState().growsUpward());
    ClipboardRowThumbnails::shared().waitForPending();
    TestSupport::spin(400);
    // Hover the code snippet: it highlights and its preview opens beside the popup.
    int codeRow = -1;
    for (int i = 0; i < int(controller->model().history().size()); ++i)
        if (controller->model().history()[size_t(i)].content.textValue().startsWith("func")) codeRow = i;
    ASSERT_GE(codeRow, 0);
    pointer = rowPoint(codeRow);
    controller->mouseMovedToRow(codeRow);
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller->compositeState().snapshot().preview.has_value(); }, 2000));
    TestSupport::spin(900);
    const QImage image = screenshot(controller->panel());
    const QString path = QStringLiteral(QUORVIN_TEST_OUTPUT) + "/clipboard-popup.png";
    ASSERT_TRUE(image.save(path));
}

namespace {
ClipboardCompositeRootView* rootOf(ClipboardPopupController& controller) {
    return qobject_cast<ClipboardCompositeRootView*>(controller.containerView());
}
}  // namespace

TEST_F(ClipboardPopupViews, RowsShowLabelsPicturesAndBadges) {
    for (int i = 0; i < 11; ++i) copyText(QString::asprintf("text %d", i));
    copyImage(300, 200);
    copyConcealed("hunter2");
    controller->show();
    ClipboardHistoryList* list = rootOf(*controller)->mainColumn()->historyList();
    // Scroll through the whole list so that every row is built once.
    QHash<QString, QPair<int, QString>> seen;  // label -> height, badge
    for (double offset = 0; offset <= list->maximumScrollOffset() + 1; offset += 20) {
        list->setScrollOffset(offset);
        for (ClipboardMenuRow* row : list->visibleRows())
            seen.insert(row->label(), {row->height(), row->badge()->isVisibleTo(row) ? row->badge()->keys() : QString()});
    }
    ASSERT_TRUE(seen.contains(QString(8, QChar(0x2022))));
    EXPECT_EQ(seen.value(QString(8, QChar(0x2022))), qMakePair(28, QString()));  // concealed: no badge
    // Badges count rows from the top, the concealed first row included.
    EXPECT_EQ(seen.value("300 × 200"), qMakePair(52, QStringLiteral("⌘2")));  // an image row is 52 high
    EXPECT_EQ(seen.value("text 10"), qMakePair(28, QStringLiteral("⌘3")));
    EXPECT_EQ(seen.value("text 4"), qMakePair(28, QStringLiteral("⌘9")));
    EXPECT_EQ(seen.value("text 3"), qMakePair(28, QString()));  // the tenth row has none
    EXPECT_EQ(ClipboardMenuRow::badgeKeys(controller->model().history()[0], 0), QString());
    // Only the rows in view exist as widgets.
    EXPECT_LE(list->visibleRows().size(), 12);
}

TEST_F(ClipboardPopupViews, ThePlainPasteButtonFollowsTheHighlightOnTextRows) {
    copyImage(30, 30);
    copyText("some text");
    controller->show();
    ClipboardHistoryList* list = rootOf(*controller)->mainColumn()->historyList();
    ClipboardMenuRow* text = list->rowFor(controller->model().history()[0].id);
    ClipboardMenuRow* image = list->rowFor(controller->model().history()[1].id);
    ASSERT_TRUE(text && image);
    EXPECT_FALSE(text->plainPasteButton()->isVisibleTo(text));
    controller->model().applyHighlight(0);
    EXPECT_TRUE(text->isHighlighted());
    EXPECT_TRUE(text->plainPasteButton()->isVisibleTo(text));
    EXPECT_TRUE(text->plainPasteButton()->isOnAccent());
    EXPECT_EQ(text->plainPasteButton()->toolTip(), "Вставить как обычный текст (⌘↩)");
    controller->model().applyHighlight(1);
    EXPECT_FALSE(text->plainPasteButton()->isVisibleTo(text));
    EXPECT_FALSE(image->plainPasteButton()->isVisibleTo(image));  // images have no plain text

    // Clicking the button pastes the row as plain text and closes the popup.
    controller->model().applyHighlight(0);
    QTest::mouseClick(text->plainPasteButton(), Qt::LeftButton);
    EXPECT_FALSE(controller->isOpen());
    EXPECT_TRUE(TestSupport::waitFor([&] { return pasteboard.writeCount() > 0; }, 1000));
    EXPECT_EQ(pasteboard.string(), QString("some text"));
}

TEST_F(ClipboardPopupViews, EmptyStatesSearchLineAndFooter) {
    controller->show();
    ClipboardPopupRootView* column = rootOf(*controller)->mainColumn();
    EXPECT_EQ(column->historyList()->emptyText(), "История пуста");
    EXPECT_FALSE(column->isPinnedCardShown());
    EXPECT_EQ(column->searchText(), "Начните печатать");
    // The caret follows the placeholder.
    EXPECT_TRUE(column->caret()->isVisible());
    EXPECT_GT(column->caret()->x(), 16 + 14 + 7 + QFontMetrics(SystemFont::font(12)).horizontalAdvance("Начните печатать"));
    EXPECT_LT(column->caret()->x(), column->mainCard()->width() - 16);
    EXPECT_EQ(column->matchCountText(), "");
    EXPECT_FALSE(column->clearSearchButton()->isVisible());
    EXPECT_EQ(column->mainCard()->height(), 98);
    controller->dismiss(true);

    copyText("apple");
    copyText("banana");
    controller->show();
    column = rootOf(*controller)->mainColumn();
    controller->model().setSearchQuery("an");
    EXPECT_EQ(column->searchText(), "an");
    EXPECT_EQ(column->matchCountText(), "1");
    EXPECT_TRUE(column->clearSearchButton()->isVisible());
    EXPECT_EQ(column->clearSearchButton()->toolTip(), "Очистить поиск");
    controller->model().setSearchQuery("zz");
    EXPECT_EQ(column->historyList()->emptyText(), "Ничего не найдено");
    QTest::mouseClick(column->clearSearchButton(), Qt::LeftButton);
    EXPECT_EQ(controller->model().searchQuery(), "");
    EXPECT_EQ(controller->model().history().size(), 2u);

    QStringList titles, shortcuts;
    for (ClipboardFooterRow* row : column->footerRows()) {
        titles << row->title();
        shortcuts << row->shortcut().value_or("none");
        EXPECT_EQ(row->height(), 26);
    }
    EXPECT_EQ(titles, (QStringList{"Вставить как текст", "Закрепить выбранное", "Очистить историю", "Настройки…",
                                   "О приложении", "Завершить"}));
    EXPECT_EQ(shortcuts, (QStringList{"⌘↩", "⌘P", "⌥⌘⌫", "⌘,", "none", "⌘Q"}));
    EXPECT_EQ(column->footerCard()->height(), 168);
    // Pinning the highlighted row from the footer.
    controller->model().setHighlightedRow(0);
    QTest::mouseClick(column->footerRows()[1], Qt::LeftButton);
    EXPECT_EQ(manager->pinnedCount(), 1);
}

TEST_F(ClipboardPopupViews, PinnedRowsPasteAndUnpin) {
    copyText("first pin");
    copyText("listed");
    pin("first pin");
    workspace.front = RunningApplication{31, "notes.desktop", "Notes", "/n"};
    controller->show();
    ClipboardPopupRootView* column = rootOf(*controller)->mainColumn();
    ASSERT_EQ(column->pinnedRows().size(), 1);
    PinnedMenuRow* row = column->pinnedRows()[0];
    EXPECT_EQ(row->label(), "first pin");
    EXPECT_EQ(row->height(), 28);
    EXPECT_EQ(row->unpinButton()->shownSymbol(), "pin.fill");
    EXPECT_DOUBLE_EQ(row->unpinButton()->contentOpacity(), 0.55);
    EXPECT_EQ(row->unpinButton()->toolTip(), "Открепить");
    EXPECT_EQ(column->pinnedCard()->height(), 40);

    QTest::mouseClick(row->unpinButton(), Qt::LeftButton);
    EXPECT_EQ(manager->pinnedCount(), 0);
    EXPECT_TRUE(controller->isOpen());
    EXPECT_EQ(controller->model().history().size(), 2u);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !column->isPinnedCardShown(); }, 2000));
    EXPECT_EQ(controller->compositeState().shelfHeight(), 0);

    // A pinned row pastes into the application that was in front.
    pin("listed");
    ASSERT_TRUE(TestSupport::waitFor([&] { return column->pinnedRows().size() == 1; }, 1000));
    workspace.front.reset();
    QTest::mouseClick(column->pinnedRows()[0], Qt::LeftButton, {}, QPoint(40, 14));
    EXPECT_FALSE(controller->isOpen());
    EXPECT_TRUE(TestSupport::waitFor([&] { return pasteboard.writeCount() > 0; }, 1000));
    EXPECT_EQ(pasteboard.string(), QString("listed"));
    EXPECT_EQ(workspace.activated, std::vector<qint64>{31});
}

// An entry leaving the list while the popup is open (removed here or on the other display, or
// pinned) takes its row's room with it; the pinned block follows the pins.
TEST_F(ClipboardPopupViews, TheCardsFollowRemovalsAndPinsWhileOpen) {
    for (const char* text : {"a", "b", "c", "d", "e"}) copyText(text);
    controller->show();
    ClipboardPopupRootView* column = rootOf(*controller)->mainColumn();
    ClipboardHistoryList* list = column->historyList();
    // The search line, 6 above and below the rows, the rows.
    auto expectFitted = [&](const QStringList& rows, int pins, const char* where) {
        SCOPED_TRACE(where);
        ASSERT_TRUE(TestSupport::waitFor([&] { return rowTexts() == rows; }, 2000)) << qPrintable(rowTexts().join(','));
        const int block = 30 + 12 + 28 * int(rows.size());
        const int shelf = pins > 0 ? 12 + 28 * pins : 0;
        EXPECT_TRUE(TestSupport::waitFor(
            [&] {
                return column->mainCard()->height() == block && list->height() == block - 30 &&
                       column->pinnedCard()->height() == shelf;
            },
            3000))
            << column->mainCard()->height() << " " << list->height() << " " << column->pinnedCard()->height();
        EXPECT_EQ(list->height(), int(list->contentHeight()));
        EXPECT_EQ(controller->listFrame().height(), block - 30);
        EXPECT_EQ(column->isPinnedCardShown(), pins > 0);
        // The footer follows the list card, and the panel covers what is drawn.
        EXPECT_EQ(column->footerCard()->y() - column->mainCard()->geometry().bottom() - 1, 12);
        EXPECT_TRUE(TestSupport::waitFor(
            [&] { return controller->panel()->height() <= column->drawnShape().boundingRect().height() + 8; }, 3000));
    };
    auto removeRow = [&](int row) {
        controller->model().setHighlightedRow(row);
        EXPECT_TRUE(key(KeyCodes::kVK_Delete, KeyCodes::maskCommand));
    };
    expectFitted({"e", "d", "c", "b", "a"}, 0, "opened");
    removeRow(2);
    expectFitted({"e", "d", "b", "a"}, 0, "a middle row removed");
    removeRow(0);
    expectFitted({"d", "b", "a"}, 0, "the first row removed");
    removeRow(2);
    expectFitted({"d", "b"}, 0, "the last row removed");

    controller->model().setHighlightedRow(0);
    EXPECT_TRUE(key(KeyCodes::kVK_ANSI_P, KeyCodes::maskCommand));
    expectFitted({"b"}, 1, "pinned from the list");
    ASSERT_EQ(column->pinnedRows().size(), 1);
    QTest::mouseClick(column->pinnedRows()[0]->unpinButton(), Qt::LeftButton);
    expectFitted({"d", "b"}, 0, "unpinned");

    // The same user's other display removes an entry: the watched history file brings it here.
    manager->waitForPendingWrites();
    FakePasteboard otherPasteboard;
    ClipboardManager other(otherPasteboard, defaults, folder);
    other.waitForPendingWrites();
    QUuid b;
    for (const ClipboardItem& item : other.history())
        if (item.content.textValue() == "b") b = item.id;
    ASSERT_FALSE(b.isNull());
    other.removeItem(b);
    other.waitForPendingWrites();
    ASSERT_TRUE(TestSupport::waitFor([&] { return texts() == std::vector<QString>{"d"}; }, 2000));
    expectFitted({"d"}, 0, "removed on the other display");
}

TEST_F(ClipboardPopupViews, ThePinLimitNoticeLetsClicksThrough) {
    for (int i = 0; i < 6; ++i) copyText(QString::asprintf("n%d", i));
    for (int i = 0; i < 5; ++i) pin(QString::asprintf("n%d", i));
    controller->show();
    controller->model().setHighlightedRow(0);
    controller->pinHighlighted();
    ASSERT_TRUE(controller->model().pinLimitNoticeVisible());
    ClipboardPopupRootView* column = rootOf(*controller)->mainColumn();
    TestSupport::spin(400);
    QWidget* notice = column->pinLimitNotice();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(notice->height(), 32);
    // It stands on the search line, clear of the pinned rows.
    const QRect noticeInColumn = notice->geometry();
    EXPECT_EQ(noticeInColumn.top(), column->mainCard()->geometry().top() - 1);  // 32 high over a 30 line
    EXPECT_FALSE(noticeInColumn.intersects(column->pinnedCard()->geometry()));
}

TEST_F(ClipboardPopupViews, PreviewContentByKind) {
    // Text: trimmed, in full.
    ClipboardItem text = ClipboardItem::make(ClipboardContent::text("\n  body of text  \n"), QDateTime::currentDateTime());
    ClipboardPreviewRootView textView(text, {"Копирований: 1", "", "⌘P — закрепить"}, 460, 120, 61);
    EXPECT_EQ(textView.shownText(), "body of text");
    EXPECT_EQ(textView.size(), QSize(460, 182));

    // Files: at most 30 lines.
    QList<QUrl> urls;
    for (int i = 0; i < 31; ++i) urls << QUrl::fromLocalFile(QString::asprintf("/tmp/f%02d.txt", i));
    ClipboardItem files = ClipboardItem::make(ClipboardContent::files(urls), QDateTime::currentDateTime());
    ClipboardPreviewRootView filesView(files, {}, 460, 500, 31);
    ASSERT_EQ(filesView.listedFiles().size(), 30);
    EXPECT_EQ(filesView.listedFiles().last(), "f29.txt");

    // A missing image file shows the placeholder.
    ClipboardImageReference missing{dir.path() + "/gone.png", QSizeF(100, 80), QString(64, u'0')};
    ClipboardItem image = ClipboardItem::make(ClipboardContent::image(missing), QDateTime::currentDateTime());
    ClipboardPreviewRootView imageView(image, {}, 460, 120, 31);
    EXPECT_FALSE(imageView.hasImage());
}

TEST_F(ClipboardPopupViews, ThePreviewGrowsFromADropletBesideTheRow) {
    ClipboardPreviewPresentation presentation{
        ClipboardItem::make(ClipboardContent::text("x\ny"), QDateTime::currentDateTime()), {"a"}, 460, 200, 31};
    // Closed, a 26-point droplet 10 beyond the leading edge at the row's height.
    const QRectF closed = ClipboardPreviewCompositeLayer::cardRect(presentation, QPointF(0, 0.5), 0, false);
    EXPECT_EQ(closed.size(), QSizeF(26, 26));
    EXPECT_EQ(closed.x(), 16 - 10);
    EXPECT_EQ(closed.center().y(), 16 + presentation.totalHeight() / 2);
    const QRectF top = ClipboardPreviewCompositeLayer::cardRect(presentation, QPointF(0, 0), 0, false);
    EXPECT_EQ(top.center().y(), 16);  // the card's top edge
    // Open, the body fills the area inside the padding and the tail reaches 8 beyond its side.
    const QRectF open = ClipboardPreviewCompositeLayer::cardRect(presentation, QPointF(1, 0.5), 1, false);
    EXPECT_EQ(open, QRectF(16, 16, 460 + 8, presentation.totalHeight()));
    const CardTail tail = ClipboardPreviewCompositeLayer::tailFor(presentation, QPointF(1, 0.5), 1);
    EXPECT_EQ(tail.edge, CardTail::Edge::trailing);
    EXPECT_EQ(tail.length, 8);
    EXPECT_EQ(tail.y, (presentation.totalHeight() + 32) * 0.5 - 16);
    // Under Reduce Motion the card is whole from the start.
    EXPECT_EQ(ClipboardPreviewCompositeLayer::cardRect(presentation, QPointF(0, 0.5), 0, true),
              QRectF(8, 16, 468, presentation.totalHeight()));

    // A layer grows and resolves after it appears; under Reduce Motion the caret stays lit.
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    ClipboardPreviewCompositeLayer layer(presentation, QPointF(0, 0.5));
    layer.show();
    EXPECT_EQ(layer.card()->width(), 468);
    EXPECT_TRUE(TestSupport::waitFor([&] { return layer.isGrown() && layer.isContentResolved(); }, 1000));
    BlinkingCaret caret;
    caret.show();
    EXPECT_FALSE(caret.isBlinking());
    EXPECT_EQ(caret.opacity(), 1);
}

namespace {
// Runs each step on its own turn of the event loop, `settleMs` apart, and returns the longest
// time the GUI thread spent busy between two turns of a 5 ms timer meanwhile.
double longestStallMs(const std::vector<std::function<void()>>& steps, int settleMs) {
    TestSupport::GuiStallMeter meter(TestSupport::GuiStallMeter::Measure::busy, 5);
    for (const auto& step : steps) {
        QTimer::singleShot(0, step);
        TestSupport::spin(settleMs);
    }
    return meter.longestMs();
}
}  // namespace

TEST_F(ClipboardPopupViews, AFiveMegabyteTextLeavesTheGuiAnswering) {
    copyText("short one");
    copyText("another");
    // The first opening of a process loads fonts and themes: not what is measured here.
    controller->show();
    controller->panel()->repaint();
    controller->dismiss(true);
    QString huge = QStringLiteral("The start of a long text ");
    for (int i = 0; huge.size() < 5 * 1024 * 1024; ++i) huge += QString::asprintf("line %d of a very long log\n", i);
    copyText(huge);
    pin("short one");
    manager->waitForPendingWrites();
    TestSupport::spin(50);

    const double stall = longestStallMs(
        {[&] {
             controller->show();
             controller->panel()->repaint();
         },
         [&] {
             // Rest on the long text's row until its preview is up.
             pointer = rowPoint(0);
             controller->mouseMovedToRow(0);
         },
         [&] { controller->panel()->repaint(); },
         [&] { key(KeyCodes::kVK_ANSI_L, 0, "l"); },
         [&] { key(KeyCodes::kVK_Delete, 0, "\b"); },
         [&] { key(KeyCodes::kVK_DownArrow); }},
        450);
    ASSERT_TRUE(controller->isOpen());
    // The store may keep only a part of so long a copy; the preview still shows less than that.
    const qsizetype stored = controller->model().history()[0].content.textValue().size();
    EXPECT_GT(stored, ClipboardPopupLayout::previewTextLimit * 10);
    EXPECT_EQ(controller->model().highlightedRow(), 0);
    auto* root = qobject_cast<ClipboardCompositeRootView*>(controller->containerView());
    ASSERT_TRUE(root && root->previewLayer());
    const ClipboardPreviewPresentation& preview = root->previewLayer()->preview();
    EXPECT_TRUE(preview.infoLines.join('\n').contains(QString::asprintf(" из %lld символов", (long long)stored)));
    EXPECT_LT(stall, 250) << "the GUI thread stalled for " << stall << " ms";
}

namespace {
// Paint events of one window's widgets, each with the painted area in global coordinates.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~PaintRecorder() override { qApp->removeEventFilter(this); }
    struct Paint {
        QWidget* widget;
        QRect area;
    };
    std::vector<Paint> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->window() == window_) {
                const QRect local = static_cast<QPaintEvent*>(event)->region().boundingRect();
                paints.push_back({widget, QRect(widget->mapToGlobal(local.topLeft()), local.size())});
            }
        }
        return false;
    }

private:
    QWidget* window_;
};
}  // namespace

TEST_F(ClipboardPopupViews, AnUntouchedPopupRepaintsOnlyItsCaretTwiceASecond) {
    for (int i = 0; i < 12; ++i) copyText(QString::asprintf("entry %d", i));
    pin("entry 3");
    controller->show();
    ClipboardPopupRootView* column = rootOf(*controller)->mainColumn();
    BlinkingCaret* caret = column->caret();
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller->panel()->isActiveWindow(); }, 1000));
    TestSupport::spin(800);  // the entrance ends
    const int half = BlinkingCaret::halfPeriodMs();
    ASSERT_GT(half, 0);
    EXPECT_TRUE(caret->isBlinking());

    const QRect caretArea(caret->mapToGlobal(QPoint(0, 0)), caret->size());
    {
        PaintRecorder recorder(controller->panel());
        TestSupport::spin(2000);
        const int caretPaints = int(std::count_if(recorder.paints.begin(), recorder.paints.end(),
                                                  [&](const auto& paint) { return paint.widget == caret; }));
        EXPECT_GE(caretPaints, 2);  // a loaded machine may run the timer late, never early
        EXPECT_LE(caretPaints, 2000 / half + 1);
        // Whatever else paints does so only behind the caret, in its rectangle.
        for (const auto& paint : recorder.paints) {
            EXPECT_TRUE(paint.widget == caret || paint.widget->isAncestorOf(caret)) << paint.widget->metaObject()->className();
            EXPECT_TRUE(caretArea.adjusted(-1, -1, 1, 1).contains(paint.area)) << paint.area.width() << "x" << paint.area.height();
        }
    }

    // Another window takes the focus: the caret stays lit and nothing paints at all.
    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !controller->panel()->isActiveWindow(); }, 1000));
    EXPECT_FALSE(caret->isBlinking());
    EXPECT_EQ(caret->opacity(), 1);
    TestSupport::spin(100);
    PaintRecorder idle(controller->panel());
    TestSupport::spin(1500);
    EXPECT_EQ(idle.paints.size(), 0u);
}

TEST(ClipboardPopupMask, OverlappingPiecesAddUpInsteadOfCuttingHoles) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, 100, 60), 16, 16);
    QPainterPath capsule;  // drawn the other way round, over the card's top
    capsule.moveTo(80, 10);
    capsule.lineTo(20, 10);
    capsule.lineTo(20, 30);
    capsule.lineTo(80, 30);
    capsule.closeSubpath();
    shape.addPath(capsule);
    shape.addEllipse(QRectF(200, 0, 20, 20));
    const QRegion region = ClipboardPopupHostingController::regionOfPieces(shape);
    EXPECT_TRUE(region.contains(QPoint(50, 20)));  // where the two overlap
    EXPECT_TRUE(region.contains(QPoint(50, 50)));
    EXPECT_TRUE(region.contains(QPoint(210, 10)));
    EXPECT_FALSE(region.contains(QPoint(150, 10)));
    EXPECT_FALSE(region.contains(QPoint(1, 1)));  // the card's rounded corner stays cut
}
