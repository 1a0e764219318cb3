// The deferred-work thread: order, coalescing, and nothing of it left running after a stop.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>

#include "base/deferred_work.h"

namespace {

std::mutex g_mutex;
std::string g_ran;  // one letter per job run, in order
std::atomic<bool> g_gateOpen{false}, g_gateEntered{false};

void Note(char c) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_ran += c;
}

std::string Ran() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_ran;
}

// Holds the worker until the test opens it.
void Gate() {
    g_gateEntered = true;
    while (!g_gateOpen) Sleep(1);
    Note('G');
}

template <char C>
void Job() {
    Note(C);
}

void Throwing() {
    Note('T');
    throw std::runtime_error("broken job");
}

class DeferredWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_ran.clear();
        g_gateOpen = false;
        g_gateEntered = false;
    }
    void WaitCompleted(DeferredWorker& worker, long count) {
        for (int i = 0; i < 5000 && worker.Completed() < count; ++i) Sleep(1);
        ASSERT_EQ(worker.Completed(), count);
    }
    void HoldWorker(DeferredWorker& worker) {
        ASSERT_TRUE(worker.Queue(Gate));
        while (!g_gateEntered) Sleep(1);
    }
};

TEST_F(DeferredWorkerTest, RunsJobsInQueueOrderAndQueuesAPendingJobOnce) {
    DeferredWorker worker("test");
    ASSERT_TRUE(worker.Start());
    HoldWorker(worker);
    EXPECT_TRUE(worker.Queue(Job<'A'>));
    EXPECT_TRUE(worker.Queue(Job<'B'>));
    EXPECT_TRUE(worker.Queue(Job<'A'>));  // still pending: not queued again
    EXPECT_TRUE(worker.Queue(Job<'C'>));
    g_gateOpen = true;
    WaitCompleted(worker, 4);
    EXPECT_EQ(Ran(), "GABC");
    // Once run, the same job may be queued again.
    EXPECT_TRUE(worker.Queue(Job<'A'>));
    WaitCompleted(worker, 5);
    EXPECT_EQ(Ran(), "GABCA");
    worker.Stop();
}

TEST_F(DeferredWorkerTest, RefusesJobsBeyondItsSlotsAndWhenNotRunning) {
    DeferredWorker worker("test");
    EXPECT_FALSE(worker.Queue(Job<'A'>));  // not started
    ASSERT_TRUE(worker.Start());
    HoldWorker(worker);
    DeferredJob jobs[] = {Job<'0'>, Job<'1'>, Job<'2'>, Job<'3'>, Job<'4'>, Job<'5'>, Job<'6'>, Job<'7'>};
    static_assert(sizeof jobs / sizeof jobs[0] == DeferredWorker::kCapacity, "one job per slot");
    for (DeferredJob job : jobs) EXPECT_TRUE(worker.Queue(job));
    EXPECT_FALSE(worker.Queue(Job<'8'>));
    EXPECT_TRUE(worker.Queue(Job<'3'>));  // pending already: no slot needed
    g_gateOpen = true;
    WaitCompleted(worker, 9);
    EXPECT_EQ(Ran(), "G01234567");
    worker.Stop();
}

TEST_F(DeferredWorkerTest, StopWaitsForTheJobInHandDropsTheRestAndRefusesLaterJobs) {
    DeferredWorker worker("test");
    ASSERT_TRUE(worker.Start());
    HoldWorker(worker);
    ASSERT_TRUE(worker.Queue(Job<'A'>));
    HANDLE opener = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            Sleep(150);
            g_gateOpen = true;
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(opener, nullptr);
    worker.Stop();
    // The stop returned only after the job in hand had ended, and the queued one never ran.
    EXPECT_EQ(Ran(), "G");
    EXPECT_FALSE(worker.Running());
    EXPECT_FALSE(worker.Queue(Job<'B'>));
    Sleep(50);
    EXPECT_EQ(Ran(), "G");
    WaitForSingleObject(opener, INFINITE);
    CloseHandle(opener);
    // Started again, as the plug-in is on its next enable, it works as before.
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.Queue(Job<'C'>));
    WaitCompleted(worker, 2);
    EXPECT_EQ(Ran(), "GC");
    worker.Stop();
}

TEST_F(DeferredWorkerTest, AThrowingJobIsContainedAndLaterJobsRun) {
    DeferredWorker worker("test");
    ASSERT_TRUE(worker.Start());
    HoldWorker(worker);
    ASSERT_TRUE(worker.Queue(Throwing));
    ASSERT_TRUE(worker.Queue(Job<'A'>));
    g_gateOpen = true;
    WaitCompleted(worker, 3);
    EXPECT_EQ(Ran(), "GTA");
    EXPECT_TRUE(worker.Running());
    worker.Stop();
}

}  // namespace
