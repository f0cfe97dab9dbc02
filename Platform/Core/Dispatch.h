#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace Dispatch {
// Runs fn on the GUI thread, later (never inline), in the order posted.
void main(std::function<void()> fn);
// Runs fn on the GUI thread after the delay, unless context has been destroyed by then.
void mainAfter(double seconds, QObject* context, std::function<void()> fn);
bool isMainThread();
}  // namespace Dispatch

// A cancellable piece of delayed GUI-thread work that holds its owner weakly: the owner's
// destruction cancels it. Scheduling again replaces the pending work.
class WorkItem {
public:
    WorkItem() = default;
    ~WorkItem() { cancel(); }
    WorkItem(const WorkItem&) = delete;
    WorkItem& operator=(const WorkItem&) = delete;

    void schedule(QObject* owner, double seconds, std::function<void()> fn);
    void cancel();
    bool isPending() const { return !timer_.isNull() && timer_->isActive(); }

private:
    QPointer<QTimer> timer_;
};
