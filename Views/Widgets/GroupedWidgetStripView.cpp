#include "Views/Widgets/GroupedWidgetStripView.h"

#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "Views/Widgets/SingleWidgetView.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

std::vector<GroupedWidgetStripView::Entry> GroupedWidgetStripView::entries(const WidgetManager& manager) {
    std::vector<Entry> list;
    for (WidgetType type : manager.configuration().enabledTypes()) list.push_back({type, manager.value(type)});
    return list;
}

GroupedWidgetStripView::GroupedWidgetStripView(WidgetManager& manager, QWidget* parent)
    : QWidget(parent), manager_(&manager) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto refresh = [this] {
        updateGeometry();
        update();
    };
    connect(&manager, &WidgetManager::valuesChanged, this, refresh);
    connect(&manager, &WidgetManager::configDidChange, this, refresh);
}

void GroupedWidgetStripView::setInk(const QColor& ink) {
    ink_ = ink;
    update();
}

QColor GroupedWidgetStripView::ink() const { return ink_.isValid() ? ink_ : SystemColors::primary(palette()); }

double GroupedWidgetStripView::widthFor(const std::vector<Entry>& entries, bool showLabels) {
    if (entries.empty()) return 0;
    double w = 2 * padding + spacing * double(entries.size() - 1);
    for (const Entry& e : entries) w += SingleWidgetView::widthFor(e.type, e.text, showLabels);
    return std::ceil(w);
}

void GroupedWidgetStripView::paint(QPainter& painter, QPointF origin, const std::vector<Entry>& entries,
                                   bool showLabels, const QColor& ink) {
    if (entries.empty()) return;
    const double h = SingleWidgetView::itemHeight;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(origin, QSizeF(widthFor(entries, showLabels), h)).adjusted(0, 1, 0, -1),
                              cornerRadius, cornerRadius);
    painter.fillPath(background, SystemColors::withOpacity(ink, backgroundOpacity));
    painter.restore();
    double x = origin.x() + padding;
    for (const Entry& e : entries) {
        SingleWidgetView::paint(painter, QPointF(x, origin.y()), e.type, e.text, showLabels, ink);
        x += SingleWidgetView::widthFor(e.type, e.text, showLabels) + spacing;
    }
}

QImage GroupedWidgetStripView::image(const std::vector<Entry>& entries, bool showLabels, const QColor& ink,
                                     double devicePixelRatio) {
    const double w = widthFor(entries, showLabels);
    if (w <= 0) return {};
    QImage result(int(std::ceil(w * devicePixelRatio)), int(std::ceil(SingleWidgetView::itemHeight * devicePixelRatio)),
                  QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    result.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&result);
    paint(painter, QPointF(0, 0), entries, showLabels, ink);
    painter.end();
    return result;
}

QSize GroupedWidgetStripView::sizeHint() const {
    if (!manager_) return QSize(0, int(SingleWidgetView::itemHeight));
    return QSize(int(widthFor(entries(*manager_), manager_->configuration().showLabels)), int(SingleWidgetView::itemHeight));
}

void GroupedWidgetStripView::paintEvent(QPaintEvent*) {
    if (!manager_) return;
    QPainter painter(this);
    const std::vector<Entry> list = entries(*manager_);
    const bool labels = manager_->configuration().showLabels;
    const double w = widthFor(list, labels);
    paint(painter, QPointF((width() - w) / 2, (height() - SingleWidgetView::itemHeight) / 2), list, labels, ink());
}
