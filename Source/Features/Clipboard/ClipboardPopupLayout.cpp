#include "Source/Features/Clipboard/ClipboardPopupLayout.h"

#include "Platform/Gui/SystemFont.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace ClipboardPopupLayout {

namespace {

constexpr int kPreviewLineLimit = 400;
constexpr int kPreviewFileLimit = 30;

// Line breaks (a CR LF pair counts once) made single spaces.
QString joinLines(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar c : {QChar(u'\n'), QChar(u'\r'), QChar(0x2028), QChar(0x2029)}) s.replace(c, QLatin1Char(' '));
    return s;
}

bool hasLineBreak(const QString& s) {
    for (QChar c : s)
        if (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029)) return true;
    return false;
}

// At least `count` user-perceived characters.
bool hasAtLeastCharacters(const QString& s, int count) {
    if (s.size() < count) return false;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    int n = 0;
    while (finder.toNextBoundary() >= 0) {
        if (++n >= count) return true;
    }
    return false;
}

// The first `count` user-perceived characters.
QString leftCharacters(const QString& s, int count) {
    if (s.size() <= count) return s;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    qsizetype end = 0;
    for (int n = 0; n < count; ++n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) return s;
        end = next;
    }
    return s.left(end);
}

const QFontMetricsF& labelMetrics() {
    static const QFontMetricsF metrics(labelFont());
    return metrics;
}

const QFontMetricsF& previewMetrics() {
    static const QFontMetricsF metrics(previewTextFont());
    return metrics;
}

// Width of a line in the preview font, exact up to `enough`: a very long line is measured by
// a prefix that already reaches it.
double previewLineWidth(const QString& line, double enough) {
    const QFontMetricsF& fm = previewMetrics();
    const double advance = std::max(1.0, fm.horizontalAdvance(QLatin1Char('0')));
    const qsizetype prefix = qsizetype(std::ceil(enough / advance)) * 2 + 16;
    if (line.size() > prefix) {
        const double w = fm.horizontalAdvance(line.left(prefix));
        if (w >= enough) return w;
    }
    return fm.horizontalAdvance(line);
}

}  // namespace

bool contains(const QRectF& rect, const QPointF& p) {
    return p.x() >= rect.x() && p.x() < rect.x() + rect.width() && p.y() >= rect.y() &&
           p.y() < rect.y() + rect.height();
}

QFont labelFont() { return SystemFont::font(13); }

QFont previewTextFont() { return SystemFont::monospaced(12); }

double rowHeight(const ClipboardItem& item) { return item.content.isImage() ? imageRowHeight : textRowHeight; }

QString textHead(const QString& text, qsizetype limit) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace()) ++start;
    qsizetype end = std::min(text.size(), start + std::max<qsizetype>(limit, 0));
    if (end < text.size() && end > start && text.at(end - 1).isHighSurrogate()) --end;
    return text.mid(start, end - start);
}

QString previewText(const ClipboardContent& content) {
    return textHead(content.textValue(), previewTextLimit).trimmed();
}

bool isPreviewTextCut(const ClipboardContent& content) {
    if (!content.isText()) return false;
    const QString text = content.textValue();
    if (text.size() <= previewTextLimit) return false;
    // Cut when anything but white space follows the head.
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace()) ++start;
    const qsizetype after = start + textHead(text.mid(start, previewTextLimit + 1), previewTextLimit).size();
    for (qsizetype i = after; i < text.size(); ++i)
        if (!text.at(i).isSpace()) return true;
    return false;
}

QString rowLabel(const ClipboardItem& item, bool historyRow) {
    if (historyRow && item.isConcealed) return QString(8, QChar(0x2022));
    switch (item.content.kind()) {
    case ClipboardContent::Kind::text: {
        QString s = joinLines(textHead(item.content.textValue(), labelTextLimit).trimmed());
        s.replace(QLatin1Char('\t'), QLatin1Char(' '));
        return s.isEmpty() ? QStringLiteral("[Пусто]") : s;
    }
    case ClipboardContent::Kind::image: {
        const QSizeF size = item.content.imageReference()->pixelSize;
        return QString::asprintf("%lld \u00d7 %lld", (long long)size.width(), (long long)size.height());
    }
    case ClipboardContent::Kind::files: {
        const QList<QUrl> urls = item.content.fileURLs();
        if (urls.size() == 1) return item.content.preview();
        return QString::asprintf("%lld", (long long)urls.size()) + QStringLiteral(" файлов");
    }
    }
    return {};
}

QString measuredLabel(const ClipboardItem& item) {
    switch (item.content.kind()) {
    case ClipboardContent::Kind::image: return {};
    case ClipboardContent::Kind::files: return item.content.preview();
    case ClipboardContent::Kind::text:
        return leftCharacters(joinLines(textHead(item.content.textValue(), labelTextLimit).trimmed()),
                              measuredLabelLength);
    }
    return {};
}

double optimalWidth(const std::vector<ClipboardItem>& items, const std::function<double(const QString&)>& measure) {
    double largest = leastLabelWidth;
    for (const ClipboardItem& item : items) {
        if (item.content.isImage()) continue;
        const QString label = measuredLabel(item);
        if (label.isEmpty()) continue;
        largest = std::max(largest, measure(label));
        if (largest + labelRoom >= maxContentWidth) return maxContentWidth;
    }
    return std::min(std::max(largest + labelRoom, minContentWidth), maxContentWidth);
}

double optimalWidth(const std::vector<ClipboardItem>& items) {
    const QFontMetricsF& fm = labelMetrics();
    return optimalWidth(items, [&fm](const QString& s) { return fm.horizontalAdvance(s); });
}

double listBlockHeight(std::span<const ClipboardItem> rows) {
    if (rows.empty()) return emptyListBlock;
    double sum = 0;
    for (const ClipboardItem& item : rows) {
        sum += rowHeight(item);
        if (sum >= listBlockMaximum) break;  // capped below anyway
    }
    return std::min(sum + listPadding, listBlockMaximum) + searchLineHeight;
}

double shelfHeight(int pinnedCount) {
    if (pinnedCount < 1) return 0;
    return pinnedBlockPadding + pinnedRowHeight * std::min(pinnedCount, maxPinnedRowsCounted);
}

double shelfGap(double shelf) { return shelf > 0 ? pinnedGap : 0; }

Placement place(double W, double L, int pinnedCount, int storeCount, const QPointF& pointer, const QRectF& vis) {
    Placement p;
    const double px = pointer.x(), py = pointer.y();
    const double S = shelfHeight(pinnedCount);
    const double G = shelfGap(S);
    const double below = py - (minY(vis) + screenMargin);
    const double above = (maxY(vis) - screenMargin) - py;
    const double LH = std::min(std::max(std::max(above, below) - chrome - S - G, leastListHeight), L);
    const double C = S + G + LH;
    const double T = C + chrome;
    const bool upward = std::min(T, above) > below;
    const double R = upward ? above : below;
    const double Q = storeCount == 0
                         ? 0
                         : std::max(0.0, 24 + pinnedRowHeight * std::min(storeCount, maxPinnedRowsCounted) - (S + G));
    const double slack = R - T - 8;
    const double E = slack >= 0 ? std::min(slack, Q) : 0;
    const double H = C + E + chrome;

    const double x = std::max(vis.x() + screenMargin, std::min(vis.x() + vis.width() - W - screenMargin, px - pointerInset));
    const double B = upward ? py + pointerGap : py - H;
    const double y = std::max(minY(vis) + screenMargin, std::min(maxY(vis) - H - screenMargin, B));

    p.width = W;
    p.height = H;
    p.listHeight = LH;
    p.shelfHeight = S;
    p.contentColumnBudget = C + E;
    p.growsUpward = upward;
    p.mainFrame = QRectF(x, y, W, H);
    return p;
}

PreviewColumn previewColumn(const QRectF& F, const QRectF& vis) {
    PreviewColumn c;
    const double fMinX = F.x(), fMaxX = F.x() + F.width();
    // The preview card stands 14 beside the main card and 16 inside its column, so the column
    // reaches 14 beyond the main frame on either side before the card's own width.
    const double leftRoom = (fMinX - previewGap) - vis.x();
    const double rightRoom = (vis.x() + vis.width()) - (fMaxX + previewGap);
    double w;
    bool right;
    if (leftRoom >= previewMaxWidth) {
        w = previewMaxWidth;
        right = false;
    } else {
        const double best = std::max(leftRoom, rightRoom);
        // At least 460 wide where the room allows, but never wider than the room: with a wide
        // popup on a narrow screen the card shrinks rather than running off the screen.
        w = best >= previewMaxWidth ? previewMaxWidth : std::max(best, std::min(previewMinWidth, best));
        w = std::max(w, 0.0);
        right = leftRoom < rightRoom;
    }
    const double width = w + 2 * sideInset;
    const double x = right ? fMaxX - (sideInset + 2) : fMinX - previewGap - w;
    const double height = vis.height() - 2 * screenMargin;
    const double y = std::max(minY(vis) + screenMargin, std::min(maxY(vis) - height - screenMargin, maxY(F) - height));
    c.column = QRectF(x, y, width, height);
    c.cardWidth = w;
    c.onRight = right;

    const double uMinX = std::min(fMinX, x), uMaxX = std::max(fMaxX, x + width);
    const double uMinY = std::min(minY(F), y), uMaxY = std::max(maxY(F), y + height);
    c.unionFrame = QRectF(uMinX, uMinY, uMaxX - uMinX, uMaxY - uMinY);
    c.mainOffset = QSizeF(fMinX - uMinX, uMaxY - maxY(F));
    c.previewColumnRect = QRectF(x - uMinX, y - uMinY, width, height);
    return c;
}

double listFrameY(bool growsUpward, double budget, double shelf, double listHeight, double footerBlock) {
    const double G = shelfGap(shelf);
    const double spare = std::max(budget - (G + shelf + listHeight), 0.0);
    return (growsUpward ? sideInset : spare + sideInset) + footerBlock + footerGap;
}

bool needsPreview(const ClipboardItem& item, double mainPanelWidth, const std::function<double(const QString&)>& measure) {
    if (item.isConcealed) return false;
    switch (item.content.kind()) {
    case ClipboardContent::Kind::image: return true;
    case ClipboardContent::Kind::files: return item.content.fileURLs().size() > 1;
    case ClipboardContent::Kind::text: {
        const QString head = textHead(item.content.textValue(), labelTextLimit);
        if (head.size() >= labelTextLimit - 1) return true;  // far more than a row shows
        const QString text = head.trimmed();
        if (hasAtLeastCharacters(text, 81) || hasLineBreak(text) || text.contains(QLatin1Char('\t'))) return true;
        const double room = mainPanelWidth > 0 ? mainPanelWidth - 2 * sideInset - labelRoom : leastLabelWidth;
        const double width = measure ? measure(text) : labelMetrics().horizontalAdvance(text);
        return width > room;
    }
    }
    return false;
}

double previewBodyWidth(const ClipboardContent& content, double M) {
    if (!content.isText()) return std::min(previewMinWidth, M);  // never wider than the room
    const QString text = previewText(content);
    double widest = 0;
    int measured = 0;
    qsizetype start = 0;
    while (start <= text.size() && measured < kPreviewLineLimit && widest < M) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
        if (end > start) {
            widest = std::max(widest, previewLineWidth(text.mid(start, end - start), M));
            ++measured;
        }
        start = end + 1;
    }
    const double w = std::ceil(widest) + 24 + 2;
    if (w < previewMinWidth && M >= previewMinWidth) return previewMinWidth;
    if ((w < previewMinWidth && M < previewMinWidth) || w > M) return std::min(M, previewMaxWidth);
    return std::min(w, previewMaxWidth);
}

double measureContentHeight(const ClipboardContent& content, double B, double enough) {
    switch (content.kind()) {
    case ClipboardContent::Kind::files:
        return 24 + 24 * std::min<qsizetype>(content.fileURLs().size(), kPreviewFileLimit);
    case ClipboardContent::Kind::image: {
        const QSizeF size = content.imageReference()->pixelSize;
        const double pw = size.width(), ph = size.height();
        const double inf = std::numeric_limits<double>::infinity();
        const double scale = std::min({pw > 0 ? (B - 24) / pw : inf, ph > 0 ? 520 / ph : inf, 1.0});
        return ph * scale + 24;
    }
    case ClipboardContent::Kind::text: {
        const QString text = previewText(content);
        const double width = std::max(1.0, B - 24);
        const QFont font = previewTextFont();
        const QFontMetricsF& fm = previewMetrics();
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        double height = 0;
        qsizetype start = 0;
        // Paragraph by paragraph, stopping once no preview could show more.
        while (start <= text.size() && height <= enough) {
            qsizetype end = text.indexOf(QLatin1Char('\n'), start);
            if (end < 0) end = text.size();
            QString paragraph = text.mid(start, end - start);
            if (paragraph.endsWith(QLatin1Char('\r'))) paragraph.chop(1);
            if (paragraph.isEmpty()) {
                height += fm.lineSpacing();
            } else {
                QTextLayout layout(paragraph, font);
                layout.setTextOption(option);
                layout.beginLayout();
                for (;;) {
                    QTextLine line = layout.createLine();
                    if (!line.isValid()) break;
                    line.setLineWidth(width);
                    height += fm.lineSpacing();
                    if (height > enough) break;
                }
                layout.endLayout();
            }
            start = end + 1;
        }
        return std::ceil(height) + 28;
    }
    }
    return 0;
}

QString formatDate(const QDateTime& date) {
    static const std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kLong, icu::DateFormat::kShort, icu::Locale("ru_RU")));
    if (!formatter || !date.isValid()) return {};
    icu::UnicodeString out;
    formatter->format(UDate(double(date.toMSecsSinceEpoch())), out);
    return QString(reinterpret_cast<const QChar*>(out.getBuffer()), out.length());
}

QStringList infoLines(const ClipboardItem& item) {
    QStringList lines;
    if (item.sourceApp && !item.sourceApp->isEmpty()) lines << QStringLiteral("Приложение: ") + *item.sourceApp;
    lines << QStringLiteral("Скопировано впервые: ") + formatDate(item.firstCopiedAt);
    if (item.copiedAt.isValid() && item.firstCopiedAt.isValid() &&
        std::llabs(item.copiedAt.msecsTo(item.firstCopiedAt)) > 1000)
        lines << QStringLiteral("Последний раз: ") + formatDate(item.copiedAt);
    lines << QStringLiteral("Копирований: ") + QString::asprintf("%lld", (long long)item.copyCount);
    if (isPreviewTextCut(item.content)) {
        lines << QStringLiteral("Показано ") +
                     QString::asprintf("%lld", (long long)previewText(item.content).size()) + QStringLiteral(" из ") +
                     QString::asprintf("%lld", (long long)item.content.textValue().size()) + QStringLiteral(" символов");
    }
    lines << QString();
    lines << (item.isPinned ? QStringLiteral("⌘P — открепить") : QStringLiteral("⌘P — закрепить"));
    lines << QStringLiteral("⌘⌫ — удалить");
    return lines;
}

double infoHeight(int lineCount) { return 15.0 * (lineCount - 1) + 24 + 7; }

double contentHeight(ClipboardContent::Kind kind, double measured, double SH, double head, double columnHeight) {
    const double maxContent = std::max(columnHeight - head - 32, 120.0);
    double cap = 0, limit = 0, floor = 0;
    switch (kind) {
    case ClipboardContent::Kind::text: cap = 0.75 * SH - head, limit = 720, floor = 120; break;
    case ClipboardContent::Kind::image: cap = 0.65 * SH, limit = 600, floor = 120; break;
    case ClipboardContent::Kind::files: cap = 0.5 * SH, limit = 500, floor = 100; break;
    }
    return std::max(floor, std::min({measured, cap, limit, maxContent}));
}

PreviewCard previewCard(const QSizeF& size, double pointerY, const QRectF& column, const QRectF& panel,
                        const QSizeF& mainOffset) {
    PreviewCard card;
    const double W = size.width(), H = size.height();
    double y = pointerY - (H - 32) / 2 - 16;
    y = std::min(y, maxY(column) - H);
    y = std::max(y, minY(column));
    const double mainLeft = panel.x() + mainOffset.width();
    const double x = mainLeft <= column.center().x() ? column.x() : column.x() + column.width() - W;
    card.frame = QRectF(x, y, W, H);
    card.previewOffset = QSizeF(x - panel.x(), maxY(panel) - (y + H));
    const double bx = card.previewOffset.width() < mainOffset.width() ? 1.0 : 0.0;
    const double by = H > 0 ? std::clamp(1 - (pointerY - y) / H, 0.0, 1.0) : 0.5;
    card.birth = QPointF(bx, by);
    return card;
}

std::optional<int> rowAtContentY(const std::vector<ClipboardItem>& rows, double y) {
    double top = listPadding / 2;
    for (size_t i = 0; i < rows.size(); ++i) {
        const double h = rowHeight(rows[i]);
        if (y >= top && y < top + h) return int(i);
        top += h;
        if (top > y) break;
    }
    return std::nullopt;
}

double rowTop(const std::vector<ClipboardItem>& rows, int row) {
    double top = listPadding / 2;
    for (int i = 0; i < row && i < int(rows.size()); ++i) top += rowHeight(rows[size_t(i)]);
    return top;
}

}  // namespace ClipboardPopupLayout
