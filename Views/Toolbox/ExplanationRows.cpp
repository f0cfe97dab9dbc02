#include "Views/Toolbox/ExplanationRows.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kSymbolWidth = 16;
constexpr int kSymbolHeight = 17;
constexpr int kTextLeft = kSymbolWidth + 9;
constexpr int kHeadingSpacing = 6;
constexpr int kDetailGap = 2;
constexpr int kUnbounded = 1 << 20;

QFont titleFont() { return SystemFont::font(11, QFont::DemiBold); }
QFont tokenFont() { return SystemFont::monospaced(9); }
QFont detailFont() { return SystemFont::font(10); }

QSize textSize(const QFont& font, const QString& text) {
    return QFontMetrics(font).boundingRect(QRect(0, 0, kUnbounded, kUnbounded), Qt::AlignLeft, text).size();
}

}  // namespace

ExplanationRows::ExplanationRows(QWidget* parent) : QWidget(parent) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

bool ExplanationRows::setRows(const QList<SnippetsPaneModel::ExplanationRow>& rows) {
    if (rows == rows_) return false;
    const bool sameHeights = rows.size() == rows_.size() &&
                             std::equal(rows.begin(), rows.end(), rows_.begin(), [this](const auto& a, const auto& b) {
                                 return a.detail == b.detail && headingHeight(a) == headingHeight(b);
                             });
    rows_ = rows;
    if (!sameHeights) {
        topsWidth_ = -1;
        updateGeometry();
    }
    update();
    return true;
}

QStringList ExplanationRows::lines() const {
    QStringList lines;
    lines.reserve(rows_.size());
    for (const SnippetsPaneModel::ExplanationRow& row : rows_) {
        QStringList parts;
        for (const QString& part : {row.title, row.token, row.detail})
            if (!part.isEmpty()) parts.append(part);
        lines.append(parts.join(QLatin1Char(' ')));
    }
    return lines;
}

int ExplanationRows::headingHeight(const SnippetsPaneModel::ExplanationRow& row) const {
    // One line unless a name holds a line break.
    if (oneLineHeading_ < 0)
        oneLineHeading_ = std::max(QFontMetrics(titleFont()).height(), QFontMetrics(tokenFont()).height());
    if (!row.title.contains(QLatin1Char('\n')) && !row.token.contains(QLatin1Char('\n'))) return oneLineHeading_;
    return std::max(textSize(titleFont(), row.title).height(), textSize(tokenFont(), row.token).height());
}

int ExplanationRows::detailHeight(const QString& detail, int width) const {
    if (width != detailWidth_) {
        detailHeights_.clear();
        detailWidth_ = width;
    }
    // The details are a few fixed sentences: each is measured once per width.
    auto it = detailHeights_.constFind(detail);
    if (it == detailHeights_.constEnd()) {
        const QRect bounds =
            QFontMetrics(detailFont())
                .boundingRect(QRect(0, 0, std::max(1, width), kUnbounded), Qt::AlignLeft | Qt::TextWordWrap, detail);
        it = detailHeights_.insert(detail, bounds.height());
    }
    return *it;
}

int ExplanationRows::rowHeight(const SnippetsPaneModel::ExplanationRow& row, int width) const {
    return std::max(kSymbolHeight, headingHeight(row) + kDetailGap + detailHeight(row.detail, width - kTextLeft));
}

const std::vector<int>& ExplanationRows::tops(int width) const {
    if (width == topsWidth_) return tops_;
    tops_.clear();
    tops_.reserve(rows_.size() + 1);
    int y = 0;
    for (const SnippetsPaneModel::ExplanationRow& row : rows_) {
        tops_.push_back(y);
        y += rowHeight(row, width) + rowSpacing;
    }
    tops_.push_back(rows_.isEmpty() ? 0 : y - rowSpacing);
    topsWidth_ = width;
    return tops_;
}

int ExplanationRows::heightForWidth(int width) const { return tops(width).back(); }

QSize ExplanationRows::sizeHint() const {
    const int width = std::max(this->width(), 200);
    return QSize(width, heightForWidth(width));
}

QSize ExplanationRows::minimumSizeHint() const { return QSize(kTextLeft + 40, 0); }

void ExplanationRows::paintEvent(QPaintEvent* event) {
    if (rows_.isEmpty()) return;
    const std::vector<int>& top = tops(width());
    const QRect exposed = event->rect();
    // The first row that ends below the exposed part's top.
    auto first = std::upper_bound(top.begin(), top.end() - 1, exposed.top() - 1) - top.begin();
    if (first > 0) --first;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QPalette& pal = palette();
    const QColor accent = SystemColors::accent(pal), primary = SystemColors::primary(pal);
    const QColor secondary = SystemColors::secondary(pal), tertiary = SystemColors::tertiary(pal);
    const QFont title = titleFont(), token = tokenFont(), detail = detailFont();
    const QFontMetrics titleMetrics(title), tokenMetrics(token);
    const int textWidth = std::max(1, width() - kTextLeft);
    for (qsizetype i = first; i < rows_.size() && top[i] <= exposed.bottom(); ++i) {
        const SnippetsPaneModel::ExplanationRow& row = rows_.at(i);
        const int y = top[i];
        Symbols::draw(painter, QRectF(0, y, kSymbolWidth, kSymbolHeight), row.symbol, accent, 11,
                      Symbols::Weight::medium);
        const int heading = headingHeight(row);
        const bool oneLine = !row.title.contains(QLatin1Char('\n')) && !row.token.contains(QLatin1Char('\n'));
        const int titleWidth = std::min(textWidth, textSize(title, row.title).width());
        painter.setFont(title);
        painter.setPen(primary);
        painter.drawText(QRect(kTextLeft, y, titleWidth, heading), Qt::AlignLeft | Qt::AlignVCenter,
                         oneLine ? titleMetrics.elidedText(row.title, Qt::ElideRight, titleWidth) : row.title);
        const int tokenLeft = kTextLeft + titleWidth + kHeadingSpacing;
        const int tokenWidth = width() - tokenLeft;
        if (tokenWidth > 0) {
            painter.setFont(token);
            painter.setPen(tertiary);
            painter.drawText(QRect(tokenLeft, y, tokenWidth, heading), Qt::AlignLeft | Qt::AlignVCenter,
                             oneLine ? tokenMetrics.elidedText(row.token, Qt::ElideRight, tokenWidth) : row.token);
        }
        painter.setFont(detail);
        painter.setPen(secondary);
        painter.drawText(QRect(kTextLeft, y + heading + kDetailGap, textWidth, detailHeight(row.detail, textWidth)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, row.detail);
    }
}

void ExplanationRows::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        topsWidth_ = detailWidth_ = oneLineHeading_ = -1;
        updateGeometry();
    }
}
