// Checks that are on in every build: each says once, in the simulator's log, where and with which
// values things went wrong, and never calls the simulator from another thread to say it. In test
// programs every failed check fails its test unless the test said it trips it.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "base/checks.h"
#include "base/log.h"
#include "common/sim_control.h"
#include "failed_checks.h"
#include "log_capture.h"

namespace {

class Checks : public LogCapture {};

bool ApiFacing() { return CHECK_SIMULATOR_THREAD(); }
bool OtherApiFacing() { return CHECK_SIMULATOR_THREAD(); }

bool InRange(int index, unsigned size) { return DURAR_CHECK(index, <, (int)size); }

TEST_F(Checks, AFailedCheckLogsItsPlaceAndValuesOncePerSite) {
    ExpectedChecks expected("base_checks_test.cpp");
    EXPECT_TRUE(InRange(2, 4));
    EXPECT_TRUE(g_logged.empty());
    EXPECT_FALSE(InRange(7, 4));
    EXPECT_FALSE(InRange(9, 4));  // the same place again: no second line
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_EQ(g_logged[0].rfind("DURarUravud: check failed at base_checks_test.cpp:", 0), 0u) << g_logged[0];
    EXPECT_NE(g_logged[0].find(": index < (int)size (7 < 4)"), std::string::npos) << g_logged[0];

    // Another place has its own line; operands are evaluated once; pointers and doubles are shown.
    int evaluated = 0;
    const void* handle = nullptr;
    EXPECT_FALSE(DURAR_CHECK(++evaluated, ==, 5));
    EXPECT_EQ(evaluated, 1);
    EXPECT_FALSE(DURAR_CHECK(handle, !=, nullptr));
    EXPECT_FALSE(DURAR_CHECK(-1.5, >, 0.0));
    EXPECT_FALSE(DURAR_CHECK(18446744073709551615ull, <, 1ull));
    ASSERT_EQ(g_logged.size(), 5u);
    EXPECT_NE(g_logged[1].find("(1 == 5)"), std::string::npos) << g_logged[1];
    EXPECT_NE(g_logged[2].find("handle != nullptr"), std::string::npos) << g_logged[2];
    EXPECT_NE(g_logged[3].find("(-1.5 > 0)"), std::string::npos) << g_logged[3];
    EXPECT_NE(g_logged[4].find("(18446744073709551615 < 1)"), std::string::npos) << g_logged[4];
}

TEST_F(Checks, ACallFromAWorkerThreadIsNamedOnceThroughTheQueue) {
    EXPECT_TRUE(ApiFacing());
    bool onWorker[3] = {true, true, true};
    std::thread worker([&] {
        onWorker[0] = ApiFacing();
        onWorker[1] = ApiFacing();
        onWorker[2] = OtherApiFacing();
    });
    worker.join();
    EXPECT_FALSE(onWorker[0]);
    EXPECT_FALSE(onWorker[1]);
    EXPECT_FALSE(onWorker[2]);
    // Nothing reached the simulator from the worker: the lines wait for its thread.
    EXPECT_TRUE(g_logged.empty());
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[0], "DURarUravud: ApiFacing ran off the simulator's thread");
    EXPECT_EQ(g_logged[1], "DURarUravud: OtherApiFacing ran off the simulator's thread");

    std::thread again([] { ApiFacing(); });
    again.join();
    FlushQueuedLog();
    EXPECT_EQ(g_logged.size(), 2u);
}

TEST_F(Checks, ALogKindOutOfRangeIsNamedAndWritesNothing) {
    ExpectedChecks expected("log.cpp");
    LogLineLimited(LogKindCount, 1000, "never %d", 1);
    LogLineLimited(-3, 1000, "never %d", 2);
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_NE(g_logged[0].find("kind < (int)LogKindCount (4 < 4)"), std::string::npos) << g_logged[0];
    EXPECT_NE(g_logged[1].find("kind >= 0 (-3 >= 0)"), std::string::npos) << g_logged[1];
}

bool Unexpected() { return DURAR_CHECK(1, ==, 2); }
bool Unhooked() { return DURAR_CHECK(3, <, 2); }

void TripUnexpected() { (void)Unexpected(); }

void TripUnexpectedOnAWorker() {
    std::thread worker(TripUnexpected);
    worker.join();
}

void TripWhereAnotherFileWasExpected() {
    ExpectedChecks elsewhere("log.cpp");
    TripUnexpected();
    LogLineLimited(-1, 1000, "never");
}

void ExpectWhereNoneFails() { ExpectedChecks expected("base_checks_test.cpp"); }

TEST_F(Checks, AFailedCheckNoTestExpectedFailsTheTestEachTimeOnAnyThread) {
    // Logged once for its place, but every failure reaches the test.
    EXPECT_NONFATAL_FAILURE(TripUnexpected(), "a check no test expected: check failed at base_checks_test.cpp");
    EXPECT_NONFATAL_FAILURE(TripUnexpected(), "(1 == 2)");
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(TripUnexpectedOnAWorker(), "a check no test expected");
    // Expecting another file's checks covers none of this one's.
    EXPECT_NONFATAL_FAILURE(TripWhereAnotherFileWasExpected(), "(1 == 2)");
    // A test that says a check fails where none does has lost what it tests.
    EXPECT_NONFATAL_FAILURE(ExpectWhereNoneFails(), "none did");
}

TEST_F(Checks, ExpectedChecksAreCountedEachTimeAndTheProductOnlyLogs) {
    {
        ExpectedChecks expected("base_checks_test.cpp");
        for (int n = 0; n < 3; ++n) EXPECT_FALSE(Unexpected());
        std::thread worker([] { EXPECT_FALSE(Unexpected()); });
        worker.join();
        EXPECT_EQ(expected.Count(), 4);
    }
    FlushQueuedLog();
    g_logged.clear();
    // Without the hook (the plug-in sets none) a failed check is only logged, once per place.
    const FailedCheckHook hook = SetFailedCheckHook(nullptr);
    ASSERT_NE(hook, nullptr);
    EXPECT_FALSE(Unhooked());
    EXPECT_FALSE(Unhooked());
    SetFailedCheckHook(hook);
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_NE(g_logged[0].find("(3 < 2)"), std::string::npos) << g_logged[0];
}

}  // namespace
