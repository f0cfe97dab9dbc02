#pragma once

#include "Source/Features/System/AppProcessInfo.h"
#include "Source/Features/System/MonitorTab.h"
#include "Views/Shared/HoverPressRow.h"
#include "Views/Shared/NumericTextCell.h"

#include <functional>


// The indented row of one process inside an expanded group: its name (cut in the middle), its
// PID and its figures, drawn as one block centred in the row when it is narrower than the row.
// Not selectable.
class ChildProcessRowView : public HoverPressRow {
    Q_OBJECT
public:
    static constexpr int rowHeight = 18;
    static constexpr double indent = 39;
    static constexpr double pidSpacing = 6;

    ChildProcessRowView(AppProcessInfo process, MonitorTab tab, std::function<void(bool)> onHoverChanged,
                        QWidget* parent = nullptr);

    const AppProcessInfo& process() const { return process_; }
    // New figures for the same process: those that changed roll; the row repaints only when its
    // name or PID changed.
    void setProcess(const AppProcessInfo& process, MonitorTab tab);
    NumericTextCell* cpuCell() const { return cpuText_; }
    NumericTextCell* memoryCell() const { return memoryText_; }

    // Where the block of name, PID and figures starts, and the width the name gets, in a row of
    // the given width.
    struct Block {
        double left = 0;
        double nameWidth = 0;
        double pidWidth = 0;
    };
    Block block(double rowWidth) const;
    static QString pidText(int32_t pid);

    QSize sizeHint() const override { return QSize(324, rowHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hoverAmountChanged() override;
    void hoverStateChanged(bool hovered) override;

private:
    void placeFigures();

    AppProcessInfo process_;
    MonitorTab tab_;
    std::function<void(bool)> onHoverChanged_;
    NumericTextCell* cpuText_ = nullptr;
    NumericTextCell* memoryText_ = nullptr;
};
