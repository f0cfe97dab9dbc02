#include "Views/Preferences/AdaptiveGrid.h"

#include <algorithm>
#include <cmath>

AdaptiveGrid::AdaptiveGrid(int minimumColumn, int maximumColumn, int spacing, QWidget* parent)
    : QWidget(parent), minimumColumn_(minimumColumn), maximumColumn_(maximumColumn), spacing_(spacing) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
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
    const int n = columns(width, minimumColumn_, spacing_);
    const int rows = int((items_.size() + n - 1) / n);
    return rows * rowHeight() + (rows - 1) * spacing_;
}

QSize AdaptiveGrid::sizeHint() const {
    const int n = std::max<int>(1, std::min<int>(int(items_.size()), 9));
    const int width = n * maximumColumn_ + (n - 1) * spacing_;
    return QSize(width, heightForWidth(width));
}

QSize AdaptiveGrid::minimumSizeHint() const { return QSize(minimumColumn_, rowHeight()); }

void AdaptiveGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void AdaptiveGrid::place() {
    if (items_.isEmpty()) return;
    const int n = columns(width(), minimumColumn_, spacing_);
    const double column = columnWidth(width(), n, maximumColumn_, spacing_);
    const double gridWidth = n * column + (n - 1) * spacing_;
    const double left = (width() - gridWidth) / 2.0;
    const int row = rowHeight();
    for (int i = 0; i < items_.size(); ++i) {
        QWidget* item = items_[i];
        const QSize size = item->sizeHint();
        const double cellLeft = left + (i % n) * (column + spacing_);
        const int top = (i / n) * (row + spacing_);
        item->setGeometry(int(std::lround(cellLeft + (column - size.width()) / 2.0)), top + (row - size.height()) / 2,
                          size.width(), size.height());
    }
}
