#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QDateTime>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>

#include <functional>
#include <optional>
#include <span>
#include <vector>

// The clipboard popup's measurements and placement as pure functions. Geometry is in upward
// screen space (origin at the bottom-left of the primary screen, y growing upward); a QRectF
// here has its minimum y in y() and its maximum y in y() + height().
namespace ClipboardPopupLayout {

constexpr double textRowHeight = 28;
constexpr double imageRowHeight = 52;
constexpr double listPadding = 12;        // 6 above the first row, 6 below the last
constexpr double listBlockMaximum = 292;  // rows and padding
constexpr double searchLineHeight = 30;
constexpr double emptyListBlock = 98;     // search line included
constexpr double pinnedRowHeight = 28;
constexpr double pinnedBlockPadding = 12;
constexpr int maxPinnedRowsCounted = 5;
constexpr double pinnedGap = 12;
constexpr double chrome = 212;            // two insets of 16, the footer block and its gap
constexpr double footerBlockHeight = 168;
constexpr double footerGap = 12;
constexpr double leastListHeight = 68;
constexpr double screenMargin = 4;
constexpr double pointerInset = 16;       // the panel's left edge left of the pointer
constexpr double pointerGap = 8;          // bottom edge above the pointer when opening upward
constexpr double sideInset = 16;          // the panel is 2 × 16 wider than its content
constexpr double previewGap = 14;
constexpr double previewMinWidth = 460;
constexpr double previewMaxWidth = 720;
constexpr double previewDelay = 0.35;
constexpr double previewHideDelay = 0.16;
constexpr double minContentWidth = 320;
constexpr double maxContentWidth = 620;
constexpr double labelRoom = 76;          // what a row needs beside its label
constexpr double leastLabelWidth = 244;
constexpr int measuredLabelLength = 160;
// How much of a text the popup ever lays out: a row's label is made from at most the first
// labelTextLimit code units (after leading white space), the preview shows at most the first
// previewTextLimit.
constexpr qsizetype labelTextLimit = 1000;
constexpr qsizetype previewTextLimit = 10000;

inline double minY(const QRectF& r) { return r.y(); }
inline double maxY(const QRectF& r) { return r.y() + r.height(); }
// Point in rectangle with the minimum edges in and the maximum edges out.
bool contains(const QRectF& rect, const QPointF& point);

// The label font of the rows: the interface font at 13 points.
QFont labelFont();
// The preview's text font: fixed pitch at 12 points.
QFont previewTextFont();

// A history row's height: 52 for an image, 28 for anything else.
double rowHeight(const ClipboardItem& item);

// The first `limit` UTF-16 code units of a text after its leading white space, never ending
// inside a surrogate pair.
QString textHead(const QString& text, qsizetype limit);
// The text a preview shows: trimmed, at most previewTextLimit code units of it.
QString previewText(const ClipboardContent& content);
// Whether the preview shows only the start of the content's text.
bool isPreviewTextCut(const ClipboardContent& content);

// The one-line label a row shows. A history row masks a concealed item; a pinned row does not.
QString rowLabel(const ClipboardItem& item, bool historyRow = true);

// The label measured for the popup's width: empty for images; a file list's names; a text
// trimmed, its line breaks made spaces, cut to 160 characters.
QString measuredLabel(const ClipboardItem& item);
// The main card's content width (320 … 620) for the items, measuring labels with measure.
double optimalWidth(const std::vector<ClipboardItem>& items, const std::function<double(const QString&)>& measure);
// The same with the label font.
double optimalWidth(const std::vector<ClipboardItem>& items);

// The list block: 98 when empty, else the rows and padding (at most 292) plus the search line.
double listBlockHeight(std::span<const ClipboardItem> rows);
// The pinned block for a number of pins: 0 without, else 12 + 28 × min(pins, 5).
double shelfHeight(int pinnedCount);
// The gap under the pinned block: 12 when there is one, else 0.
double shelfGap(double shelf);

struct Placement {
    double width = 0;                // panel width W
    double height = 0;               // main height H, spare reserve included
    double listHeight = 0;           // LH, the search line included
    double shelfHeight = 0;          // S
    double contentColumnBudget = 0;  // S + G + LH + the reserve
    bool growsUpward = false;
    QRectF mainFrame;                // upward space
};
// Measures and places the main frame of a panel `panelWidth` wide at the pointer on a screen
// whose visible frame is vis. listBlock is the list block height, pinnedCount the pinned items,
// storeCount every item of the store.
Placement place(double panelWidth, double listBlock, int pinnedCount, int storeCount, const QPointF& pointer,
                const QRectF& vis);

struct PreviewColumn {
    QRectF column;             // upward space
    QRectF unionFrame;         // main frame ∪ column: the panel's frame
    QSizeF mainOffset;         // main frame from the union's top-left corner (right, down)
    QRectF previewColumnRect;  // the column relative to the union's bottom-left corner
    double cardWidth = 0;
    bool onRight = false;
};
// The room beside the placed main frame F for the preview: the wider side, at most 720 and at
// least 460 wide where that much room exists (never wider than the room), top-aligned with F and
// kept on the screen. The room on either side is counted
// from where the preview card itself would stand, 14 from the main card.
PreviewColumn previewColumn(const QRectF& mainFrame, const QRectF& vis);

// The list's distance from the bottom of the main frame: the spare reserve lies between list
// and footer when the popup opens downward, above the pinned block when it opens upward.
double listFrameY(bool growsUpward, double contentColumnBudget, double shelf, double listHeight,
                  double footerBlock = footerBlockHeight);

// Whether a row's item gets a hover preview. mainPanelWidth is the main card area's width
// (0 when unknown); measure gives a text's width in the label font (nullptr: the label font).
bool needsPreview(const ClipboardItem& item, double mainPanelWidth,
                  const std::function<double(const QString&)>& measure = nullptr);
// Width of the preview's content area for a content, with at most maxWidth of room.
double previewBodyWidth(const ClipboardContent& content, double maxWidth);
// The natural height of a content's preview in a content area bodyWidth wide. Text is measured
// only as far as any preview can show (no further than `enough` points).
double measureContentHeight(const ClipboardContent& content, double bodyWidth, double enough = 4000);
// The preview's information lines for an item; for a text the preview cuts, a line after the
// copy count says how much of how much is shown.
QStringList infoLines(const ClipboardItem& item);
// A date as the preview shows it: long date and short time in Russian.
QString formatDate(const QDateTime& date);
// Height of the information area for a number of lines.
double infoHeight(int lineCount);
// The content area's height: the measured height within the content kind's cap, limit and
// floor, and within the column's room.
double contentHeight(ClipboardContent::Kind kind, double measured, double screenHeight, double head,
                     double columnHeight);

struct PreviewCard {
    QRectF frame;          // the card's area (16 inset around the card), upward space
    QSizeF previewOffset;  // from the panel's top-left corner
    QPointF birth;         // where the card grows from, fractions of its area
};
// Places a card area of cardSize in the column, centred on the pointer's height, on the
// column's side next to the main card.
PreviewCard previewCard(const QSizeF& cardSize, double pointerY, const QRectF& column, const QRectF& panelFrame,
                        const QSizeF& mainOffset);

// The row whose span in the list's content contains y (the first row starts 6 below the top).
std::optional<int> rowAtContentY(const std::vector<ClipboardItem>& rows, double y);
// The top of a row in the list's content.
double rowTop(const std::vector<ClipboardItem>& rows, int row);

}  // namespace ClipboardPopupLayout
