#pragma once

#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/MonitorTab.h"
#include "Views/Shared/HoverPressRow.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/NumericTextCell.h"

#include <QColor>

#include <functional>

class SymbolButton;


// One row of the process well per process group: an expand button (groups of two or more), the
// application's icon, the name with a "+N" badge of further processes, the CPU and memory
// figures coloured by load on their own tab, and a chevron while hovered. A click outside the
// expand button opens the group.
class GroupedProcessRowView : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int rowHeight = 28;
    static constexpr double expandColumn = 16;
    static constexpr double iconSide = 16;
    static constexpr double iconSpacing = 7;
    static constexpr double cpuColumn = 62;
    static constexpr double memoryColumn = 70;
    static constexpr double trailingColumn = 14;

    GroupedProcessRowView(GroupedProcessInfo process, MonitorTab tab, bool isExpanded, std::function<void()> onToggle,
                          std::function<void()> onSelect, std::function<void(bool)> onHoverChanged,
                          QWidget* parent = nullptr);

    const GroupedProcessInfo& process() const { return process_; }
    MonitorTab tab() const { return tab_; }
    bool isExpanded() const { return isExpanded_; }
    // New figures for the same group: the figures that changed roll to their new values; the row
    // itself repaints only when what it draws changed.
    void setProcess(const GroupedProcessInfo& process, MonitorTab tab, bool isExpanded);
    // Another group in this row (a hidden one, kept for reuse): shown at rest, as a new row would
    // show it, with nothing rolling or turning.
    void showGroup(GroupedProcessInfo process, MonitorTab tab, bool isExpanded, std::function<void()> onToggle,
                   std::function<void()> onSelect, std::function<void(bool)> onHoverChanged);
    SymbolButton* expandButton() const { return expand_; }
    NumericTextCell* cpuCell() const { return cpuText_; }
    NumericTextCell* memoryCell() const { return memoryText_; }

    // Load colours: each figure is coloured only on its own metric's tab.
    static QColor cpuColor(double totalCPU, MonitorTab tab, const QPalette& palette);
    static QColor memColor(uint64_t totalMemory, MonitorTab tab, const QPalette& palette);
    enum class Load { high, raised, normal, muted };
    static Load cpuLoad(double totalCPU, MonitorTab tab);
    static Load memLoad(uint64_t totalMemory, MonitorTab tab);
    static QColor color(Load load, const QPalette& palette);
    // "+N" for N further processes; empty for a group of one.
    static QString badgeText(int count);

    QSize sizeHint() const override { return QSize(324, rowHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hoverAmountChanged() override;
    void hoverStateChanged(bool hovered) override;
    void changeEvent(QEvent* event) override;

private:
    void turnChevron(bool animated);
    // The icon, the name and its badge, from x to the CPU figure's column.
    void paintName(QPainter& p, double x, double cpuLeft) const;
    void colourFigures();

    GroupedProcessInfo process_;
    MonitorTab tab_;
    bool isExpanded_;
    std::function<void()> onToggle_;
    std::function<void()> onSelect_;
    std::function<void(bool)> onHoverChanged_;
    SymbolButton* expand_ = nullptr;
    NumericTextCell* cpuText_ = nullptr;
    NumericTextCell* memoryText_ = nullptr;
    Motion::AnimatedValue chevronTurn_;  // the expand chevron's angle
};
