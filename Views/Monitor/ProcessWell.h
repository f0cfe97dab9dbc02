#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/MonitorTab.h"
#include "Views/Shared/ClearScrollArea.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <vector>

class ChildProcessRowView;
class GroupedProcessRowView;
class MonitorPopupModel;

namespace Motion {
class Animator;
}

// The process list of the CPU, Mem and Net tabs: groups sorted by the tab's metric and filtered
// by name, expandable into their processes, fed by the live list or, while a chart sample is
// pinned, by the list recorded closest to it. While the pointer works in the list its order is
// frozen. A pulsing skeleton stands in while the first usable measurement is pending. Rows are
// made only for the part of the list in view. The scroll offset is the model's, so a new list
// (after a visit to the Disk tab) opens where the last one was.
class ProcessWell : public QWidget {
    Q_OBJECT
public:
    static constexpr int placeholderCount = 12;

    explicit ProcessWell(MonitorPopupModel& model, QWidget* parent = nullptr);
    ~ProcessWell() override;

    static QStringList placeholderNames();

    // Whether the skeleton stands in for the list (the first usable measurement is pending).
    bool isLoading() const { return loadingState_; }
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
    void restoreScroll();

    MonitorPopupModel& model_;
    ClearScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* noMatches_ = nullptr;
    QWidget* loading_ = nullptr;
    std::vector<QWidget*> placeholders_;
    std::vector<GroupedProcessInfo> displayed_;
    std::vector<std::vector<AppProcessInfo>> children_;
    std::vector<Item> items_;
    QHash<QString, QWidget*> rows_;
    // Group rows gone out of view, hidden, for the next groups that come into view: making a row
    // costs more than showing another group in one.
    std::vector<GroupedProcessRowView*> spareRows_;
    bool refreshQueued_ = false;
    bool restoringScroll_ = true;  // until the model's offset has been applied to a loaded list
    bool loadingState_ = true;
    double loadingOpacity_ = 1;
    bool skeletonPulse_ = false;
    double pulseValue_ = 1;
    QPointer<Motion::Animator> loadingFade_;
    QPointer<QObject> pulse_;
};
