#include "Views/Toolbox/StretchGrid.h"

#include <algorithm>

StretchGrid::StretchGrid(int minimumCellWidth, int columnSpacing, int rowSpacing, QWidget* parent)
    : QWidget(parent), minimumCellWidth_(minimumCellWidth), columnSpacing_(columnSpacing), rowSpacing_(rowSpacing) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void StretchGrid::addWidget(QWidget* widget) {
    widget->setParent(this);
    widgets_.append(widget);
    updateGeometry();
    place();
}

int StretchGrid::columnCount(int width) const {
    return std::max(1, (width + columnSpacing_) / (minimumCellWidth_ + columnSpacing_));
}

int StretchGrid::rowHeight() const {
    int height = 0;
    for (QWidget* w : widgets_) height = std::max(height, w->sizeHint().height());
    return height;
}

int StretchGrid::heightForWidth(int width) const {
    if (widgets_.isEmpty()) return 0;
    const int columns = columnCount(width);
    const int rows = int((widgets_.size() + columns - 1) / columns);
    return rows * rowHeight() + (rows - 1) * rowSpacing_;
}

QSize StretchGrid::sizeHint() const {
    const int width = 2 * minimumCellWidth_ + columnSpacing_;
    return QSize(width, heightForWidth(width));
}

QSize StretchGrid::minimumSizeHint() const { return QSize(minimumCellWidth_, heightForWidth(minimumCellWidth_)); }

void StretchGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void StretchGrid::place() {
    const int columns = columnCount(width());
    const int cellWidth = std::max(1, (width() - (columns - 1) * columnSpacing_) / columns);
    const int height = rowHeight();
    for (int i = 0; i < widgets_.size(); ++i) {
        const int row = i / columns, column = i % columns;
        widgets_[i]->setGeometry(column * (cellWidth + columnSpacing_), row * (height + rowSpacing_), cellWidth, height);
    }
}
