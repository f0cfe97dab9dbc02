#include "Views/Monitor/MonitorTabContent.h"

#include "Source/Features/System/MonitorPopupModel.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Monitor/ChartWell.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Monitor/ProcessSearchRow.h"
#include "Views/Monitor/ProcessWell.h"

MonitorTabContent::MonitorTabContent(MonitorPopupModel& model, ProcessMonitor& monitor, MonitorDiskTab& disk)
    : model_(model), monitor_(monitor), disk_(disk) {}

QWidget* MonitorTabContent::makeHeader(MonitorTab listTab, QWidget* holder) const {
    // The holder reaches 8 px above the card, where the chart well's hover label may stand.
    if (listTab == MonitorTab::disk) {
        QWidget* disk = disk_.makeHeader(holder);
        disk->setGeometry(0, 8, holder->width(), holder->height() - 8);
        return disk;
    }
    auto* well = new ChartWell(model_, holder);
    well->setGeometry(0, 0, holder->width(), holder->height());
    return well;
}

QWidget* MonitorTabContent::makeMiddle(MonitorTab listTab, QWidget* holder) const {
    QWidget* mid = listTab == MonitorTab::disk ? disk_.makeMiddle(holder) : new ProcessSearchRow(model_, holder);
    mid->setGeometry(0, 0, holder->width(), holder->height());
    return mid;
}

QWidget* MonitorTabContent::makeBody(MonitorTab listTab, QWidget* holder) const {
    QWidget* body = listTab == MonitorTab::disk ? disk_.makeBody(holder) : new ProcessWell(model_, holder);
    body->setGeometry(0, 0, holder->width(), holder->height());
    return body;
}

QWidget* MonitorTabContent::makeDetail(int part, const std::function<void()>& onDiskBack, QWidget* parent) const {
    if (const auto& group = model_.selectedProcess()) {
        MonitorPopupModel* model = &model_;
        return new ProcessDetailView(
            *group, ProcessDetailView::Part(part), [model] { model->selectProcess(std::nullopt); }, monitor_, parent);
    }
    return disk_.makeDetail(MonitorDiskTab::DetailPart(part), onDiskBack, parent);
}
