#pragma once

#include "Platform/Core/Dispatch.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Widgets/WidgetType.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

class WidgetManager;

// The menu-bar widgets' status items: one per type, in declaration order from left to right,
// and one grouped strip. In a tray every widget is its own square icon (a strip squeezed into a
// tray icon cannot be read), so the grouped item is used on our own bar strip only. The items are created once, on the first rebuild, and afterwards only
// shown or hidden. A configuration change rebuilds 100 ms after the last change; new readings
// redraw the visible items, each only when its text changed. GUI thread only.
class MenuBarWidgetController : public QObject {
    Q_OBJECT
public:
    static constexpr double rebuildDelay = 0.1;

    static MenuBarWidgetController& shared();
    MenuBarWidgetController(WidgetManager& manager, StatusBar& bar, QObject* parent = nullptr);

    // Shows, hides and redraws the items from the current configuration, at once.
    void rebuild();
    bool isRebuildPending() const { return pendingRebuild_.isPending(); }

    // The items; null before the first rebuild.
    StatusItem* item(WidgetType type) const;
    StatusItem* groupedItem() const { return grouped_; }
    // How many images the items have been given so far.
    int drawCount() const { return drawCount_; }
    // An item's tooltip: the reading's name and its value ("CPU 34%").
    static QString toolTip(WidgetType type, const QString& value);

private:
    void createItems();
    void redraw();
    bool inTray() const;
    void draw(StatusItem* item, const QString& key, const std::function<void()>& render);

    WidgetManager& manager_;
    StatusBar& bar_;
    std::map<WidgetType, StatusItem*> items_;
    StatusItem* grouped_ = nullptr;
    std::map<const StatusItem*, QString> drawn_;
    int drawCount_ = 0;
    WorkItem pendingRebuild_;
};
