#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QMap>
#include <QString>
#include <QPalette>
#include <QTimer>

#include <QEvent>

#include <functional>
#include <map>
#include <mutex>

class QMessageBox;

namespace TestSupport {
// The temp folder that XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME point into for this process.
QString tempRoot();
// Processes events until the condition holds or the timeout passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Processes events for a while.
void spin(int ms);
// Processes events until no animation under `root` runs (a change of layout, a fade, a turn has run
// its course); whether that came within the timeout.
bool waitForAnimations(const QObject* root, int timeoutMs = 5000);
// The open note (a message box) whose informative text is `value`, if any.
QMessageBox* noteShowing(const QString& value);

// Paint events by receiver, from the moment it is made.
class Paints : public QObject {
public:
    Paints() { qApp->installEventFilter(this); }
    ~Paints() override { qApp->removeEventFilter(this); }
    std::map<const QObject*, int> by;
    int total = 0;
    void clear() {
        by.clear();
        total = 0;
    }
    int of(const QObject* o) const { return by.count(o) ? by.at(o) : 0; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++by[watched];
            ++total;
        }
        return false;
    }
};

// A full dark palette, as a dark desktop theme gives one: the placeholder role is left at Qt's
// default, as the desktop themes leave it.
QPalette darkPalette();

// A file's icon as icon themes draw one, a white page with a pale outline (32 px): it fades into a
// light grey card.
QImage palePageIcon();

// The calling thread's own time in ms: the wall clock less the time the thread was ready to run
// but waited for a CPU. Work and waits inside a call count; other programs busy on the machine don't.
double threadOwnMs();
// The calling thread's CPU time in ms.
double threadCpuMs();

// Watches the GUI thread through a timer due every `intervalMs`: the longest time between two of
// its turns is the longest the thread was held up. `held` counts by the wall clock, so that a wait
// inside a call shows, and so does a wait for a core behind this program's own threads; `busy`
// counts only its CPU time, for work the thread does itself. Checks on `held` are named
// "...GuiThreadAnswers..." and run alone in ctest: tests running beside them would stretch the
// time they measure.
class GuiStallMeter {
public:
    enum class Measure { held, busy };
    explicit GuiStallMeter(Measure measure = Measure::held, int intervalMs = 10);
    // So far, the current turn included.
    double longestMs() const;

private:
    double now() const;
    Measure measure_;
    QTimer timer_;
    double last_ = 0;
    double longest_ = 0;
};
// Counts calls by name, apart for the GUI thread and for the others; note() is safe from any
// thread, the counts are read once the other threads are done.
class ThreadLedger {
public:
    void note(const char* what);
    QMap<QString, int> onGui, off;

private:
    std::mutex mutex_;
};
}  // namespace TestSupport
