#pragma once

#include <QList>
#include <QWidget>

// Lays its widgets out in as many equal columns as fit at a minimum cell width, each widget
// stretched over its whole cell, row by row in the order added; its height follows its width.
class StretchGrid : public QWidget {
    Q_OBJECT
public:
    StretchGrid(int minimumCellWidth, int columnSpacing, int rowSpacing, QWidget* parent = nullptr);

    void addWidget(QWidget* widget);
    int columnCount(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowHeight() const;
    void place();

    int minimumCellWidth_;
    int columnSpacing_;
    int rowSpacing_;
    QList<QWidget*> widgets_;
};
