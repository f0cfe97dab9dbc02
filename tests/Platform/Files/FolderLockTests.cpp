#include "Platform/Files/FolderLock.h"

#include <QTemporaryDir>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

using namespace std::chrono;

// A wait for a busy lock ends at its deadline, however long the step between tries: a deadline
// that comes first or is brought forward from another thread (quitting) ends the sleep.
TEST(FolderLock, AWaitEndsAtItsDeadline) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const FolderLock other(dir.path());
    ASSERT_TRUE(other.held());

    const auto start = steady_clock::now();
    const FolderLock::Deadline soon(start + milliseconds(100));
    soon.sleep(10000);
    EXPECT_TRUE(soon.passed());
    EXPECT_LT(steady_clock::now() - start, seconds(2));

    FolderLock::Deadline never;
    const auto broughtAt = steady_clock::now();
    std::thread quitting([&] { never.bringTo(steady_clock::now() + milliseconds(100)); });
    never.sleep(10000);
    quitting.join();
    EXPECT_TRUE(never.passed());
    EXPECT_LT(steady_clock::now() - broughtAt, seconds(2));

    // Brought forward once, a later time never puts it off again.
    FolderLock::Deadline quit;
    quit.bringTo(steady_clock::now() - milliseconds(1));
    quit.bringTo(steady_clock::now() + hours(1));
    EXPECT_TRUE(quit.passed());

    const auto waitedAt = steady_clock::now();
    const FolderLock::Deadline waited(waitedAt + milliseconds(100));
    const FolderLock lock = FolderLock::waitFor(dir.path(), waited);
    EXPECT_TRUE(lock.busy());
    EXPECT_LT(steady_clock::now() - waitedAt, seconds(2));
}
