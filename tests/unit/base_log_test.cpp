// The simulator's log is written only on the simulator's thread: lines from background work wait
// until that thread empties the queue, in order, and a flood is counted rather than kept.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/guard.h"
#include "base/log.h"
#include "common/sim_control.h"
#include "log_capture.h"

namespace {

class SimulatorLog : public LogCapture {};

TEST_F(SimulatorLog, BackgroundLinesWaitForTheSimulatorsThreadInOrder) {
    std::thread worker([] {
        LogLine("first %d", 1);
        LogLine("second");
    });
    worker.join();
    EXPECT_TRUE(g_logged.empty());
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    LogLine("third");  // our own line comes after what was waiting
    ASSERT_EQ(g_logged.size(), 3u);
    EXPECT_EQ(g_logged[0], "DURarUravud: first 1");
    EXPECT_EQ(g_logged[1], "DURarUravud: second");
    EXPECT_EQ(g_logged[2], "DURarUravud: third");
}

TEST_F(SimulatorLog, AFloodFromBackgroundWorkIsCountedNotKept) {
    std::thread worker([] {
        for (int i = 0; i < 100; ++i) LogLine("line %d", i);
    });
    worker.join();
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 33u);
    EXPECT_EQ(g_logged[0], "DURarUravud: line 0");
    EXPECT_EQ(g_logged[31], "DURarUravud: line 31");
    EXPECT_EQ(g_logged[32], "DURarUravud: 68 lines from background work were left out");
    g_logged.clear();
    FlushQueuedLog();
    EXPECT_TRUE(g_logged.empty());
}

TEST_F(SimulatorLog, RateLimitedLinesSayHowManyWereLeftOut) {
    for (int i = 0; i < 5; ++i) LogLineLimited(LogIpcExchange, 200, "exchange failed (code %d)", 11);
    ASSERT_EQ(g_logged.size(), 1u);
    Sleep(250);
    LogLineLimited(LogIpcExchange, 200, "exchange failed (code %d)", 12);
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[1], "DURarUravud: exchange failed (code 12) (4 more since the last such line)");
}

TEST_F(SimulatorLog, AFailingWorkerIsLoggedOnceAMinuteAndReturns) {
    // As a 4-second tick that throws every time: one line, then the count of those left out.
    std::thread worker([] {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(GuardedWorker("MonitorTick", 7, []() -> int { throw std::runtime_error("boom"); }), 7);
        EXPECT_EQ(GuardedWorker("AtcTextScan", 7, []() -> int { throw 42; }), 7);
        EXPECT_EQ(GuardedWorker("AtcTextScan", 7, [] { return 3; }), 3);
    });
    worker.join();
    FlushQueuedLog();
    EXPECT_EQ(g_logged, (std::vector<std::string>{"DURarUravud: MonitorTick failed: boom"}));
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
}

}  // namespace
