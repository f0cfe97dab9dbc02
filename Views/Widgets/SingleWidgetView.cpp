#include "Views/Widgets/SingleWidgetView.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Widgets/WidgetManager.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
QFont labelFont() { return SystemFont::font(SingleWidgetView::labelFontSize, QFont::DemiBold); }
QFont valueFont() { return SystemFont::monospacedDigits(SingleWidgetView::valueFontSize, QFont::Medium); }

// The widest text a type usually shows.
QString widestText(WidgetType type) {
    switch (type) {
    case WidgetType::network: return QStringLiteral("99.9 MB/s");
    case WidgetType::temperature: return QStringLiteral("100°");
    default: return QStringLiteral("100%");
    }
}

double valueWidth(WidgetType type, const QString& text) {
    const QFontMetricsF metrics(valueFont());
    return std::ceil(std::max(metrics.horizontalAdvance(text), metrics.horizontalAdvance(widestText(type))));
}

double labelWidth(WidgetType type) {
    return std::ceil(QFontMetricsF(labelFont()).horizontalAdvance(WidgetTypes::shortLabel(type)));
}
}  // namespace

SingleWidgetView::SingleWidgetView(WidgetType type, WidgetManager& manager, QWidget* parent)
    : QWidget(parent), type_(type), manager_(&manager) {
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&manager, &WidgetManager::valuesChanged, this, [this] {
        updateGeometry();
        update();
    });
    connect(&manager, &WidgetManager::configDidChange, this, [this] {
        updateGeometry();
        update();
    });
}

void SingleWidgetView::setInk(const QColor& ink) {
    ink_ = ink;
    update();
}

QColor SingleWidgetView::ink() const { return ink_.isValid() ? ink_ : SystemColors::primary(palette()); }

double SingleWidgetView::widthFor(WidgetType type, const QString& text, bool showLabels) {
    double w = symbolSize + gap;
    if (showLabels) w += labelWidth(type) + gap;
    return w + valueWidth(type, text);
}

void SingleWidgetView::paint(QPainter& painter, QPointF origin, WidgetType type, const QString& text, bool showLabels,
                             const QColor& ink) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool dark = ink.lightnessF() > 0.5;  // light ink sits on a dark bar
    double x = origin.x();
    const double top = origin.y();
    Symbols::draw(painter, QRectF(x, top + (itemHeight - symbolSize) / 2, symbolSize, symbolSize), WidgetTypes::symbol(type),
                  WidgetTypes::color(type, dark), symbolSize, Symbols::Weight::medium);
    x += symbolSize + gap;
    if (showLabels) {
        const double w = labelWidth(type);
        painter.setFont(labelFont());
        painter.setPen(SystemColors::withOpacity(ink, 0.7));
        painter.drawText(QRectF(x, top, w, itemHeight), Qt::AlignLeft | Qt::AlignVCenter, WidgetTypes::shortLabel(type));
        x += w + gap;
    }
    painter.setFont(valueFont());
    painter.setPen(ink);
    painter.drawText(QRectF(x, top, valueWidth(type, text), itemHeight), Qt::AlignRight | Qt::AlignVCenter, text);
    painter.restore();
}

QImage SingleWidgetView::image(WidgetType type, const QString& text, bool showLabels, const QColor& ink,
                               double devicePixelRatio) {
    const double w = widthFor(type, text, showLabels);
    QImage result(int(std::ceil(w * devicePixelRatio)), int(std::ceil(itemHeight * devicePixelRatio)),
                  QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    result.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&result);
    paint(painter, QPointF(0, 0), type, text, showLabels, ink);
    painter.end();
    return result;
}

QSize SingleWidgetView::sizeHint() const {
    if (!manager_) return QSize(0, int(itemHeight));
    const bool labels = manager_->configuration().showLabels;
    return QSize(int(std::ceil(widthFor(type_, manager_->value(type_), labels))), int(itemHeight));
}

void SingleWidgetView::paintEvent(QPaintEvent*) {
    if (!manager_) return;
    QPainter painter(this);
    const double w = widthFor(type_, manager_->value(type_), manager_->configuration().showLabels);
    const QPointF origin((this->width() - w) / 2, (this->height() - itemHeight) / 2);
    paint(painter, origin, type_, manager_->value(type_), manager_->configuration().showLabels, ink());
}
