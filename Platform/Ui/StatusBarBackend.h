#pragma once

#include <QPoint>
#include <QRect>

class QWidget;
class StatusItem;

// Where a StatusBar shows its items: the system tray or our own bar strip window.
class StatusBarBackend {
public:
    virtual ~StatusBarBackend() = default;
    virtual void addItem(StatusItem* item) = 0;
    virtual void removeItem(StatusItem* item) = 0;
    // The item's image, tooltip or visibility changed.
    virtual void updateItem(StatusItem* item) = 0;
    virtual QRect screenRect(const StatusItem* item) const = 0;
    virtual bool containsScreenPoint(const QPoint& globalPos) const = 0;
    virtual QWidget* window() const { return nullptr; }
};
