#pragma once

#include "Platform/Ui/StatusBarBackend.h"

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QSystemTrayIcon;

// Status items as system tray icons, one per item, shown while the item is visible. An item with
// a square drawing is drawn at the tray's own icon size; others show their image on a square.
// Icons to show are shown together when control returns to the event loop, in the order made.
class TrayStatusBackend : public StatusBarBackend {
public:
    // `moved` runs when the tray moves or resizes one of our icons.
    explicit TrayStatusBackend(std::function<void()> moved = {});
    ~TrayStatusBackend() override;

    void addItem(StatusItem* item) override;
    void removeItem(StatusItem* item) override;
    void updateItem(StatusItem* item) override;
    QRect screenRect(const StatusItem* item) const override;
    bool containsScreenPoint(const QPoint& globalPos) const override;

    // Tray icons are square: the image centred on a transparent square of its longer side, so
    // that the tray scales it down keeping its aspect. An empty image gives a transparent square.
    static QImage squareImage(const QImage& image);
    QSystemTrayIcon* trayIcon(const StatusItem* item) const;

private:
    struct Entry {
        StatusItem* item;
        QSystemTrayIcon* icon;
        qint64 imageKey;
        QString drawingKey;
        bool drawn;  // the square drawing is shown, not the image
        bool stale;  // nothing shown yet
    };
    void showPending();
    void watchIconWindows();
    Entry* find(const StatusItem* item);
    const Entry* find(const StatusItem* item) const;
    std::vector<Entry> entries_;
    bool showPending_ = false;
    QObject context_;  // queued work dies with the backend
    std::unique_ptr<QObject> iconWatcher_;
};
