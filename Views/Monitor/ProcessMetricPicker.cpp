#include "Views/Monitor/ProcessMetricPicker.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QMouseEvent>
#include <QPainter>

ProcessMetricPicker::ProcessMetricPicker(ProcessDetailView* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("Metric"));
    setFixedHeight(24);
    setMaximumWidth(220);
    setCursor(Qt::PointingHandCursor);
}

void ProcessMetricPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF r(rect());
    p.fillPath(ContinuousCorners::roundedRect(r, 7), SystemColors::quaternary(pal));
    const double w = r.width() / 2;
    const int selected = owner_->metric() == ProcessDetailView::DetailMetric::cpu ? 0 : 1;
    const QRectF knob(2 + selected * w, 2, w - 4, r.height() - 4);
    p.fillPath(ContinuousCorners::roundedRect(knob, 5),
               SystemColors::isDark(pal) ? QColor(255, 255, 255, 60) : QColor(255, 255, 255, 235));
    p.setFont(SystemFont::font(12, QFont::Medium));
    for (int i = 0; i < 2; ++i) {
        p.setPen(SystemColors::primary(pal));
        p.drawText(QRectF(i * w, 0, w, r.height()), Qt::AlignCenter,
                   ProcessDetailView::label(i == 0 ? ProcessDetailView::DetailMetric::cpu
                                                   : ProcessDetailView::DetailMetric::memory));
    }
}

void ProcessMetricPicker::mouseReleaseEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) return;
    owner_->setMetric(event->position().x() < width() / 2.0 ? ProcessDetailView::DetailMetric::cpu
                                                            : ProcessDetailView::DetailMetric::memory);
    update();
}
