#include "Views/Monitor/MonitorTabPicker.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// A segment's hit area; the strip draws the label.
class Segment : public QAbstractButton {
public:
    explicit Segment(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};
}  // namespace

MonitorTabPicker::MonitorTabPicker(MonitorTab selection, std::function<void(MonitorTab)> setter, QWidget* parent)
    : QWidget(parent), selection_(selection), setter_(std::move(setter)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(stripHeight);
    for (MonitorTab tab : MonitorTabs::allCases) {
        auto* segment = new Segment(this);
        const QString label = MonitorTabs::rawValue(tab);
        segment->setText(label);
        segment->setAccessibleName(label);
        segment->setCheckable(true);
        segment->setChecked(tab == selection_);
        connect(segment, &QAbstractButton::clicked, this, [this, tab] { choose(tab); });
        segments_[size_t(MonitorTabs::index(tab))] = segment;
    }
}

double MonitorTabPicker::segmentWidth(double stripWidth) {
    return std::max(0.0, (std::max(0.0, stripWidth - 4) - 4) / 5);
}

double MonitorTabPicker::capsuleX(double segmentWidth, int index) { return (segmentWidth + 1) * index + 2; }

QAbstractButton* MonitorTabPicker::segmentButton(MonitorTab tab) const {
    return segments_[size_t(MonitorTabs::index(tab))];
}

void MonitorTabPicker::choose(MonitorTab tab) {
    // A checkable segment unchecks itself on a click; the selection alone decides.
    for (MonitorTab t : MonitorTabs::allCases) segmentButton(t)->setChecked(t == selection_);
    if (setter_)
        setter_(tab);
    else
        setSelection(tab);
}

void MonitorTabPicker::setSelection(MonitorTab tab) {
    for (MonitorTab t : MonitorTabs::allCases) segmentButton(t)->setChecked(t == tab);
    if (tab == selection_) return;
    selection_ = tab;
    const double target = capsuleX(segmentWidth(width()), MonitorTabs::index(tab));
    if (animator_) animator_->stop();
    if (!placed_ || !isVisible()) {
        capsuleX_ = target;
        update();
        return;
    }
    const double from = capsuleX_;
    animator_ = Motion::animate(this, Motion::state(), [this, from, target](double p) {
        capsuleX_ = from + (target - from) * p;
        update();
    });
}

void MonitorTabPicker::resizeEvent(QResizeEvent*) {
    if (animator_) animator_->stop();
    capsuleX_ = capsuleX(segmentWidth(width()), MonitorTabs::index(selection_));
    placed_ = true;
    layoutSegments();
}

void MonitorTabPicker::layoutSegments() {
    const double w = segmentWidth(width());
    for (MonitorTab tab : MonitorTabs::allCases) {
        const double x = capsuleX(w, MonitorTabs::index(tab));
        segmentButton(tab)->setGeometry(QRectF(x, 2, w, capsuleHeight).toAlignedRect());
    }
}

void MonitorTabPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor primary = SystemColors::primary(pal);
    p.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), 8), SystemColors::withOpacity(primary, 0.10));

    const double w = segmentWidth(width());
    p.fillPath(ContinuousCorners::roundedRect(QRectF(capsuleX_, 2, w, capsuleHeight), 6), SystemColors::accent(pal));

    p.setFont(SystemFont::font(12, QFont::DemiBold));
    for (MonitorTab tab : MonitorTabs::allCases) {
        const double x = capsuleX(w, MonitorTabs::index(tab));
        // How much of the capsule covers this segment: the label turns white with it.
        const double cover = w + 1 > 0 ? std::clamp(1.0 - std::abs(capsuleX_ - x) / (w + 1), 0.0, 1.0) : 0.0;
        p.setPen(SystemColors::mix(primary, QColor(Qt::white), cover));
        p.drawText(QRectF(x, 2, w, capsuleHeight), Qt::AlignCenter, MonitorTabs::rawValue(tab));
    }
}
