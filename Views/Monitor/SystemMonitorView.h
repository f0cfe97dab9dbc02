#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/MetricSample.h"
#include "Source/Features/System/MonitorTab.h"
#include "Views/Monitor/MetricChartKind.h"
#include "Views/Shared/Motion.h"

#include <QColor>
#include <QHash>
#include <QTimer>
#include <QDateTime>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class BlurFade;
class GlassCard;
class GlassCardContainer;
class MetricArchive;
class MonitorDiskTab;
class MonitorTabPicker;
class NetworkMonitor;
class ProcessMonitor;
class QShortcut;
class SystemSampler;

// The monitor popup's root view: a tab strip over three glass cards (a header with the chart
// well or the disk capacity, a narrow middle card with the search row or the disk scan buttons,
// a body with the process well or the cleanup list). The Stats tab fuses the cards into one
// that holds the stats dashboard; a process detail or a cleanup detail replaces them with a
// navigation bar, one content card and an action bar. Holds the popup's whole view state; every
// opening builds a new view, so every opening starts from the initial state.
class SystemMonitorView : public QWidget {
    Q_OBJECT
public:
    enum class ChartRange { live, day };
    static constexpr std::array<ChartRange, 2> allRanges{ChartRange::live, ChartRange::day};
    static QString rawValue(ChartRange range);                         // "live", "day"
    static std::optional<ChartRange> chartRangeFromRawValue(const QString& raw);
    static QString label(ChartRange range);                            // "LIVE", "24H"

    enum class CardSlot { header, mid, body };
    static QString rawValue(CardSlot slot);                            // "header", "mid", "body"
    struct SlotGeometry {
        double top = 0;
        double height = 0;
        double inset = 0;         // horizontal inset on each side
        double cornerRadius = 24;
        bool operator==(const SlotGeometry&) const = default;
    };
    // A slot's place inside the 636-point-high content area for a mode.
    static SlotGeometry glassRect(CardSlot slot, bool fused, bool statsMode);

    static constexpr double contentWidth = 336;
    static constexpr double contentHeight = 636;
    static constexpr double padding = 12;

    // Where the view's data comes from.
    struct Sources {
        ProcessMonitor* monitor = nullptr;
        NetworkMonitor* network = nullptr;
        SystemSampler* sampler = nullptr;
        MetricArchive* archive = nullptr;
        MonitorDiskTab* disk = nullptr;
        double physicalMemory = 0;  // bytes
        static Sources shared();
    };

    SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, QWidget* parent = nullptr);
    SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, Sources sources,
                      QWidget* parent = nullptr);
    ~SystemMonitorView() override;

    const Sources& sources() const { return sources_; }
    ProcessMonitor& monitor() const { return *sources_.monitor; }

    // State.
    MonitorTab selectedTab() const { return selectedTab_; }
    MonitorTab listTab() const { return listTab_; }
    const QString& searchText() const { return searchText_; }
    bool searchFocused() const;
    const QSet<QString>& expandedGroups() const { return expandedGroups_; }
    std::optional<double> chartHighlightValue() const { return chartHighlightValue_; }
    std::optional<QDateTime> selectedHistoryTimestamp() const { return selectedHistoryTimestamp_; }
    ChartRange chartRange() const { return chartRange_; }
    const std::vector<MetricSample>& archive() const { return archive_; }
    const std::optional<GroupedProcessInfo>& selectedProcess() const { return selectedProcess_; }
    const QStringList& frozenOrder() const { return frozenOrder_; }
    bool isPointerInList() const { return isPointerInList_; }

    // The tab binding's setter: clears the highlight and the pinned sample, picks the animation,
    // drops the search focus for Stats, returns the range to live for Net and Stats, then
    // changes the tab (and the list tab, unless Stats).
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
    void setPointerInList(bool inside);
    // Opens the process detail (nullopt closes it) through reformNavigation.
    void selectProcess(std::optional<GroupedProcessInfo> group);
    // Runs the change inside the animation that moves between list and detail: Motion.morph when
    // a detail is shown now (the change closes it), Motion.droplet otherwise.
    void reformNavigation(const std::function<void()>& change);

    // Derived.
    bool isShowingDetail() const;
    bool isFused() const { return isShowingDetail() || selectedTab_ == MonitorTab::stats; }
    bool isStatsMode() const { return selectedTab_ == MonitorTab::stats && !isShowingDetail(); }
    QString paneSource() const;
    static const Motion::Animation& statsMorph();

    // The chart well's series for the selected tab.
    std::vector<double> chartData() const;
    std::vector<double> archivedSeries() const;
    std::vector<QDateTime> archivedTimestamps() const;
    bool archiveHasRange() const { return archiveHasRange(selectedTab_); }
    void loadArchive();

    // Pure parts of the chart well.
    static std::vector<double> chartData(MonitorTab tab, const ProcessMonitor& monitor, double physicalMemory);
    static std::vector<double> archivedSeries(MonitorTab tab, const std::vector<MetricSample>& archive,
                                              double physicalMemory);
    static bool archiveHasRange(MonitorTab tab);
    static QColor tint(MonitorTab tab);
    static MetricChartKind kind(MonitorTab tab);

    // What is on screen now (tests).
    MonitorTabPicker* tabPicker() const { return picker_; }
    QWidget* headerContent() const { return header_; }
    QWidget* midContent() const { return mid_; }
    QWidget* bodyContent() const { return body_; }
    QWidget* statsContent() const { return stats_; }
    QWidget* detailPiece(int part) const;  // 0 navigation, 1 main, 2 actions
    GlassCard* cardGlass(CardSlot slot) const;
    GlassCard* navigationGlass() const { return navGlass_; }
    GlassCard* actionGlass() const { return actionGlass_; }
    QWidget* listCards() const { return listCards_; }
    bool escapeClosesPopup() const;
    // Ends running transitions at their final state.
    void finishTransitions();

signals:
    void selectedTabChanged(MonitorTab tab);
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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Layout;
    void build();
    void rebuildListContent(const Motion::Animation& animation, bool headerOnly);
    void applyMode(const Motion::Animation& animation);
    void placeGlass(double progress);
    void syncDetail(const Motion::Animation& animation);
    QString detailIdentity() const;
    void fade(QWidget* widget, double to, const Motion::Animation& animation, double delay = 0,
              std::function<void()> done = {});
    void fadeOutAndDelete(QWidget* widget, const Motion::Animation& animation, double delay = 0);
    void blur(QWidget* widget, double radius, double opacity, const Motion::Animation& timing,
              std::function<void()> done);
    void fadeIn(QWidget* widget, const Motion::Animation& animation, double delay = 0);
    void diskInspectionChanged();

    Sources sources_;
    std::function<void()> onDismiss_;

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

    // Widgets.
    GlassCardContainer* container_ = nullptr;
    QWidget* area_ = nullptr;
    std::array<GlassCard*, 3> cards_{};
    GlassCard* navGlass_ = nullptr;
    GlassCard* actionGlass_ = nullptr;
    MonitorTabPicker* picker_ = nullptr;
    QWidget* listCards_ = nullptr;
    BlurFade* listEffect_ = nullptr;
    QPointer<QWidget> header_, mid_, body_, stats_;
    QWidget* headerHolder_ = nullptr;
    QWidget* midHolder_ = nullptr;
    QWidget* bodyHolder_ = nullptr;
    std::array<QPointer<QWidget>, 3> detail_{};
    QString shownDetail_;
    QString shownPane_;
    MonitorTab shownHeaderTab_;
    QShortcut* escape_ = nullptr;

    // Glass geometry: where each surface was when the running transition began, and where it goes.
    struct GlassFrame {
        QRectF rect;
        double radius = 24;
        double opacity = 1;
    };
    std::array<GlassFrame, 5> glassFrom_{}, glassTo_{}, glassNow_{};
    QPointer<Motion::Animator> glassAnimator_;
    QPointer<Motion::Animator> listAnimator_;
    QPointer<Motion::Animator> pickerAnimator_;
    bool lastStatsMode_ = false;
    bool lastShowingDetail_ = false;
    double pickerOpacity_ = 1;
    // The running fade and blur of each content widget, and fades waiting for their delay.
    QHash<const QWidget*, QPointer<Motion::Animator>> fadeAnimators_, blurAnimators_;
    QHash<const QWidget*, QPointer<QTimer>> fadeDelays_;
};
