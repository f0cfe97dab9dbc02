#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/MetricSample.h"
#include "Source/Features/System/MonitorTab.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class MetricArchive;
class ProcessMonitor;

// The monitor popup's state: the tab and the last list tab, the process list's filter,
// expansion, frozen order, pointer and scroll offset, the chart's range, loaded day, pinned
// sample and highlighted value, and the group whose detail is shown. The popup's views read it
// and change it; each change is announced once. Every opening of the popup makes a new model,
// so every opening starts from the initial state.
class MonitorPopupModel : public QObject {
    Q_OBJECT
public:
    enum class ChartRange { live, day };
    static constexpr std::array<ChartRange, 2> allRanges{ChartRange::live, ChartRange::day};
    static QString rawValue(ChartRange range);  // "live", "day"
    static std::optional<ChartRange> chartRangeFromRawValue(const QString& raw);
    static QString label(ChartRange range);     // "LIVE", "24H"

    // physicalMemory in bytes: the Mem chart shows the memory history in bytes of it.
    MonitorPopupModel(MonitorTab initialTab, ProcessMonitor& monitor, MetricArchive& archive, double physicalMemory,
                      QObject* parent = nullptr);

    ProcessMonitor& monitor() const { return monitor_; }
    double physicalMemory() const { return physicalMemory_; }

    // State.
    MonitorTab selectedTab() const { return selectedTab_; }
    MonitorTab listTab() const { return listTab_; }  // the last tab other than Stats
    const QString& searchText() const { return searchText_; }
    bool searchFocused() const { return searchFocused_; }
    const QSet<QString>& expandedGroups() const { return expandedGroups_; }
    std::optional<double> chartHighlightValue() const { return chartHighlightValue_; }
    std::optional<QDateTime> selectedHistoryTimestamp() const { return selectedHistoryTimestamp_; }
    ChartRange chartRange() const { return chartRange_; }
    const std::vector<MetricSample>& archive() const { return archive_; }
    const std::optional<GroupedProcessInfo>& selectedProcess() const { return selectedProcess_; }
    const QStringList& frozenOrder() const { return frozenOrder_; }
    bool isPointerInList() const { return isPointerInList_; }
    // The process list's scroll offset in pixels from its top, kept across every tab change.
    int processScrollOffset() const { return processScrollOffset_; }

    // A tab change: clears the highlight and the pinned sample, drops the search focus for Stats,
    // returns the range to live for Net and Stats, then changes the tab (and the list tab, unless
    // Stats). The search, expansion, loaded day and scroll offset stay.
    void selectTab(MonitorTab tab);
    void setSearchText(const QString& text);
    void setSearchFocused(bool focused);
    void toggleExpanded(const QString& groupName);
    void setChartHighlightValue(std::optional<double> value);
    // Pins a sample (or returns to live with none): empties the frozen order, clears the highlight.
    void setSelectedHistoryTimestamp(std::optional<QDateTime> at);
    // The range switch: sets the range and, for the day, loads the log (again).
    void chooseChartRange(ChartRange range);
    void setArchive(std::vector<MetricSample> samples);
    void setFrozenOrder(QStringList order);
    // Leaving the list empties the frozen order.
    void setPointerInList(bool inside);
    // Opens the process detail; none closes it.
    void selectProcess(std::optional<GroupedProcessInfo> group);
    void setProcessScrollOffset(int offset);

    // What the process rows report. Entering a group row marks its value on the chart and
    // freezes the order as displayed (unless frozen already); a child row only marks its value.
    void groupHoverChanged(const GroupedProcessInfo& group, bool hovering, const QStringList& displayedNames);
    void childHoverChanged(const AppProcessInfo& process, bool hovering);
    // A chosen group row: the row's own group when live; with a pinned sample the live group of
    // that name, nothing when it no longer runs.
    void chooseGroup(const GroupedProcessInfo& row);

    // The chart's series for the selected tab.
    std::vector<double> chartData() const;
    std::vector<double> archivedSeries() const;
    std::vector<QDateTime> archivedTimestamps() const;
    bool archiveHasRange() const { return archiveHasRange(selectedTab_); }
    void loadArchive();

    // The process list: the groups drawn from (live, or the pinned moment's), whether the first
    // usable measurement is still pending, and the groups as displayed.
    std::vector<GroupedProcessInfo> processSource() const;
    bool isLoading() const;
    std::vector<GroupedProcessInfo> displayedProcesses() const;

    // Pure parts.
    static std::vector<double> chartData(MonitorTab tab, const ProcessMonitor& monitor, double physicalMemory);
    static std::vector<double> archivedSeries(MonitorTab tab, const std::vector<MetricSample>& archive,
                                              double physicalMemory);
    static bool archiveHasRange(MonitorTab tab);
    // Stable sort by the tab's metric (CPU on the CPU tab, memory on any other), ties by name in
    // plain code-point order; then, with search text, only names containing it (case-insensitive).
    static std::vector<GroupedProcessInfo> sortedProcesses(const std::vector<GroupedProcessInfo>& groups,
                                                           MonitorTab tab, const QString& searchText);
    // The frozen order applied to sorted groups: frozen names first in their order (vanished ones
    // skipped), then the others in sorted order. Without a freeze, the sorted groups.
    static std::vector<GroupedProcessInfo> displayedProcesses(std::vector<GroupedProcessInfo> sorted,
                                                              bool isPointerInList, const QStringList& frozenOrder);
    // Stable sort by CPU on the CPU tab, by memory on any other; ties keep their order.
    static std::vector<AppProcessInfo> sortedChildren(const std::vector<AppProcessInfo>& children, MonitorTab tab);
    // What hovering a row marks on the chart: CPU on the CPU tab, bytes on the Mem tab, else none.
    static std::optional<double> highlightValue(const GroupedProcessInfo& group, MonitorTab tab);
    static std::optional<double> highlightValue(const AppProcessInfo& process, MonitorTab tab);
    static std::optional<GroupedProcessInfo> groupToOpen(const GroupedProcessInfo& row, bool pinned,
                                                         const std::vector<GroupedProcessInfo>& live);

signals:
    // previous is the tab shown before the change.
    void selectedTabChanged(MonitorTab tab, MonitorTab previous);
    void listTabChanged(MonitorTab tab);
    void searchTextChanged(const QString& text);
    void searchFocusRequested(bool focused);
    void expandedGroupsChanged();
    void chartHighlightValueChanged();
    void selectedHistoryTimestampChanged();
    void chartRangeChanged();
    void archiveChanged();
    void frozenOrderChanged();
    void pointerInListChanged(bool inside);
    void selectedProcessChanged();
    void processScrollOffsetChanged(int offset);

private:
    ProcessMonitor& monitor_;
    MetricArchive& metricArchive_;
    double physicalMemory_;

    MonitorTab selectedTab_;
    MonitorTab listTab_;
    QString searchText_;
    bool searchFocused_ = false;
    QSet<QString> expandedGroups_;
    std::optional<double> chartHighlightValue_;
    std::optional<QDateTime> selectedHistoryTimestamp_;
    ChartRange chartRange_ = ChartRange::live;
    std::vector<MetricSample> archive_;
    std::optional<GroupedProcessInfo> selectedProcess_;
    QStringList frozenOrder_;
    bool isPointerInList_ = false;
    int processScrollOffset_ = 0;
};
