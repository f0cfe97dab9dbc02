#include "Source/Features/System/MonitorPopupModel.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Core/RawValues.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/ProcessMonitor.h"

#include <QHash>
#include <QPointer>

#include <algorithm>
#include <numeric>

namespace {
// The plain order of names: by Unicode scalar values of their composed forms.
std::u32string scalarKey(const QString& name) {
    const QList<uint> ucs = name.normalized(QString::NormalizationForm_C).toUcs4();
    return std::u32string(ucs.begin(), ucs.end());
}
}  // namespace

// MARK: chart range

namespace {
constexpr RawValues::Entry<MonitorPopupModel::ChartRange> chartRangeRawValues[]{
    {MonitorPopupModel::ChartRange::live, "live"},
    {MonitorPopupModel::ChartRange::day, "day"},
};
}  // namespace

QString MonitorPopupModel::rawValue(ChartRange range) { return RawValues::rawValue(chartRangeRawValues, range); }

std::optional<MonitorPopupModel::ChartRange> MonitorPopupModel::chartRangeFromRawValue(const QString& raw) {
    return RawValues::fromRawValue(chartRangeRawValues, raw);
}

QString MonitorPopupModel::label(ChartRange range) {
    return range == ChartRange::live ? QStringLiteral("LIVE") : QStringLiteral("24H");
}

MonitorPopupModel::MonitorPopupModel(MonitorTab initialTab, ProcessMonitor& monitor, MetricArchive& archive,
                                     double physicalMemory, QObject* parent)
    : QObject(parent), monitor_(monitor), metricArchive_(archive), physicalMemory_(physicalMemory),
      selectedTab_(initialTab), listTab_(initialTab == MonitorTab::stats ? MonitorTab::cpu : initialTab) {}

// MARK: state changes

void MonitorPopupModel::selectTab(MonitorTab tab) {
    if (tab == selectedTab_) return;
    setChartHighlightValue(std::nullopt);
    setSelectedHistoryTimestamp(std::nullopt);
    if (tab == MonitorTab::stats) setSearchFocused(false);
    if ((tab == MonitorTab::network || tab == MonitorTab::stats) && chartRange_ != ChartRange::live) {
        chartRange_ = ChartRange::live;
        emit chartRangeChanged();
    }
    const MonitorTab previous = selectedTab_;
    selectedTab_ = tab;
    const bool listChanged = tab != MonitorTab::stats && tab != listTab_;
    if (listChanged) listTab_ = tab;
    emit selectedTabChanged(tab, previous);
    if (listChanged) emit listTabChanged(listTab_);
}

void MonitorPopupModel::setSearchText(const QString& text) {
    if (text == searchText_) return;
    searchText_ = text;
    emit searchTextChanged(text);
}

void MonitorPopupModel::setSearchFocused(bool focused) {
    if (focused == searchFocused_) return;
    searchFocused_ = focused;
    emit searchFocusRequested(focused);
}

void MonitorPopupModel::toggleExpanded(const QString& groupName) {
    if (!expandedGroups_.remove(groupName)) expandedGroups_.insert(groupName);
    emit expandedGroupsChanged();
}

void MonitorPopupModel::setChartHighlightValue(std::optional<double> value) {
    if (value == chartHighlightValue_) return;
    chartHighlightValue_ = value;
    emit chartHighlightValueChanged();
}

void MonitorPopupModel::setSelectedHistoryTimestamp(std::optional<QDateTime> at) {
    if (at == selectedHistoryTimestamp_) return;
    selectedHistoryTimestamp_ = at;
    setFrozenOrder({});
    setChartHighlightValue(std::nullopt);
    emit selectedHistoryTimestampChanged();
}

void MonitorPopupModel::chooseChartRange(ChartRange range) {
    if (range != chartRange_) {
        chartRange_ = range;
        emit chartRangeChanged();
    }
    if (range == ChartRange::day) loadArchive();
}

void MonitorPopupModel::setArchive(std::vector<MetricSample> samples) {
    archive_ = std::move(samples);
    emit archiveChanged();
}

void MonitorPopupModel::setFrozenOrder(QStringList order) {
    if (order == frozenOrder_) return;
    frozenOrder_ = std::move(order);
    emit frozenOrderChanged();
}

void MonitorPopupModel::setPointerInList(bool inside) {
    if (inside == isPointerInList_) return;
    isPointerInList_ = inside;
    if (!inside) setFrozenOrder({});
    emit pointerInListChanged(inside);
}

void MonitorPopupModel::selectProcess(std::optional<GroupedProcessInfo> group) {
    if (group == selectedProcess_) return;
    selectedProcess_ = std::move(group);
    emit selectedProcessChanged();
}

void MonitorPopupModel::setProcessScrollOffset(int offset) {
    offset = std::max(0, offset);
    if (offset == processScrollOffset_) return;
    processScrollOffset_ = offset;
    emit processScrollOffsetChanged(offset);
}

void MonitorPopupModel::groupHoverChanged(const GroupedProcessInfo& group, bool hovering,
                                          const QStringList& displayedNames) {
    if (!hovering) {
        setChartHighlightValue(std::nullopt);
        return;
    }
    if (frozenOrder_.isEmpty()) setFrozenOrder(displayedNames);
    setChartHighlightValue(highlightValue(group, selectedTab_));
}

void MonitorPopupModel::childHoverChanged(const AppProcessInfo& process, bool hovering) {
    setChartHighlightValue(hovering ? highlightValue(process, selectedTab_) : std::nullopt);
}

void MonitorPopupModel::chooseGroup(const GroupedProcessInfo& row) {
    if (auto open = groupToOpen(row, selectedHistoryTimestamp_.has_value(), monitor_.groupedProcesses()))
        selectProcess(std::move(*open));
}

// MARK: chart

bool MonitorPopupModel::archiveHasRange(MonitorTab tab) {
    return tab == MonitorTab::cpu || tab == MonitorTab::memory || tab == MonitorTab::disk;
}

std::vector<double> MonitorPopupModel::chartData(MonitorTab tab, const ProcessMonitor& monitor, double physicalMemory) {
    switch (tab) {
    case MonitorTab::cpu: return monitor.cpuHistory();
    case MonitorTab::memory: {
        std::vector<double> bytes;
        bytes.reserve(monitor.memoryHistory().size());
        for (double percent : monitor.memoryHistory()) bytes.push_back(percent / 100.0 * physicalMemory);
        return bytes;
    }
    case MonitorTab::network: return monitor.downloadHistory();
    case MonitorTab::disk: return monitor.diskHistory();
    case MonitorTab::stats: return {};
    }
    return {};
}

std::vector<double> MonitorPopupModel::archivedSeries(MonitorTab tab, const std::vector<MetricSample>& archive,
                                                      double physicalMemory) {
    std::vector<double> series;
    if (tab == MonitorTab::network || tab == MonitorTab::stats) return series;
    series.reserve(archive.size());
    for (const MetricSample& s : archive) {
        switch (tab) {
        case MonitorTab::cpu: series.push_back(s.cpu); break;
        case MonitorTab::memory: series.push_back(s.memory / 100.0 * physicalMemory); break;
        case MonitorTab::disk: series.push_back(s.disk); break;
        default: break;
        }
    }
    return series;
}

std::vector<double> MonitorPopupModel::chartData() const { return chartData(selectedTab_, monitor_, physicalMemory_); }

std::vector<double> MonitorPopupModel::archivedSeries() const {
    return archivedSeries(selectedTab_, archive_, physicalMemory_);
}

std::vector<QDateTime> MonitorPopupModel::archivedTimestamps() const {
    std::vector<QDateTime> times;
    times.reserve(archive_.size());
    for (const MetricSample& s : archive_) times.push_back(s.at);
    return times;
}

void MonitorPopupModel::loadArchive() {
    QPointer<MonitorPopupModel> self(this);
    metricArchive_.load([self](std::vector<MetricSample> samples) {
        if (self) self->setArchive(std::move(samples));
    });
}

// MARK: process list

std::vector<GroupedProcessInfo> MonitorPopupModel::processSource() const {
    if (selectedHistoryTimestamp_) {
        if (auto groups = monitor_.processGroups(*selectedHistoryTimestamp_)) return std::move(*groups);
    }
    return monitor_.groupedProcesses();
}

bool MonitorPopupModel::isLoading() const {
    if (!monitor_.hasUsableCPU()) return true;
    if (selectedHistoryTimestamp_) {
        if (auto groups = monitor_.processGroups(*selectedHistoryTimestamp_)) return groups->empty();
    }
    return monitor_.groupedProcesses().empty();
}

std::vector<GroupedProcessInfo> MonitorPopupModel::displayedProcesses() const {
    return displayedProcesses(sortedProcesses(processSource(), selectedTab_, searchText_), isPointerInList_,
                              frozenOrder_);
}

std::vector<GroupedProcessInfo> MonitorPopupModel::sortedProcesses(const std::vector<GroupedProcessInfo>& groups,
                                                                   MonitorTab tab, const QString& searchText) {
    std::vector<size_t> order(groups.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::vector<std::u32string> keys;
    keys.reserve(groups.size());
    for (const GroupedProcessInfo& g : groups) keys.push_back(scalarKey(g.name));
    const bool byCPU = tab == MonitorTab::cpu;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const GroupedProcessInfo& x = groups[a];
        const GroupedProcessInfo& y = groups[b];
        if (byCPU) {
            if (x.totalCPU != y.totalCPU) return x.totalCPU > y.totalCPU;
        } else if (x.totalMemory != y.totalMemory) {
            return x.totalMemory > y.totalMemory;
        }
        return keys[a] < keys[b];
    });
    std::vector<GroupedProcessInfo> result;
    result.reserve(groups.size());
    for (size_t i : order) {
        // Matched as the row shows the name: on one line.
        if (!searchText.isEmpty() && !OneLine::of(groups[i].name).contains(searchText, Qt::CaseInsensitive)) continue;
        result.push_back(groups[i]);
    }
    return result;
}

std::vector<GroupedProcessInfo> MonitorPopupModel::displayedProcesses(std::vector<GroupedProcessInfo> sorted,
                                                                      bool isPointerInList,
                                                                      const QStringList& frozenOrder) {
    if (!isPointerInList || frozenOrder.isEmpty()) return sorted;
    QHash<QString, size_t> byName;
    for (size_t i = 0; i < sorted.size(); ++i) byName.insert(sorted[i].name, i);
    std::vector<bool> used(sorted.size(), false);
    std::vector<GroupedProcessInfo> result;
    result.reserve(sorted.size());
    for (const QString& name : frozenOrder) {
        auto it = byName.constFind(name);
        if (it == byName.constEnd() || used[*it]) continue;
        used[*it] = true;
        result.push_back(std::move(sorted[*it]));
    }
    const QSet<QString> frozen(frozenOrder.begin(), frozenOrder.end());
    for (size_t i = 0; i < sorted.size(); ++i)
        if (!used[i] && !frozen.contains(sorted[i].name)) result.push_back(std::move(sorted[i]));
    return result;
}

std::vector<AppProcessInfo> MonitorPopupModel::sortedChildren(const std::vector<AppProcessInfo>& children,
                                                              MonitorTab tab) {
    std::vector<AppProcessInfo> result = children;
    if (tab == MonitorTab::cpu)
        std::stable_sort(result.begin(), result.end(),
                         [](const AppProcessInfo& a, const AppProcessInfo& b) { return a.cpuUsage > b.cpuUsage; });
    else
        std::stable_sort(result.begin(), result.end(),
                         [](const AppProcessInfo& a, const AppProcessInfo& b) { return a.memoryBytes > b.memoryBytes; });
    return result;
}

std::optional<double> MonitorPopupModel::highlightValue(const GroupedProcessInfo& group, MonitorTab tab) {
    if (tab == MonitorTab::cpu) return group.totalCPU;
    if (tab == MonitorTab::memory) return double(group.totalMemory);
    return std::nullopt;
}

std::optional<double> MonitorPopupModel::highlightValue(const AppProcessInfo& process, MonitorTab tab) {
    if (tab == MonitorTab::cpu) return process.cpuUsage;
    if (tab == MonitorTab::memory) return double(process.memoryBytes);
    return std::nullopt;
}

std::optional<GroupedProcessInfo> MonitorPopupModel::groupToOpen(const GroupedProcessInfo& row, bool pinned,
                                                                 const std::vector<GroupedProcessInfo>& live) {
    if (!pinned) return row;
    for (const GroupedProcessInfo& g : live)
        if (g.name == row.name) return g;
    return std::nullopt;
}
