#include "Platform/Core/Dispatch.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/SerialQueue.h"
#include "TestSupport.h"

#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
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
