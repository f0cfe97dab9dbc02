#pragma once

#include <QList>
#include <QWidget>

// Lays out equal items in as many columns as fit at a minimum column width, row by row, its height
// following its width. With a maximum column width, each item keeps its own size, centred in its
// cell, and the grid is centred in its width; with `stretch` as the maximum, the columns share the
// whole width and each item fills its cell.
class AdaptiveGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int stretch = 0;

    AdaptiveGrid(int minimumColumn, int maximumColumn, int columnSpacing, int rowSpacing, QWidget* parent = nullptr);

    // Takes the items (earlier ones are deleted) and lays them out.
    void setItems(const QList<QWidget*>& items);
    // Adds an item after the others.
    void addWidget(QWidget* item);
    const QList<QWidget*>& items() const { return items_; }

    // How many columns fit in a width, and how wide each one is then.
    static int columns(int width, int minimumColumn, int spacing);
    static double columnWidth(int width, int columns, int maximumColumn, int spacing);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool stretches() const { return maximumColumn_ == stretch; }
    void place();
    int rowHeight() const;

    int minimumColumn_;
    int maximumColumn_;
    int columnSpacing_;
    int rowSpacing_;
    QList<QWidget*> items_;
};
