#include "Views/Monitor/ChartWell.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>

namespace {
// One segment of the range switch: its label, on a capsule while it is the current range.
class RangeButton : public QAbstractButton {
public:
    RangeButton(QString label, QWidget* parent) : QAbstractButton(parent) {
        setText(std::move(label));
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setFont(SystemFont::font(9, QFont::DemiBold));
    }
    QSize sizeHint() const override {
        const QFontMetrics m(font());
        return QSize(m.horizontalAdvance(text()) + 12, m.height() + 4);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        if (isChecked()) p.fillPath(ContinuousCorners::capsule(QRectF(rect())), SystemColors::quaternary(pal));
        p.setPen(isChecked() ? SystemColors::primary(pal) : SystemColors::tertiary(pal));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};
}  // namespace

ChartWell::ChartWell(SystemMonitorView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setAttribute(Qt::WA_TranslucentBackground);
    MetricChartCard::Model model;
    model.height = chartHeight;
    model.barCount = barCount;
    model.barGap = 1;
    card_ = new MetricChartCard(model, std::nullopt, this);

    rangePicker_ = new QWidget(this);
    rangePicker_->setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(rangePicker_);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);
    for (SystemMonitorView::ChartRange range : SystemMonitorView::allRanges) {
        auto* button = new RangeButton(SystemMonitorView::label(range), rangePicker_);
        connect(button, &QAbstractButton::clicked, this, [this, range] { view_->chooseChartRange(range); });
        rangeButtons_[size_t(range)] = button;
        row->addWidget(button);
    }

    ProcessMonitor& monitor = view_->monitor();
    for (auto signal : {&ProcessMonitor::cpuHistoryChanged, &ProcessMonitor::cpuSystemHistoryChanged,
                        &ProcessMonitor::memoryHistoryChanged, &ProcessMonitor::diskHistoryChanged,
                        &ProcessMonitor::downloadHistoryChanged, &ProcessMonitor::historyTimestampsChanged})
        connect(&monitor, signal, this, [this] { scheduleRefresh(); });
    connect(view_, &SystemMonitorView::selectedTabChanged, this, [this] { refresh(); });
    connect(view_, &SystemMonitorView::chartRangeChanged, this, [this] { refresh(); });
    connect(view_, &SystemMonitorView::archiveChanged, this, [this] { refresh(); });
    connect(view_, &SystemMonitorView::selectedHistoryTimestampChanged, card_, [this] { card_->update(); });
    connect(view_, &SystemMonitorView::chartHighlightValueChanged, this, [this] {
        const bool live = view_->chartRange() == SystemMonitorView::ChartRange::live;
        card_->setHighlightValue(live ? view_->chartHighlightValue() : std::nullopt);
    });
    refresh();
}

QAbstractButton* ChartWell::rangeButton(SystemMonitorView::ChartRange range) const {
    return rangeButtons_[size_t(range)];
}

void ChartWell::scheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
}

void ChartWell::refresh() {
    refreshQueued_ = false;
    const MonitorTab tab = view_->selectedTab();
    const bool day = view_->chartRange() == SystemMonitorView::ChartRange::day;
    MetricChartCard::Model model = card_->model();
    model.series = day ? view_->archivedSeries() : view_->chartData();
    model.timestamps = day ? view_->archivedTimestamps() : view_->monitor().historyTimestamps();
    model.tint = SystemMonitorView::tint(tab);
    model.kind = SystemMonitorView::kind(tab);
    model.highlightValue = day ? std::nullopt : view_->chartHighlightValue();
    model.lower = !day && tab == MonitorTab::cpu ? std::optional(view_->monitor().cpuSystemHistory()) : std::nullopt;
    card_->setModel(std::move(model));
    if (day) {
        card_->setPinBinding(std::nullopt);
    } else {
        SystemMonitorView* view = view_;
        card_->setPinBinding(MetricChartCard::PinBinding{
            [view] { return view->selectedHistoryTimestamp(); },
            [view](std::optional<QDateTime> at) { view->setSelectedHistoryTimestamp(at); }});
    }
    for (SystemMonitorView::ChartRange range : SystemMonitorView::allRanges)
        rangeButtons_[size_t(range)]->setChecked(range == view_->chartRange());
    rangePicker_->setVisible(view_->archiveHasRange());
    placeRangePicker();
}

void ChartWell::placeRangePicker() {
    const QSize hint = rangePicker_->sizeHint();
    rangePicker_->setGeometry(width() - hint.width(), MetricChartCard::overhang, hint.width(), hint.height());
    rangePicker_->raise();
}

void ChartWell::resizeEvent(QResizeEvent*) {
    card_->setGeometry(rect());
    placeRangePicker();
}
