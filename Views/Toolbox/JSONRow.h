#pragma once

#include <QColor>
#include <QHash>
#include <QStyledItemDelegate>

#include <optional>

class JSONNode;
class JSONTreeRows;

// Draws one row of the JSON tree: an indent guide per level, the disclosure chevron of a container
// (turned down while open), the key and a colon, and the value in its type's colour, wrapped onto as
// many lines as it needs. A row is at least 24 px high and is tinted while the pointer is over it.
class JSONRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int minimumHeight = 24;
    static constexpr int listInset = 8;    // between the list's edge and a row
    static constexpr int verticalInset = 1;
    static constexpr int padding = 6;      // inside a row, left and right
    static constexpr int verticalPadding = 2;
    static constexpr int spacing = 6;
    static constexpr int guideWidth = 1;
    static constexpr int guideTrailing = 13;
    static constexpr int disclosureSide = 14;
    static constexpr double fontSize = 11;

    JSONRow(const JSONTreeRows& rows, QObject* parent = nullptr);

    // The colour of a value by its type name: strings green, numbers blue, booleans purple, null
    // secondary, containers secondary at 70 %.
    static QColor valueColor(const QString& typeName, const QPalette& palette);
    // What "Скопировать значение" copies: a string without its quotes, else the displayed value.
    static QString copyText(const JSONNode& node);
    // Where the value's text starts in a row of the given left edge.
    static double valueLeft(const JSONNode& node, double left);
    // The row's height at a list width.
    static int rowHeight(const JSONNode& node, int listWidth);
    static int rowHeight(const std::optional<QString>& key, const QString& displayValue, bool container, qint64 depth,
                         int listWidth);
    // The chevron's square in a row's rectangle (within the list's insets).
    static QRectF disclosureRect(const JSONNode& node, const QRect& itemRect);

    // The chevron's turn of a node, in degrees, while it animates; otherwise it follows the node's state.
    void setChevronAngle(const JSONNode* node, double degrees);
    void clearChevronAngle(const JSONNode* node);
    void clearChevronAngles() { angles_.clear(); }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const JSONTreeRows& rows_;
    QHash<const JSONNode*, double> angles_;
};
