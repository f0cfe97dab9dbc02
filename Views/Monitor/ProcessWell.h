#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/MonitorTab.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <vector>

class ChildProcessRowView;
class GroupedProcessRowView;
class QScrollArea;
class SystemMonitorView;

namespace Motion {
class Animator;
}

// The process list of the CPU, Mem and Net tabs: groups sorted by the tab's metric and filtered
// by name, expandable into their processes, fed by the live list or, while a chart sample is
// pinned, by the list recorded closest to it. While the pointer works in the list its order is
// frozen. A pulsing skeleton stands in while the first usable measurement is pending. Rows are
// made only for the part of the list in view.
class ProcessWell : public QWidget {
    Q_OBJECT
public:
    static constexpr int placeholderCount = 12;

    explicit ProcessWell(SystemMonitorView* view, QWidget* parent = nullptr);
    ~ProcessWell() override;

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
    static QStringList placeholderNames();
    // The group to open for a chosen row: the row's own group when live; with a pinned sample the
    // live group of that name, none when it no longer runs.
    static std::optional<GroupedProcessInfo> groupToOpen(const GroupedProcessInfo& row, bool pinned,
                                                         const std::vector<GroupedProcessInfo>& live);

    // The groups the well draws from (live, or the pinned moment's).
    std::vector<GroupedProcessInfo> processSource() const;
    bool isLoading() const;
    const std::vector<GroupedProcessInfo>& displayed() const { return displayed_; }
    QStringList displayedNames() const;
    // Applies pending changes now (they are otherwise applied on the next turn of the loop).
    void refreshNow();

    // What is on screen (tests).
    QScrollArea* scrollArea() const { return scroll_; }
    GroupedProcessRowView* groupRow(const QString& name) const;
    ChildProcessRowView* childRow(int32_t pid) const;
    QWidget* noMatchesView() const { return noMatches_; }
    QWidget* loadingView() const { return loading_; }
    double loadingOpacity() const { return loadingOpacity_; }
    bool skeletonPulse() const { return skeletonPulse_; }
    int builtRowCount() const { return int(rows_.size()); }
    // The height of the whole list.
    int contentHeight() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item {
        bool isGroup = true;
        int group = 0;   // index in displayed_
        int child = -1;  // index in children_[group]
        QString key;
        double y = 0;
        double height = 0;
    };
    void scheduleRefresh();
    void rebuildItems();
    void layoutRows();
    void setLoading(bool loading);
    void setSkeletonPulse(bool pulse);
    void groupHoverChanged(const QString& name, bool hovering);

    SystemMonitorView* view_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* noMatches_ = nullptr;
    QWidget* loading_ = nullptr;
    std::vector<QWidget*> placeholders_;
    std::vector<GroupedProcessInfo> displayed_;
    std::vector<std::vector<AppProcessInfo>> children_;
    std::vector<Item> items_;
    QHash<QString, QWidget*> rows_;
    bool refreshQueued_ = false;
    bool loadingState_ = true;
    double loadingOpacity_ = 1;
    bool skeletonPulse_ = false;
    double pulseValue_ = 1;
    QPointer<Motion::Animator> loadingFade_;
    QPointer<QObject> pulse_;
};
