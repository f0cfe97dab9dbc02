#include "Views/Toolbox/SegmentedPicker.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kHeight = 24;
constexpr double kSegmentPadding = 10;
}  // namespace

SegmentedPicker::SegmentedPicker(const QStringList& titles, QWidget* parent) : QWidget(parent), titles_(titles) {
    setFont(SystemFont::font(12));
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(titles.join(QLatin1Char('/')));
}

void SegmentedPicker::setCurrentIndex(int index) {
    if (index < 0 || index >= count() || index == current_) return;
    current_ = index;
    update();
}

void SegmentedPicker::choose(int index) {
    if (index < 0 || index >= count()) return;
    const bool changed = index != current_;
    current_ = index;
    update();
    if (changed) emit activated(index);
}

QRectF SegmentedPicker::segmentRect(int index) const {
    if (count() == 0) return {};
    const double width = double(this->width()) / count();
    return QRectF(index * width, 0, width, height());
}

int SegmentedPicker::segmentAt(const QPoint& point) const {
    for (int i = 0; i < count(); ++i)
        if (segmentRect(i).contains(point)) return i;
    return -1;
}

QSize SegmentedPicker::minimumSizeHint() const {
    const QFontMetricsF metrics(SystemFont::font(12, QFont::Medium));
    double widest = 0;
    for (const QString& title : titles_) widest = std::max(widest, metrics.horizontalAdvance(title));
    return QSize(int(std::ceil((widest + 2 * kSegmentPadding) * count())), kHeight);
}

QSize SegmentedPicker::sizeHint() const { return minimumSizeHint(); }

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool dark = SystemColors::isDark(pal);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillPath(ContinuousCorners::roundedRect(frame, 6),
                     SystemColors::withOpacity(SystemColors::primary(pal), dark ? 0.10 : 0.06));

    // Hairlines between segments that are not next to the chosen one.
    painter.setPen(QPen(SystemColors::withOpacity(SystemColors::primary(pal), 0.15), 1));
    for (int i = 1; i < count(); ++i) {
        if (i == current_ || i - 1 == current_) continue;
        const double x = std::round(segmentRect(i).left()) + 0.5;
        painter.drawLine(QPointF(x, 6), QPointF(x, height() - 6));
    }

    if (current_ >= 0 && current_ < count()) {
        const QRectF chosen = segmentRect(current_).adjusted(2, 2, -2, -2);
        const QPainterPath path = ContinuousCorners::roundedRect(chosen, 5);
        if (dark) {
            painter.fillPath(path, QColor(255, 255, 255, 56));
        } else {
            painter.fillPath(path.translated(0, 0.5), QColor(0, 0, 0, 28));
            painter.fillPath(path, Qt::white);
        }
        if (hasFocus()) {
            painter.setPen(QPen(SystemColors::withOpacity(SystemColors::accent(pal), 0.6), 1.5));
            painter.drawPath(path);
        }
    }

    for (int i = 0; i < count(); ++i) {
        painter.setFont(SystemFont::font(12, i == current_ ? QFont::Medium : QFont::Normal));
        painter.setPen(SystemColors::primary(pal));
        painter.drawText(segmentRect(i), Qt::AlignCenter, titles_.at(i));
    }
}

void SegmentedPicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    choose(segmentAt(event->position().toPoint()));
}

void SegmentedPicker::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left) choose(std::max(0, current_ - 1));
    else if (event->key() == Qt::Key_Right) choose(std::min(count() - 1, current_ + 1));
    else QWidget::keyPressEvent(event);
}
