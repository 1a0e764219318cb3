// The shared locks outlive every background run that uses them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/locks.h"
#include "failed_checks.h"
#include "log_capture.h"

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

class OwnedLocks : public LogCapture {};

// The thread holding the lock comes back for it (a message served on it while it holds it): it is
// refused at once and the check is logged; other threads wait for the holder as usual.
TEST_F(OwnedLocks, TheHolderComingBackIsRefusedAndOthersWait) {
    ExpectedChecks expected("locks.cpp");
    OwnedLock lock;
    ASSERT_TRUE(lock.Acquire());
    EXPECT_FALSE(lock.Acquire());
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_NE(g_logged[0].find("check failed at locks.cpp"), std::string::npos) << g_logged[0];
    std::atomic<int> got{0};
    std::thread other([&] {
        if (lock.Acquire()) {
            got = 1;
            lock.Release();
        } else {
            got = 2;
        }
    });
    Sleep(50);  // the other thread is waiting (or not yet there): it has not got the lock either way
    EXPECT_EQ(got.load(), 0);
    lock.Release();
    other.join();
    EXPECT_EQ(got.load(), 1);
    // Released, it is taken again by the thread that held it.
    ASSERT_TRUE(lock.Acquire());
    lock.Release();
    // A release by a thread that does not hold it changes nothing.
    ASSERT_TRUE(lock.Acquire());
    std::thread([&] { lock.Release(); }).join();
    EXPECT_FALSE(lock.Acquire());
    lock.Release();
}

// Threads of the test, started as the plug-in starts its own.
HANDLE g_endFirst = nullptr, g_endSecond = nullptr;
std::atomic<int> g_firstEnded{0};
DWORD WINAPI FirstThread(LPVOID) {
    WaitForSingleObject(g_endFirst, 10000);
    g_firstEnded = 1;
    return 0;
}
DWORD WINAPI SecondThread(LPVOID) {
    WaitForSingleObject(g_endSecond, 10000);
    return 0;
}
DWORD WINAPI NoThread(LPVOID) { return 0; }

// Between the stop's list and its wait: the first thread ends, and a start tried meanwhile (one
// the stop refuses) tidies the list of ended threads; the second ends a little later.
void FirstEndsAndAStartIsTried() {
    SetEvent(g_endFirst);
    while (!g_firstEnded) Sleep(1);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(StartBackgroundThread(NoThread, THREAD_PRIORITY_NORMAL));
        Sleep(10);
    }
}

TEST(PluginLocks, TheStopWaitsForItsThreadsWhateverAStartTidiesMeanwhile) {
    CreatePluginLocks();
    g_endFirst = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_endSecond = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_firstEnded = 0;
    ASSERT_TRUE(StartBackgroundThread(FirstThread, THREAD_PRIORITY_NORMAL));
    ASSERT_TRUE(StartBackgroundThread(SecondThread, THREAD_PRIORITY_NORMAL));
    std::thread ender([] {
        Sleep(600);
        SetEvent(g_endSecond);
    });
    SetBackgroundThreadsAwaitedHook(FirstEndsAndAStartIsTried);
    EXPECT_TRUE(DeletePluginLocks(10000));
    SetBackgroundThreadsAwaitedHook(nullptr);
    ender.join();
    CloseHandle(g_endFirst);
    CloseHandle(g_endSecond);
}

}  // namespace
