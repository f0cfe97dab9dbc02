#pragma once

#include "Platform/Core/Dispatch.h"

#include <QObject>

// The "copied" state of a copy button: on at each copy, off again a while after the last one.
// GUI thread only.
class CopyConfirmation : public QObject {
    Q_OBJECT
public:
    static constexpr double defaultSeconds = 1.6;

    explicit CopyConfirmation(QObject* parent = nullptr) : QObject(parent) {}

    bool didCopy() const { return didCopy_; }
    // Turns the state on and restarts the time until it goes off.
    void confirm();
    void setSecondsForTesting(double seconds) { seconds_ = seconds; }

signals:
    void didCopyChanged(bool didCopy);

private:
    void set(bool on);

    bool didCopy_ = false;
    double seconds_ = defaultSeconds;
    WorkItem copyResetWork_;
};
