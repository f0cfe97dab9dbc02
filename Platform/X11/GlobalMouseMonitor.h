#pragma once

#include <QObject>
#include <QPoint>

// Left and right mouse-button presses anywhere on the desktop, also over other programs'
// windows, seen without taking them from anyone: XInput 2 raw button events selected on the
// root window. Each press is reported with the pointer's position (Qt's global coordinates).
// Without an X server (or its XInput 2) start() fails and nothing is reported. GUI thread only.
class GlobalMouseMonitor : public QObject {
    Q_OBJECT
public:
    static GlobalMouseMonitor& shared();

    // Starts watching; true when watching (also when already started).
    bool start();
    void stop();
    bool isRunning() const { return running_; }

signals:
    void mouseDown(const QPoint& globalPos, Qt::MouseButton button);

private:
    GlobalMouseMonitor();
    bool select(bool on);
    bool running_ = false;
    bool subscribed_ = false;
    quint8 opcode_ = 0;  // the XInput extension's; 0 where the server lacks it
};
