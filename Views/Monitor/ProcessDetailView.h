#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class MetricChartCard;
class ProcessMonitor;
class QAction;
class QLabel;
class QMenu;
class QVBoxLayout;

// The detail page of one process group: a navigation bar with a menu of small actions (copy the
// PID or the name, reveal the desktop entry, sample the stacks for 3 s), the main content (a
// live CPU or memory history of the group, its identity and its processes) and an action bar
// with Force Quit and Quit, each behind a confirmation. The popup builds one instance per piece;
// only the main one samples and draws the history.
class ProcessDetailView : public QWidget {
    Q_OBJECT
public:
    enum class Part { navigation, main, actions };
    enum class DetailMetric { cpu, memory };
    enum class QuitStyle { normal, force };
    static constexpr size_t historyLength = 48;

    ProcessDetailView(GroupedProcessInfo group, Part part, std::function<void()> onBack, ProcessMonitor& monitor,
                      QWidget* parent = nullptr);
    ProcessDetailView(GroupedProcessInfo group, Part part, std::function<void()> onBack, QWidget* parent = nullptr);
    ~ProcessDetailView() override;

    const GroupedProcessInfo& group() const { return group_; }
    Part part() const { return part_; }

    // The group in the live list (by name), none when it has ended; the current group is the live
    // one, else the group as opened.
    std::optional<GroupedProcessInfo> live() const;
    GroupedProcessInfo current() const;
    // The child with the most memory (the first on a tie); none without children.
    static std::optional<AppProcessInfo> primary(const GroupedProcessInfo& group);
    std::optional<AppProcessInfo> primary() const { return primary(current()); }

    DetailMetric metric() const { return metric_; }
    void setMetric(DetailMetric metric);
    static QString label(DetailMetric metric);  // "CPU", "Memory"
    const std::vector<double>& cpuHistory() const { return cpuHistory_; }
    const std::vector<double>& memoryHistory() const { return memoryHistory_; }
    const std::vector<QDateTime>& sampleDates() const { return sampleDates_; }
    const std::vector<double>& chartSeries() const;
    void appendSample(const GroupedProcessInfo& group, const QDateTime& at);

    // Texts.
    static QString subtitle(const std::optional<AppProcessInfo>& primary);  // bundle id or "Unix process"
    static QString quitTitle(QuitStyle style);
    static QString quitMessage(QuitStyle style, const QString& groupName);
    static QString quitInformative(QuitStyle style, int count);
    static QString runningText(size_t count);  // "%lld running"
    static QString sampleMenuTitle(bool samplerAvailable);
    // The pids a quit signals: the live group's processes in its order, never pid 1 or less or
    // our own (no live group: none, since stored pids may belong to other processes by now).
    static std::vector<int64_t> quitTargets(const std::optional<GroupedProcessInfo>& live);

    // Actions.
    void presentQuitConfirmation(QuitStyle style);
    void quit(QuitStyle style);
    void sampleProcess();
    // After a sample: shows the report in the file manager, or a note with its path (and a way to
    // copy it) where none can; a failed sample says so.
    void finishSample(const QString& path, bool succeeded);
    void copyPID();
    void copyName();
    void revealInFileManager();

    // What is on screen (tests).
    QMenu* moreMenu() const { return menu_; }
    MetricChartCard* chart() const { return chart_; }
    // The note shown after a sample that no file manager could show, or that failed; null when none.
    QMessageBox* sampleNotice() const { return sampleNotice_; }
    QWidget* hierarchy() const { return hierarchy_; }
    // Updates the menu entries' enabled states (done before it opens).
    void updateMenu();

signals:
    void sampleFinished(const QString& path, bool succeeded);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildNavigation();
    void buildActions();
    void buildMain();
    void rebuildChart(bool animated);
    void refreshFigures();
    void presentSampleResult(const QString& path, bool succeeded, bool shown);

    GroupedProcessInfo group_;
    Part part_;
    std::function<void()> onBack_;
    QPointer<QMessageBox> sampleNotice_;
    QPointer<ProcessMonitor> monitor_;
    DetailMetric metric_ = DetailMetric::cpu;
    std::vector<double> cpuHistory_;
    std::vector<double> memoryHistory_;
    std::vector<QDateTime> sampleDates_;

    QMenu* menu_ = nullptr;
    QAction* copyPID_ = nullptr;
    QAction* copyName_ = nullptr;
    QAction* reveal_ = nullptr;
    QAction* sample_ = nullptr;
    QWidget* picker_ = nullptr;
    QWidget* chartHolder_ = nullptr;
    MetricChartCard* chart_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QLabel* figure_ = nullptr;
    QWidget* hierarchy_ = nullptr;
    QLabel* running_ = nullptr;
    bool sampledOnAppearance_ = false;
};
