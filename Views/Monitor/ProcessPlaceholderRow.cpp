#include "Views/Monitor/ProcessPlaceholderRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QPainter>

namespace {
// A redacted text: a rounded bar as wide as the text and about as tall as its small letters.
void redacted(QPainter& p, const QRectF& box, const QString& text, const QFont& font, Qt::Alignment alignment,
              const QColor& color) {
    const QFontMetricsF m(font);
    const double w = std::min(box.width(), m.horizontalAdvance(text));
    const double h = std::max(4.0, m.height() * 0.62);
    const double x = alignment & Qt::AlignRight ? box.right() - w : box.left();
    p.fillPath(ContinuousCorners::roundedRect(QRectF(x, box.center().y() - h / 2, w, h), 3), color);
}
}  // namespace

ProcessPlaceholderRow::ProcessPlaceholderRow(QString name, QWidget* parent) : QWidget(parent), name_(std::move(name)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(rowHeight);
}

void ProcessPlaceholderRow::setContentOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void ProcessPlaceholderRow::paint(QPainter& p, const QRectF& rect, const QString& name, const QPalette& pal) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(6, 4, -6, -4);
    const double cy = r.center().y();
    const QColor shape = SystemColors::withOpacity(SystemColors::primary(pal), 0.16);
    double x = r.left() + 16;
    p.fillPath(ContinuousCorners::roundedRect(QRectF(x, cy - 8, 16, 16), 4), SystemColors::secondary(pal));
    x += 16 + 7;
    const double right = r.right() - GroupedProcessRowView::trailingColumn;
    const double memoryLeft = right - GroupedProcessRowView::memoryColumn;
    const double cpuLeft = memoryLeft - GroupedProcessRowView::cpuColumn;
    redacted(p, QRectF(x, r.top(), std::max(0.0, cpuLeft - 7 - x), r.height()), name, SystemFont::font(11.5),
             Qt::AlignLeft, shape);
    redacted(p, QRectF(cpuLeft, r.top(), GroupedProcessRowView::cpuColumn, r.height()), QStringLiteral("0.0%"),
             SystemFont::font(11), Qt::AlignRight, shape);
    redacted(p, QRectF(memoryLeft, r.top(), GroupedProcessRowView::memoryColumn, r.height()),
             QStringLiteral("000 MB"), SystemFont::font(11), Qt::AlignRight, shape);
    p.restore();
}

void ProcessPlaceholderRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(opacity_);
    paint(p, QRectF(rect()), name_, palette());
}
