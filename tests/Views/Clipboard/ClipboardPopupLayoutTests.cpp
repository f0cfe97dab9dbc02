#include "Source/Features/Clipboard/ClipboardPopupLayout.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace L = ClipboardPopupLayout;

namespace {

ClipboardItem textItem(const QString& text) {
    return ClipboardItem::make(ClipboardContent::text(text), QDateTime::currentDateTimeUtc());
}

ClipboardItem imageItem(double width, double height) {
    ClipboardImageReference reference{QStringLiteral("/nowhere/picture.png"), QSizeF(width, height), QString(64, u'a')};
    return ClipboardItem::make(ClipboardContent::image(reference), QDateTime::currentDateTimeUtc());
}

ClipboardItem filesItem(int count) {
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i) urls << QUrl::fromLocalFile(QString::asprintf("/home/user/file-%d.txt", i));
    return ClipboardItem::make(ClipboardContent::files(urls), QDateTime::currentDateTimeUtc());
}

double maxY(const QRectF& r) { return r.y() + r.height(); }

}  // namespace

// MARK: Width

TEST(ClipboardPopupWidth, GrowsWithTheWidestLabelBetween320And620) {
    std::vector<QString> measured;
    auto measure = [&measured](const QString& s) {
        measured.push_back(s);
        return double(s.size()) * 10;  // ten points a character
    };
    EXPECT_EQ(L::optimalWidth({}, measure), 320);
    EXPECT_EQ(L::optimalWidth({textItem("short")}, measure), 320);  // 244 + 76 at least
    EXPECT_EQ(L::optimalWidth({textItem(QString(30, u'x'))}, measure), 376);

    // Images are never measured; a text is trimmed, its line breaks made spaces, cut at 160.
    measured.clear();
    const QString longText = "  first\nsecond\r\nthird  " + QString(300, u'y');
    L::optimalWidth({imageItem(4000, 3000), textItem(longText)}, measure);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_TRUE(measured[0].startsWith("first second third"));
    EXPECT_EQ(measured[0].size(), 160);

    // The first label that reaches the limit ends the measuring.
    measured.clear();
    EXPECT_EQ(L::optimalWidth({textItem(QString(60, u'z')), textItem("never measured")}, measure), 620);
    EXPECT_EQ(measured.size(), 1u);

    // A file list is measured by its names.
    measured.clear();
    L::optimalWidth({filesItem(2)}, measure);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_EQ(measured[0], "file-0.txt, file-1.txt");
}

// MARK: Placement

TEST(ClipboardPopupPlacement, TheWorkedExampleOpensDownwardWithItsReserve) {
    // 1 pinned and 3 text items, visible frame 1440 × 1000, pointer at y = 500.
    std::vector<ClipboardItem> rows{textItem("a"), textItem("b"), textItem("c")};
    const double L = L::listBlockHeight(rows);
    EXPECT_EQ(L, 126);
    const L::Placement p = L::place(352, L, 1, 4, QPointF(700, 500), QRectF(0, 0, 1440, 1000));
    EXPECT_EQ(p.shelfHeight, 40);
    EXPECT_EQ(p.listHeight, 126);
    EXPECT_FALSE(p.growsUpward);
    EXPECT_EQ(p.contentColumnBudget, 178 + 84);
    EXPECT_EQ(p.height, 474);
    EXPECT_EQ(p.mainFrame.y(), 26);
    EXPECT_EQ(maxY(p.mainFrame), 500);  // the top edge at the pointer
    EXPECT_EQ(p.mainFrame.x(), 684);   // 16 left of the pointer
}

TEST(ClipboardPopupPlacement, OpensUpwardNearTheBottomAndDownwardNearTheTop) {
    const QRectF vis(0, 0, 1440, 1000);
    std::vector<ClipboardItem> rows(20, textItem("row"));
    const double L = L::listBlockHeight(rows);
    EXPECT_EQ(L, 292 + 30);

    const L::Placement low = L::place(352, L, 0, 20, QPointF(300, 60), vis);
    EXPECT_TRUE(low.growsUpward);
    EXPECT_EQ(low.mainFrame.y(), 68);  // the bottom edge 8 above the pointer

    const L::Placement high = L::place(352, L, 0, 20, QPointF(300, 960), vis);
    EXPECT_FALSE(high.growsUpward);
    EXPECT_EQ(maxY(high.mainFrame), 960);

    // The screen margin of 4 wins over the pointer at the edges.
    const L::Placement corner = L::place(352, L, 0, 20, QPointF(1439, 999), vis);
    EXPECT_EQ(corner.mainFrame.x() + corner.mainFrame.width(), 1436);
    EXPECT_LE(maxY(corner.mainFrame), 996);
}

TEST(ClipboardPopupPlacement, BlocksAndReserves) {
    // Empty history: list block 98, no pinned block, no reserve.
    EXPECT_EQ(L::listBlockHeight({}), 98);
    const L::Placement empty = L::place(352, 98, 0, 0, QPointF(700, 500), QRectF(0, 0, 1440, 1000));
    EXPECT_EQ(empty.height, 98 + 212);
    EXPECT_EQ(empty.shelfHeight, 0);

    // Five pins: a block of 152 and no room reserved for more.
    EXPECT_EQ(L::shelfHeight(5), 152);
    EXPECT_EQ(L::shelfHeight(9), 152);
    std::vector<ClipboardItem> one{textItem("x")};
    const L::Placement pins = L::place(352, L::listBlockHeight(one), 5, 6, QPointF(700, 500), QRectF(0, 0, 1440, 1000));
    EXPECT_EQ(pins.contentColumnBudget, 152 + 12 + pins.listHeight);

    // Nine images: the rows sum to 468, so the block is capped at 322.
    std::vector<ClipboardItem> images(9, imageItem(10, 10));
    EXPECT_EQ(L::listBlockHeight(images), 322);

    // A short screen still gives the list its least height.
    const L::Placement cramped = L::place(352, 322, 0, 9, QPointF(200, 150), QRectF(0, 0, 800, 300));
    EXPECT_EQ(cramped.listHeight, 68);
}

TEST(ClipboardPopupPlacement, TheListSitsAboveTheFooterOrAboveTheReserve) {
    // Downward: the spare reserve lies between the list and the footer.
    EXPECT_EQ(L::listFrameY(false, 40 + 12 + 126 + 84, 40, 126), 84 + 16 + 168 + 12);
    // Upward: the list sits right above the footer, the reserve above the pinned block.
    EXPECT_EQ(L::listFrameY(true, 40 + 12 + 126 + 84, 40, 126), 16 + 168 + 12);
    // A pinned block grown into the reserve takes it from the spare.
    EXPECT_EQ(L::listFrameY(false, 40 + 12 + 126 + 84, 68, 126), 56 + 16 + 168 + 12);
}

TEST(ClipboardPopupPlacement, ThePreviewColumnTakesTheWiderSideAndStaysOnScreen) {
    const QRectF vis(0, 0, 1440, 900);
    // Room on the left for the widest card.
    const L::PreviewColumn left = L::previewColumn(QRectF(900, 200, 400, 500), vis);
    EXPECT_FALSE(left.onRight);
    EXPECT_EQ(left.cardWidth, 720);
    EXPECT_EQ(left.column.x(), 900 - 14 - 720);
    EXPECT_EQ(left.column.height(), 892);
    EXPECT_EQ(maxY(left.column), 896);  // kept on the screen
    EXPECT_EQ(left.mainOffset.width(), 900 - left.column.x());

    // The main frame near the left edge: the card goes right, sized to the room there, and its
    // right edge stays on the screen.
    const QRectF main(40, 300, 400, 500);
    const L::PreviewColumn right = L::previewColumn(main, vis);
    EXPECT_TRUE(right.onRight);
    EXPECT_EQ(right.cardWidth, 720);
    const QRectF narrowScreen(0, 0, 1100, 900);
    const L::PreviewColumn fitted = L::previewColumn(main, narrowScreen);
    EXPECT_TRUE(fitted.onRight);
    const double cardLeft = fitted.column.x() + 16, cardRight = cardLeft + fitted.cardWidth;
    EXPECT_EQ(cardLeft - (main.x() + main.width() - 16), 14);  // 14 from the main card
    EXPECT_LE(cardRight, 1100);
    EXPECT_EQ(fitted.cardWidth, 1100 - 440 - 14);

    // A wide popup in the middle of a small screen: less than 460 on either side. The card takes
    // the wider side's room and stays on the screen.
    const QRectF wide(400, 200, 620, 400);
    const L::PreviewColumn squeezed = L::previewColumn(wide, QRectF(0, 0, 1280, 800));
    EXPECT_FALSE(squeezed.onRight);
    EXPECT_EQ(squeezed.cardWidth, 400 - 14);
    EXPECT_GE(squeezed.column.x() + 16, 0);

    // The panel-relative column and union.
    EXPECT_EQ(fitted.unionFrame.x(), 40);
    EXPECT_EQ(fitted.previewColumnRect.x(), fitted.column.x() - 40);
    EXPECT_EQ(fitted.previewColumnRect.y(), fitted.column.y() - fitted.unionFrame.y());
}

// MARK: Preview

TEST(ClipboardPopupPreview, WhichItemsGetAPreview) {
    auto measure = [](const QString& s) { return double(s.size()) * 6; };
    EXPECT_FALSE(L::needsPreview(textItem(QString(40, u'a')), 352, measure));
    EXPECT_TRUE(L::needsPreview(textItem(QString(20, u'a') + "\t" + QString(19, u'a')), 352, measure));
    EXPECT_TRUE(L::needsPreview(textItem("  " + QString(81, u'b') + "  "), 652, measure));
    EXPECT_FALSE(L::needsPreview(textItem("  " + QString(80, u'b') + "  "), 652, measure));
    EXPECT_TRUE(L::needsPreview(textItem("two\nlines"), 652, measure));
    // Too wide for the row's text room (352 − 32 − 76 = 244).
    EXPECT_TRUE(L::needsPreview(textItem(QString(41, u'w')), 352, measure));
    EXPECT_TRUE(L::needsPreview(imageItem(10, 10), 352, measure));
    EXPECT_TRUE(L::needsPreview(filesItem(2), 352, measure));
    EXPECT_FALSE(L::needsPreview(filesItem(1), 352, measure));
    ClipboardItem secret = textItem(QString(200, u's'));
    secret.isConcealed = true;
    EXPECT_FALSE(L::needsPreview(secret, 352, measure));
}

TEST(ClipboardPopupPreview, BodyWidthAndContentHeight) {
    EXPECT_EQ(L::previewBodyWidth(ClipboardContent::files({QUrl::fromLocalFile("/a"), QUrl::fromLocalFile("/b")}), 700), 460);
    EXPECT_EQ(L::previewBodyWidth(imageItem(10, 10).content, 300), 300);  // never wider than the room
    EXPECT_EQ(L::previewBodyWidth(ClipboardContent::text("short"), 720), 460);
    EXPECT_EQ(L::previewBodyWidth(ClipboardContent::text("short"), 400), 400);
    EXPECT_EQ(L::previewBodyWidth(ClipboardContent::text(QString(2000, u'm')), 600), 600);
    const double advance = QFontMetricsF(L::previewTextFont()).horizontalAdvance(QString(60, u'm'));
    const double natural = std::ceil(advance) + 26;
    if (natural >= 460 && natural <= 700) {
        EXPECT_EQ(L::previewBodyWidth(ClipboardContent::text("x\n\n" + QString(60, u'm') + "\nend"), 700), natural);
    }

    // A 4000 × 3000 image in a 460 body: scale 0.109, height 3000 × 0.109 + 24.
    EXPECT_NEAR(L::measureContentHeight(imageItem(4000, 3000).content, 460), 351, 0.01);
    // A recorded size of zero measures 24, and the content gets the floor of 120.
    EXPECT_EQ(L::measureContentHeight(imageItem(0, 0).content, 460), 24);
    EXPECT_EQ(L::contentHeight(ClipboardContent::Kind::image, 24, 900, 107, 892), 120);
    // Files: 24 a line, at most 30 lines.
    EXPECT_EQ(L::measureContentHeight(filesItem(31).content, 460), 24 + 24 * 30);
    EXPECT_EQ(L::contentHeight(ClipboardContent::Kind::files, 744, 900, 107, 892), 450);  // half the screen
    // Text: a line more is one line spacing more; the cap is three quarters of the screen.
    const double one = L::measureContentHeight(ClipboardContent::text("one"), 460);
    const double two = L::measureContentHeight(ClipboardContent::text("one\ntwo"), 460);
    EXPECT_NEAR(two - one, QFontMetricsF(L::previewTextFont()).lineSpacing(), 1.0);
    EXPECT_EQ(L::contentHeight(ClipboardContent::Kind::text, 5000, 900, 107, 892), 0.75 * 900 - 107);
    EXPECT_EQ(L::contentHeight(ClipboardContent::Kind::text, 50, 900, 107, 892), 120);
}

TEST(ClipboardPopupPreview, InformationLines) {
    ClipboardItem item = textItem("x");
    item.sourceApp = QStringLiteral("Notes");
    item.firstCopiedAt = QDateTime(QDate(2024, 3, 5), QTime(14, 7));
    item.copiedAt = item.firstCopiedAt;
    const QStringList once = L::infoLines(item);
    ASSERT_EQ(once.size(), 6);
    EXPECT_EQ(once[0], "Приложение: Notes");
    EXPECT_TRUE(once[1].startsWith("Скопировано впервые: 5 марта 2024"));
    EXPECT_TRUE(once[1].contains("14:07"));
    EXPECT_EQ(once[2], "Копирований: 1");
    EXPECT_EQ(once[3], "");
    EXPECT_EQ(once[4], "⌘P — закрепить");
    EXPECT_EQ(once[5], "⌘⌫ — удалить");
    EXPECT_EQ(L::infoHeight(int(once.size())), 106);

    item.copiedAt = item.firstCopiedAt.addSecs(90);
    item.copyCount = 3;
    item.isPinned = true;
    item.sourceApp.reset();
    const QStringList again = L::infoLines(item);
    ASSERT_EQ(again.size(), 6);
    EXPECT_TRUE(again[0].startsWith("Скопировано впервые: "));
    EXPECT_TRUE(again[1].startsWith("Последний раз: "));
    EXPECT_TRUE(again[1].contains("14:08"));
    EXPECT_EQ(again[2], "Копирований: 3");
    EXPECT_EQ(again[4], "⌘P — открепить");
}

TEST(ClipboardPopupPreview, TheCardCentresOnThePointerBesideTheMainCard) {
    const QRectF panel(100, 50, 1200, 900);
    const QRectF column(100, 54, 752, 892);  // on the left of the main frame
    const QSizeF mainOffset(800, 0);
    const L::PreviewCard card = L::previewCard(QSizeF(492, 300), 600, column, panel, mainOffset);
    EXPECT_EQ(card.frame.x(), column.x() + column.width() - 492);  // hugs the main card's side
    EXPECT_EQ(card.frame.y(), 600 - (300 - 32) / 2.0 - 16);
    EXPECT_EQ(card.birth.x(), 1);  // grows from its right edge
    EXPECT_NEAR(card.birth.y(), 0.5, 1e-9);
    EXPECT_EQ(card.previewOffset.width(), card.frame.x() - panel.x());
    EXPECT_EQ(card.previewOffset.height(), 950 - maxY(card.frame));

    // Near the column's top the card stops at it; the birth point follows the pointer.
    const L::PreviewCard top = L::previewCard(QSizeF(492, 300), 940, column, panel, mainOffset);
    EXPECT_EQ(maxY(top.frame), maxY(column));
    EXPECT_NEAR(top.birth.y(), 1 - (940 - top.frame.y()) / 300, 1e-9);

    // A column on the right: the card stands at its left edge and grows from its left.
    const L::PreviewCard right = L::previewCard(QSizeF(492, 300), 600, QRectF(548, 54, 752, 892), panel, QSizeF(0, 0));
    EXPECT_EQ(right.frame.x(), 548);
    EXPECT_EQ(right.birth.x(), 0);
}

// MARK: Rows

TEST(ClipboardPopupRows, LabelsAndRowPositions) {
    EXPECT_EQ(L::rowLabel(textItem("  one\ttwo\n")), "one two");
    EXPECT_EQ(L::rowLabel(textItem("a\r\nb")), "a b");
    EXPECT_EQ(L::rowLabel(textItem("   ")), "[Пусто]");
    EXPECT_EQ(L::rowLabel(imageItem(1920, 1080)), "1920 × 1080");
    EXPECT_EQ(L::rowLabel(filesItem(1)), "file-0.txt");
    EXPECT_EQ(L::rowLabel(filesItem(3)), "3 файлов");
    EXPECT_EQ(L::rowLabel(filesItem(0)), "0 файлов");
    ClipboardItem secret = textItem("hunter2");
    secret.isConcealed = true;
    EXPECT_EQ(L::rowLabel(secret), QString(8, QChar(0x2022)));
    EXPECT_EQ(L::rowLabel(secret, false), "hunter2");

    const std::vector<ClipboardItem> rows{textItem("a"), imageItem(5, 5), textItem("b")};
    EXPECT_FALSE(L::rowAtContentY(rows, 5.9).has_value());
    EXPECT_EQ(L::rowAtContentY(rows, 6), 0);
    EXPECT_EQ(L::rowAtContentY(rows, 33.9), 0);
    EXPECT_EQ(L::rowAtContentY(rows, 34), 1);
    EXPECT_EQ(L::rowAtContentY(rows, 85), 1);
    EXPECT_EQ(L::rowAtContentY(rows, 86), 2);
    EXPECT_FALSE(L::rowAtContentY(rows, 114).has_value());
    EXPECT_FALSE(L::rowAtContentY({}, 10).has_value());
    EXPECT_EQ(L::rowTop(rows, 2), 86);
}

TEST(ClipboardPopupLongText, LabelsAndPreviewsWorkOnTheStartOfTheText) {
    // The head skips leading white space and never splits a surrogate pair.
    EXPECT_EQ(L::textHead("  \n abc", 2), "ab");
    const QString emoji = QStringLiteral("a\U0001F600b");
    EXPECT_EQ(L::textHead(emoji, 2), "a");
    EXPECT_EQ(L::textHead(emoji, 3), emoji.left(3));

    // A 5 MB text: the label is made from its start only, still trimmed and joined.
    QString huge = QStringLiteral("\n\t first\tline\nsecond ");
    huge += QString(5 * 1024 * 1024, u'x');
    const QString label = L::rowLabel(textItem(huge));
    EXPECT_TRUE(label.startsWith("first line second x"));
    EXPECT_LE(label.size(), L::labelTextLimit);
    EXPECT_EQ(L::measuredLabel(textItem(huge)).size(), L::measuredLabelLength);
    EXPECT_TRUE(L::needsPreview(textItem(huge), 652));

    // The preview shows the start and its information says how much of how much.
    const ClipboardItem item = textItem(huge);
    EXPECT_TRUE(L::isPreviewTextCut(item.content));
    EXPECT_EQ(L::previewText(item.content).size(), L::previewTextLimit);
    EXPECT_TRUE(L::previewText(item.content).startsWith("first\tline\nsecond x"));
    const QStringList lines = L::infoLines(item);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[1], "Копирований: 1");
    EXPECT_EQ(lines[2], QString::asprintf("Показано %lld из %lld символов", (long long)L::previewTextLimit,
                                          (long long)huge.size()));
    EXPECT_EQ(lines[3], "");
    EXPECT_GT(L::measureContentHeight(item.content, 460), 720);  // still more than any card shows

    // Exactly at the limit, or followed by white space only, nothing is cut.
    EXPECT_FALSE(L::isPreviewTextCut(ClipboardContent::text(QString(L::previewTextLimit, u'y'))));
    EXPECT_FALSE(L::isPreviewTextCut(ClipboardContent::text(QString(L::previewTextLimit, u'y') + "\n\n  ")));
    EXPECT_TRUE(L::isPreviewTextCut(ClipboardContent::text(QString(L::previewTextLimit, u'y') + "z")));
    EXPECT_EQ(L::infoLines(textItem("short")).size(), 5);
}
