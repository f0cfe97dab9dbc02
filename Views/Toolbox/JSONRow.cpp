#include "Views/Toolbox/JSONRow.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Toolbox/JSONNode.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/ContentCard.h"
#include "Views/Toolbox/JSONTreeRows.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

const QFont& keyFont(bool container) {
    static const QFont semibold = SystemFont::monospaced(JSONRow::fontSize, QFont::DemiBold);
    static const QFont medium = SystemFont::monospaced(JSONRow::fontSize, QFont::Medium);
    return container ? semibold : medium;
}

const QFont& valueFont() {
    static const QFont font = SystemFont::monospaced(JSONRow::fontSize);
    return font;
}

const QFontMetricsF& valueMetrics() {
    static const QFontMetricsF metrics(valueFont());
    return metrics;
}

// Words kept whole where they fit, broken anywhere where they don't; a long run without spaces is
// broken anywhere at once, as searching it for a word boundary on every line takes seconds.
QTextOption::WrapMode wrapMode(QStringView text) {
    return CodeTextView::hasLongUnbrokenRun(text) ? QTextOption::WrapAnywhere
                                                  : QTextOption::WrapAtWordBoundaryOrAnywhere;
}

// The value's lines at a width.
int lineCount(const QString& text, double width) {
    const QFontMetricsF& fm = valueMetrics();
    // Most values are short: no glyph of the monospaced font or its fallbacks is wider than two cells.
    if (text.size() * fm.averageCharWidth() * 2 <= width) return 1;
    if (fm.horizontalAdvance(text) <= width && !text.contains(QLatin1Char('\n'))) return 1;
    int lines = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, valueFont());
        QTextOption option;
        option.setWrapMode(wrapMode(paragraph));
        layout.setTextOption(option);
        layout.beginLayout();
        int count = 0;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(std::max(1.0, width));
            ++count;
        }
        layout.endLayout();
        lines += std::max(1, count);
    }
    return std::max(1, lines);
}

double textLeft(qint64 depth, double left) {
    return left + JSONRow::padding + depth * (JSONRow::guideWidth + JSONRow::guideTrailing + JSONRow::spacing) +
           JSONRow::disclosureSide + JSONRow::spacing;
}

double valueLeftOf(const std::optional<QString>& key, bool container, qint64 depth, double left) {
    double x = textLeft(depth, left);
    if (key) {
        x += QFontMetricsF(keyFont(container)).horizontalAdvance(*key) + JSONRow::spacing;
        x += QFontMetricsF(keyFont(false)).horizontalAdvance(QStringLiteral(":")) + JSONRow::spacing;
    }
    return x;
}

}  // namespace

JSONRow::JSONRow(const JSONTreeRows& rows, QObject* parent) : QStyledItemDelegate(parent), rows_(rows) {}

QColor JSONRow::valueColor(const QString& typeName, const QPalette& palette) {
    const bool dark = SystemColors::isDark(palette);
    // The rows lie on the card surface, nearly as light as the green.
    const QColor surface = ContentCard::surface(palette);
    if (typeName == QLatin1String("string")) return SystemColors::legible(SystemColors::green(dark), surface);
    if (typeName == QLatin1String("number")) return SystemColors::legible(SystemColors::blue(dark), surface);
    if (typeName == QLatin1String("bool")) return SystemColors::legible(SystemColors::purple(dark), surface);
    if (typeName == QLatin1String("null")) return SystemColors::secondary(palette);
    return SystemColors::withOpacity(SystemColors::secondary(palette), 0.7);
}

QString JSONRow::copyText(const JSONNode& node) {
    if (node.value().is_string()) return QString::fromStdString(node.value().get_ref<const std::string&>());
    return node.displayValue();
}

double JSONRow::valueLeft(const JSONNode& node, double left) {
    return valueLeftOf(node.key(), node.isContainer(), node.depth(), left);
}

int JSONRow::rowHeight(const JSONNode& node, int listWidth) {
    return rowHeight(node.key(), node.displayValue(), node.isContainer(), node.depth(), listWidth);
}

int JSONRow::rowHeight(const std::optional<QString>& key, const QString& displayValue, bool container, qint64 depth,
                       int listWidth) {
    const double right = listWidth - listInset - padding;
    const double width = right - valueLeftOf(key, container, depth, listInset);
    const int lines = lineCount(displayValue, width);
    const double lineHeight = std::max(valueMetrics().lineSpacing(), valueMetrics().height());
    // The first line sits centred in the band of a one-line row; the others follow it.
    const double firstLine = minimumHeight - 2 * verticalPadding;
    const double top = std::max(0.0, (firstLine - lineHeight) / 2);
    const int content = int(std::ceil(2 * top + lines * lineHeight)) + 2 * verticalPadding;
    return std::max(minimumHeight, content) + 2 * verticalInset;
}

QRectF JSONRow::disclosureRect(const JSONNode& node, const QRect& itemRect) {
    const double left = itemRect.left() + listInset + padding +
                        node.depth() * (guideWidth + guideTrailing + spacing);
    const double firstLine = minimumHeight - 2 * verticalPadding;
    const double top = itemRect.top() + verticalInset + verticalPadding + (firstLine - disclosureSide) / 2;
    return QRectF(left, top, disclosureSide, disclosureSide);
}

void JSONRow::setChevronAngle(const JSONNode* node, double degrees) { angles_.insert(node, degrees); }

void JSONRow::clearChevronAngle(const JSONNode* node) { angles_.remove(node); }

QSize JSONRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    // Measured from the row's description: the list measures every row, and most are never drawn.
    const std::optional<JSONTreeRows::Description> row = index.isValid() ? rows_.describe(index.row()) : std::nullopt;
    int width = option.rect.width();
    if (auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) width = view->viewport()->width();
    if (!row) return QSize(width, minimumHeight);
    return QSize(width, rowHeight(row->key, JSONNode::displayValue(*row->value), JSONNode::isContainer(*row->value),
                                  row->depth, width));
}

void JSONRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const JSONNode* node = rows_.node(index);
    if (!node) return;
    const QPalette& palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(option.rect).adjusted(listInset, verticalInset, -listInset, -verticalInset);
    if (option.state & QStyle::State_MouseOver) {
        painter->fillPath(ContinuousCorners::roundedRect(row, 4),
                          SystemColors::withOpacity(SystemColors::primary(palette), 0.06));
    }

    // Indent guides, one per level, the full row high.
    double x = row.left() + padding;
    const QColor guide = SystemColors::withOpacity(SystemColors::primary(palette), 0.055);
    for (qint64 level = 0; level < node->depth(); ++level) {
        painter->fillRect(QRectF(x, row.top(), guideWidth, row.height()), guide);
        x += guideWidth + guideTrailing + spacing;
    }

    const double lineTop = row.top() + verticalPadding;
    const double firstLine = minimumHeight - 2 * verticalPadding;
    if (node->isContainer()) {
        const double angle = angles_.value(node, rows_.isExpanded(node) ? 90.0 : 0.0);
        const QRectF chevron(x, lineTop + (firstLine - disclosureSide) / 2, disclosureSide, disclosureSide);
        Symbols::draw(*painter, chevron, QStringLiteral("chevron.right"), SystemColors::secondary(palette), 8 * 1.4,
                      Symbols::Weight::bold, angle);
    }
    x += disclosureSide + spacing;

    const QFontMetricsF fm = valueMetrics();
    const double baselineTop = lineTop + std::max(0.0, (firstLine - fm.lineSpacing()) / 2);
    if (node->key()) {
        const QFont& kf = keyFont(node->isContainer());
        painter->setFont(kf);
        painter->setPen(SystemColors::primary(palette));
        const double keyWidth = QFontMetricsF(kf).horizontalAdvance(*node->key());
        painter->drawText(QRectF(x, baselineTop, keyWidth + 1, fm.lineSpacing()), Qt::AlignLeft | Qt::AlignTop,
                          *node->key());
        x += keyWidth + spacing;
        painter->setFont(keyFont(false));
        painter->setPen(SystemColors::tertiary(palette));
        const double colonWidth = QFontMetricsF(keyFont(false)).horizontalAdvance(QStringLiteral(":"));
        painter->drawText(QRectF(x, baselineTop, colonWidth + 1, fm.lineSpacing()), Qt::AlignLeft | Qt::AlignTop,
                          QStringLiteral(":"));
        x += colonWidth + spacing;
    }

    painter->setFont(valueFont());
    painter->setPen(valueColor(node->typeName(), palette));
    const QRectF value(x, baselineTop, row.right() - padding - x, row.bottom() - baselineTop);
    QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
    const QString text = node->displayValue();
    wrap.setWrapMode(wrapMode(text));
    painter->drawText(value, text, wrap);
    painter->restore();
}
