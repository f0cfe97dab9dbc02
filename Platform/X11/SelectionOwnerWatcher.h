#pragma once

#include <QByteArray>
#include <QObject>

// Follows who owns an X selection (a system tray's _NET_SYSTEM_TRAY_S0, a compositor's
// _NET_WM_CM_S0) through XFixes selection notifications on Qt's own connection: no polling.
// Without an X server or its XFixes extension isWatching() is false and nothing is reported.
// GUI thread only.
class SelectionOwnerWatcher : public QObject {
    Q_OBJECT
public:
    explicit SelectionOwnerWatcher(const QByteArray& selection, QObject* parent = nullptr);
    ~SelectionOwnerWatcher() override;

    // A per-screen selection name for the default screen: the prefix followed by its number.
    static QByteArray forDefaultScreen(const QByteArray& prefix);

    const QByteArray& selection() const { return selection_; }
    bool isWatching() const;
    // The owner window; 0 when nobody owns the selection.
    quint32 owner() const { return owner_; }
    bool hasOwner() const { return owner_ != 0; }

signals:
    void ownerChanged(quint32 owner);

private:
    QByteArray selection_;
    quint32 owner_ = 0;
    quint32 atom_ = 0;
    quint8 notifyType_ = 0;  // XFixes' selection notification; 0 while not watching
};
