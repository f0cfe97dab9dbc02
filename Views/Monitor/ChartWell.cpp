#include "Views/Monitor/ChartWell.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"

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
        p.setPen(isChecked() ? SystemColors::primary(pal)
                             : SystemColors::legible(SystemColors::tertiary(pal), GlassCard::surface(pal)));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

// The switch's own ground: a capsule of the card's colour, so that its labels read over bars that
// reach its corner (where no bar does, it is the card itself).
class RangePicker : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(ContinuousCorners::capsule(QRectF(rect()).adjusted(2, 2, -2, -2)), GlassCard::surface(palette()));
    }
};
}  // namespace

ChartWell::ChartWell(MonitorPopupModel& popupModel, QWidget* parent) : QWidget(parent), model_(popupModel) {
    setAttribute(Qt::WA_TranslucentBackground);
    MetricChartCard::Model model;
    model.height = chartHeight;
    model.barCount = barCount;
    model.barGap = 1;
    card_ = new MetricChartCard(model, std::nullopt, this);

    rangePicker_ = new RangePicker(this);
    rangePicker_->setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(rangePicker_);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);
    for (MonitorPopupModel::ChartRange range : MonitorPopupModel::allRanges) {
        auto* button = new RangeButton(MonitorPopupModel::label(range), rangePicker_);
        connect(button, &QAbstractButton::clicked, this, [this, range] { model_.chooseChartRange(range); });
        rangeButtons_[size_t(range)] = button;
        row->addWidget(button);
    }

    ProcessMonitor& monitor = model_.monitor();
    for (auto signal : {&ProcessMonitor::cpuHistoryChanged, &ProcessMonitor::cpuSystemHistoryChanged,
                        &ProcessMonitor::memoryHistoryChanged, &ProcessMonitor::diskHistoryChanged,
                        &ProcessMonitor::downloadHistoryChanged, &ProcessMonitor::historyTimestampsChanged})
        connect(&monitor, signal, this, [this] { scheduleRefresh(); });
    connect(&model_, &MonitorPopupModel::selectedTabChanged, this, [this] { refresh(); });
    connect(&model_, &MonitorPopupModel::chartRangeChanged, this, [this] { refresh(); });
    connect(&model_, &MonitorPopupModel::archiveChanged, this, [this] { refresh(); });
    connect(&model_, &MonitorPopupModel::selectedHistoryTimestampChanged, card_, [this] { card_->update(); });
    connect(&model_, &MonitorPopupModel::chartHighlightValueChanged, this, [this] {
        const bool live = model_.chartRange() == MonitorPopupModel::ChartRange::live;
        card_->setHighlightValue(live ? model_.chartHighlightValue() : std::nullopt);
    });
    refresh();
}

QColor ChartWell::tint(MonitorTab tab) {
    switch (tab) {
    case MonitorTab::cpu: return SystemColors::green();
    case MonitorTab::memory: return SystemColors::orange();
    case MonitorTab::network: return SystemColors::blue();
    case MonitorTab::disk: return SystemColors::cyan();
    case MonitorTab::stats: return SystemColors::indigo();
    }
    return SystemColors::green();
}

MetricChartKind ChartWell::kind(MonitorTab tab) {
    switch (tab) {
    case MonitorTab::memory: return MetricChartKind::bytes;
    case MonitorTab::network: return MetricChartKind::rate;
    default: return MetricChartKind::percent;
    }
}

QAbstractButton* ChartWell::rangeButton(MonitorPopupModel::ChartRange range) const {
    return rangeButtons_[size_t(range)];
}

void ChartWell::scheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
}

void ChartWell::refresh() {
    refreshQueued_ = false;
    const MonitorTab tab = model_.selectedTab();
    const bool day = model_.chartRange() == MonitorPopupModel::ChartRange::day;
    MetricChartCard::Model model = card_->model();
    model.series = day ? model_.archivedSeries() : model_.chartData();
    model.timestamps = day ? model_.archivedTimestamps() : model_.monitor().historyTimestamps();
    model.tint = tint(tab);
    model.kind = kind(tab);
    model.highlightValue = day ? std::nullopt : model_.chartHighlightValue();
    model.lower = !day && tab == MonitorTab::cpu ? std::optional(model_.monitor().cpuSystemHistory()) : std::nullopt;
    card_->setModel(std::move(model));
    if (day) {
        card_->setPinBinding(std::nullopt);
    } else {
        MonitorPopupModel* m = &model_;
        card_->setPinBinding(MetricChartCard::PinBinding{
            [m] { return m->selectedHistoryTimestamp(); },
            [m](std::optional<QDateTime> at) { m->setSelectedHistoryTimestamp(at); }});
    }
    for (MonitorPopupModel::ChartRange range : MonitorPopupModel::allRanges)
        rangeButtons_[size_t(range)]->setChecked(range == model_.chartRange());
    rangePicker_->setVisible(model_.archiveHasRange());
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
