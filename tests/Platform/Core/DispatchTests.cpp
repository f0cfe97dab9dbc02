#include "Platform/Core/BackgroundThreads.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/SerialQueue.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <unistd.h>
#include <vector>

TEST(SerialQueue, RunsJobsInOrderOneAtATimeOffTheGuiThread) {
    SerialQueue queue("com.merovane.test", QueuePriority::utility);
    std::vector<int> order;
    std::atomic<int> concurrent{0}, maxConcurrent{0};
    std::atomic<bool> onGuiThread{false};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            const int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            if (Dispatch::isMainThread()) onGuiThread = true;
            order.push_back(i);
            --concurrent;
        });
    }
    queue.waitUntilIdle();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[size_t(i)], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_FALSE(onGuiThread.load());

    int value = 0;
    queue.sync([&] { value = queue.isCurrent() ? 7 : -1; });
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, DestructionFinishesQueuedJobs) {
    std::atomic<int> ran{0};
    {
        SerialQueue queue("com.merovane.drain");
        for (int i = 0; i < 50; ++i) queue.async([&] { QThread::usleep(100); ++ran; });
    }
    EXPECT_EQ(ran.load(), 50);
}

TEST(SerialQueue, ClosingFinishesQueuedJobsAndLaterOnesNeverWaitForIt) {
    SerialQueue queue("com.merovane.close");
    std::atomic<int> ran{0};
    for (int i = 0; i < 20; ++i) queue.async([&] { QThread::usleep(500); ++ran; });
    queue.close();
    EXPECT_EQ(ran.load(), 20);

    // The thread is gone: async work is dropped, sync work runs on the caller, nothing hangs.
    queue.async([&] { ran += 100; });
    std::thread::id ranOn;
    queue.sync([&] { ranOn = std::this_thread::get_id(); });
    queue.waitUntilIdle();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(ran.load(), 20);
}

namespace {
const char* kExitVariable = "QUORVIN_TEST_QUEUE_AT_EXIT";

// Writes straight to the descriptor: stdio may already be gone when this runs.
void say(const char* line) { [[maybe_unused]] ssize_t n = ::write(STDOUT_FILENO, line, strlen(line)); }
}  // namespace

// Not a test of its own: leaves a never-deleted queue busy as the program ends.
TEST(SerialQueueHelper, BusyAtExit) {
    if (qgetenv(kExitVariable).isEmpty()) GTEST_SKIP() << "helper for BackgroundThreads.EndBeforeTheStaticsGo";
    struct Static {
        ~Static() { say("statics gone\n"); }
    };
    static Static lastingUntilExit;
    auto* queue = new SerialQueue("com.merovane.leaked");
    queue->async([] {
        QThread::msleep(300);
        say("job done\n");
    });
    QThread::msleep(20);
}

TEST(BackgroundThreads, EndBeforeTheStaticsGo) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kExitVariable, "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SerialQueueHelper.BusyAtExit"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    const QByteArray out = child.readAllStandardOutput();
    const qsizetype job = out.indexOf("job done"), statics = out.indexOf("statics gone");
    ASSERT_GE(statics, 0) << out.toStdString();
    EXPECT_GE(job, 0) << out.toStdString();
    EXPECT_LT(job, statics) << out.toStdString();
}

TEST(Dispatch, MainHopsBackToTheGuiThreadInOrder) {
    SerialQueue queue("com.merovane.hop");
    std::vector<int> seen;
    bool allOnMain = true;
    queue.async([&] {
        for (int i = 0; i < 5; ++i)
            Dispatch::main([&, i] {
                allOnMain = allOnMain && Dispatch::isMainThread();
                seen.push_back(i);
            });
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return seen.size() == 5; }));
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnMain);
}

TEST(WorkItem, FiresOnceAndCanBeCancelledOrReplaced) {
    QObject owner;
    WorkItem item;
    int fired = 0;
    item.schedule(&owner, 0.02, [&] { ++fired; });
    EXPECT_TRUE(item.isPending());
    ASSERT_TRUE(TestSupport::waitFor([&] { return fired == 1; }));
    EXPECT_FALSE(item.isPending());

    item.schedule(&owner, 0.02, [&] { fired += 10; });
    item.cancel();
    EXPECT_FALSE(item.isPending());

    // Scheduling again replaces the pending work.
    item.schedule(&owner, 0.02, [&] { fired += 100; });
    item.schedule(&owner, 0.02, [&] { fired += 1000; });
    TestSupport::spin(120);
    EXPECT_EQ(fired, 1001);
}

TEST(WorkItem, HoldsItsOwnerWeakly) {
    WorkItem item;
    bool fired = false;
    {
        auto* owner = new QObject;
        item.schedule(owner, 0.02, [&] { fired = true; });
        delete owner;
    }
    EXPECT_FALSE(item.isPending());
    TestSupport::spin(80);
    EXPECT_FALSE(fired);
}

TEST(NotificationCenter, DeliversOnTheGuiThreadToObserversOfThatName) {
    QObject context;
    int dismiss = 0, other = 0;
    bool onMain = true;
    NotificationCenter::defaultCenter().observe(Notification::dismissPopover, &context, [&](const QVariant&) {
        ++dismiss;
        onMain = onMain && Dispatch::isMainThread();
    });
    NotificationCenter::defaultCenter().observe(Notification::statusIconDidChange, &context,
                                                [&](const QVariant&) { ++other; });

    NotificationCenter::defaultCenter().post(Notification::dismissPopover);
    EXPECT_EQ(dismiss, 1);  // synchronous on the GUI thread

    SerialQueue queue("com.merovane.poster");
    queue.async([] { NotificationCenter::defaultCenter().post(Notification::dismissPopover); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return dismiss == 2; }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(other, 0);
}

// Workers of our own that keep the GUI thread from a core hold it up as surely as a wait inside a
// call: the meter counts that time, not only what the thread ran.
TEST(GuiStallMeter, AGuiThreadStarvedByOurOwnThreadsIsHeld) {
    cpu_set_t before;
    ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof before, &before), 0);
    int core = 0;
    while (!CPU_ISSET(core, &before)) ++core;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(core, &one);
    ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i)
        workers.emplace_back([&] {
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
            while (!stop) {}
        });

    TestSupport::GuiStallMeter held;
    TestSupport::GuiStallMeter ran(TestSupport::GuiStallMeter::Measure::busy);
    bool done = false;
    QTimer::singleShot(20, [&] {
        const double start = TestSupport::threadCpuMs();
        while (TestSupport::threadCpuMs() - start < 60) {}
        done = true;
    });
    const bool finished = TestSupport::waitFor([&] { return done; }, 20000);
    const double heldMs = held.longestMs(), ranMs = ran.longestMs();
    stop = true;
    for (std::thread& worker : workers) worker.join();
    pthread_setaffinity_np(pthread_self(), sizeof before, &before);
    ASSERT_TRUE(finished);
    // Nine threads on one core: the turn lasts several times what it ran.
    EXPECT_GE(ranMs, 60);
    EXPECT_GT(heldMs, 3 * ranMs) << "held " << heldMs << " ms for a turn that ran " << ranMs << " ms";
}
