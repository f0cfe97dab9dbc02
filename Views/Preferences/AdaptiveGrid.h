#pragma once

#include <QList>
#include <QWidget>

// Lays out equal items in as many columns as fit, each column between a minimum and a maximum
// width with a fixed spacing, items centred in their cells and the grid centred in its width.
class AdaptiveGrid : public QWidget {
    Q_OBJECT
public:
    AdaptiveGrid(int minimumColumn, int maximumColumn, int spacing, QWidget* parent = nullptr);

    // Takes the items (earlier ones are deleted) and lays them out.
    void setItems(const QList<QWidget*>& items);
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
    void place();
    int rowHeight() const;

    int minimumColumn_;
    int maximumColumn_;
    int spacing_;
    QList<QWidget*> items_;
};
