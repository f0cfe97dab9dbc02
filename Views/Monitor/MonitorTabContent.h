#pragma once

#include "Source/Features/System/MonitorTab.h"

#include <functional>

class MonitorDiskTab;
class MonitorPopupModel;
class ProcessMonitor;
class QWidget;

// What the monitor popup's tabs put in its cards: the header, middle and body of the list tab
// (the process tabs' chart well, search row and process well, or the disk tab's pieces) and the
// three pieces of a detail. Each is made to fill its holder; the view places and animates them.
class MonitorTabContent {
public:
    MonitorTabContent(MonitorPopupModel& model, ProcessMonitor& monitor, MonitorDiskTab& disk);

    QWidget* makeHeader(MonitorTab listTab, QWidget* holder) const;
    QWidget* makeMiddle(MonitorTab listTab, QWidget* holder) const;
    QWidget* makeBody(MonitorTab listTab, QWidget* holder) const;
    // A piece (0 navigation, 1 main, 2 actions) of the selected process's detail, else of the disk
    // tab's inspected item; onDiskBack closes the latter.
    QWidget* makeDetail(int part, const std::function<void()>& onDiskBack, QWidget* parent) const;

private:
    MonitorPopupModel& model_;
    ProcessMonitor& monitor_;
    MonitorDiskTab& disk_;
};
