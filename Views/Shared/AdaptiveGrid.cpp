#include "Views/Shared/AdaptiveGrid.h"

#include <algorithm>
#include <cmath>

AdaptiveGrid::AdaptiveGrid(int minimumColumn, int maximumColumn, int columnSpacing, int rowSpacing, QWidget* parent)
    : QWidget(parent), minimumColumn_(minimumColumn), maximumColumn_(maximumColumn), columnSpacing_(columnSpacing),
      rowSpacing_(rowSpacing) {
    QSizePolicy policy(stretches() ? QSizePolicy::Expanding : QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void AdaptiveGrid::setItems(const QList<QWidget*>& items) {
    for (QWidget* old : std::as_const(items_)) {
        if (!items.contains(old)) old->deleteLater();
    }
    items_ = items;
    for (QWidget* item : items_) {
        item->setParent(this);
        item->show();
    }
    updateGeometry();
    place();
}

void AdaptiveGrid::addWidget(QWidget* item) {
    item->setParent(this);
    items_.append(item);
    updateGeometry();
    place();
}

int AdaptiveGrid::columns(int width, int minimumColumn, int spacing) {
    return std::max(1, (width + spacing) / (minimumColumn + spacing));
}

double AdaptiveGrid::columnWidth(int width, int columns, int maximumColumn, int spacing) {
    const double share = double(width - (columns - 1) * spacing) / columns;
    return std::min(double(maximumColumn), share);
}

int AdaptiveGrid::rowHeight() const {
    int height = 0;
    for (QWidget* item : items_) height = std::max(height, item->sizeHint().height());
    return height;
}

int AdaptiveGrid::heightForWidth(int width) const {
    if (items_.isEmpty()) return 0;
    const int n = columns(width, minimumColumn_, columnSpacing_);
    const int rows = int((items_.size() + n - 1) / n);
    return rows * rowHeight() + (rows - 1) * rowSpacing_;
}

QSize AdaptiveGrid::sizeHint() const {
    // A stretching grid asks for two columns; the other one for up to nine at their widest.
    const int n = stretches() ? 2 : std::max<int>(1, std::min<int>(int(items_.size()), 9));
    const int width = n * (stretches() ? minimumColumn_ : maximumColumn_) + (n - 1) * columnSpacing_;
    return QSize(width, heightForWidth(width));
}

QSize AdaptiveGrid::minimumSizeHint() const {
    return QSize(minimumColumn_, stretches() ? heightForWidth(minimumColumn_) : rowHeight());
}

void AdaptiveGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void AdaptiveGrid::place() {
    if (items_.isEmpty()) return;
    const int n = columns(width(), minimumColumn_, columnSpacing_);
    const int row = rowHeight();
    if (stretches()) {
        const int cell = std::max(1, (width() - (n - 1) * columnSpacing_) / n);
        for (int i = 0; i < items_.size(); ++i) {
            items_[i]->setGeometry((i % n) * (cell + columnSpacing_), (i / n) * (row + rowSpacing_), cell, row);
        }
        return;
    }
    const double column = columnWidth(width(), n, maximumColumn_, columnSpacing_);
    const double gridWidth = n * column + (n - 1) * columnSpacing_;
    const double left = (width() - gridWidth) / 2.0;
    for (int i = 0; i < items_.size(); ++i) {
        QWidget* item = items_[i];
        const QSize size = item->sizeHint();
        const double cellLeft = left + (i % n) * (column + columnSpacing_);
        const int top = (i / n) * (row + rowSpacing_);
        item->setGeometry(int(std::lround(cellLeft + (column - size.width()) / 2.0)), top + (row - size.height()) / 2,
                          size.width(), size.height());
    }
}
