#pragma once

#include "Source/Features/Toolbox/SnippetsPaneModel.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <vector>

// The rows of the snippet explanation card, drawn rather than built from labels: a body may hold a
// thousand placeholders, and a thousand rows of labels take seconds to build and lay out at every
// edit. A row: the symbol in the accent colour; beside it the title and the token in one line, the
// detail wrapped below. Only the rows in the exposed part are drawn.
class ExplanationRows : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowSpacing = 10;

    explicit ExplanationRows(QWidget* parent = nullptr);

    const QList<SnippetsPaneModel::ExplanationRow>& rows() const { return rows_; }
    // False when the rows are those already shown (nothing is laid out again).
    bool setRows(const QList<SnippetsPaneModel::ExplanationRow>& rows);

    // The rows' text as the card reads: "title token detail".
    QStringList lines() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int headingHeight(const SnippetsPaneModel::ExplanationRow& row) const;
    int detailHeight(const QString& detail, int width) const;
    int rowHeight(const SnippetsPaneModel::ExplanationRow& row, int width) const;
    // The top of every row, and the total height after them, at this width.
    const std::vector<int>& tops(int width) const;

    QList<SnippetsPaneModel::ExplanationRow> rows_;
    mutable std::vector<int> tops_;
    mutable int topsWidth_ = -1;
    mutable QHash<QString, int> detailHeights_;  // by detail, at detailWidth_
    mutable int detailWidth_ = -1;
    mutable int oneLineHeading_ = -1;  // a heading without line breaks
};
