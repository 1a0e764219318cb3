// The shared locks outlive every background run that uses them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/locks.h"

namespace {

TEST(PluginLocks, DeletionWaitsForRunningWorkAndThenRefusesNewWork) {
    CreatePluginLocks();
    std::atomic<bool> started{false}, finished{false};
    std::thread worker([&] {
        BackgroundWork work;
        ASSERT_TRUE(work.Admitted());
        EXPECT_TRUE(TryEnterCriticalSection(&MonitorTimerLock));
        started = true;
        Sleep(200);
        LeaveCriticalSection(&MonitorTimerLock);
        finished = true;
    });
    while (!started) Sleep(1);
    EXPECT_TRUE(DeletePluginLocks(10000));
    EXPECT_TRUE(finished);
    worker.join();
    EXPECT_FALSE(PluginLocksAlive());
    BackgroundWork late;
    EXPECT_FALSE(late.Admitted());
}

TEST(PluginLocks, WorkOutlastingTheWaitKeepsTheLocks) {
    CreatePluginLocks();
    std::atomic<bool> started{false}, release{false};
    std::thread worker([&] {
        BackgroundWork work;
        started = true;
        while (!release) Sleep(1);
        // Still usable: the stop gave up instead of deleting it under us.
        EXPECT_TRUE(TryEnterCriticalSection(&RadioLookupLock));
        LeaveCriticalSection(&RadioLookupLock);
    });
    while (!started) Sleep(1);
    EXPECT_FALSE(DeletePluginLocks(50));
    release = true;
    worker.join();
}

}  // namespace
