#pragma once

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

class QAbstractScrollArea;
class QWidget;

// Keeps the scroll offsets of every scroll area inside a window across a resize of the window
// by the user. The first resize of a burst captures the offsets; after each resize of the burst
// they are put back, and once more when the window has not been resized for settleMs. Made
// once per window, on the GUI thread, and kept by the window's owner.
class ScrollPositionKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int settleMs = 200;

    explicit ScrollPositionKeeper(QWidget* window);
    ~ScrollPositionKeeper() override;

    QWidget* window() const { return window_; }
    // Whether a resize burst is under way.
    bool isResizing() const { return resizing_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void capture();
    void restore();

    QPointer<QWidget> window_;
    bool resizing_ = false;
    bool restorePending_ = false;
    QHash<QAbstractScrollArea*, QPair<QPointer<QAbstractScrollArea>, QPoint>> offsets_;
    QList<QMetaObject::Connection> rangeConnections_;
    QTimer settle_;
};
