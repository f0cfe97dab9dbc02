#include "TestSupport.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <ctime>

namespace TestSupport {

QImage palePageIcon() {
    QImage page(32, 32, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::transparent);
    QPainter p(&page);
    p.setPen(QColor(222, 222, 222));
    p.setBrush(Qt::white);
    p.drawRect(QRect(6, 3, 19, 25));
    return page;
}

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x1E, 0x1E, 0x1E), base(0x2A, 0x2A, 0x2A), text(0xEE, 0xEE, 0xEE);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x36, 0x36, 0x38));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x2A, 0x2A, 0x2A));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x10, 0x10, 0x10));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return p;
}


QMessageBox* noteShowing(const QString& value) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->isVisible() && box->informativeText() == value) return box;
    }
    return nullptr;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool waitForAnimations(const QObject* root, int timeoutMs) {
    QCoreApplication::processEvents();  // a change may start its animation from a posted event
    return waitFor(
        [root] {
            const QList<QAbstractAnimation*> animations = root->findChildren<QAbstractAnimation*>();
            return std::none_of(animations.begin(), animations.end(),
                                [](const QAbstractAnimation* a) { return a->state() == QAbstractAnimation::Running; });
        },
        timeoutMs);
}

void spin(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

namespace {
double clockMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
}  // namespace

double threadOwnMs() {
    // The second figure is the nanoseconds spent waiting on a run queue.
    QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
    double waitedMs = 0;
    if (stats.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stats.readAll().simplified().split(' ');
        if (fields.size() >= 2) waitedMs = fields[1].toDouble() / 1e6;
    }
    return clockMs(CLOCK_MONOTONIC) - waitedMs;
}

double threadCpuMs() { return clockMs(CLOCK_THREAD_CPUTIME_ID); }

GuiStallMeter::GuiStallMeter(Measure measure, int intervalMs) : measure_(measure), last_(now()) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const double turn = now();
        longest_ = std::max(longest_, turn - last_);
        last_ = turn;
    });
    timer_.start(intervalMs);
}

double GuiStallMeter::now() const { return measure_ == Measure::held ? clockMs(CLOCK_MONOTONIC) : threadCpuMs(); }

double GuiStallMeter::longestMs() const { return std::max(longest_, now() - last_); }

void ThreadLedger::note(const char* what) {
    const std::lock_guard lock(mutex_);
    (QThread::currentThread() == QCoreApplication::instance()->thread() ? onGui : off)[QString::fromLatin1(what)]++;
}

}  // namespace TestSupport
