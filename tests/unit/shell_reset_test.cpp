// The shell's resets leave nothing of a past world that a fresh one would trip over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/plugin_state.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "shell/link.h"
#include "shell/message_window.h"
#include "failed_checks.h"
#include "log_capture.h"
#include "widget_test_support.h"

namespace {

std::string FlightLoops() {
    std::vector<char> text(SIM_Describe("flightloops", nullptr, 0) + 1);
    SIM_Describe("flightloops", text.data(), (int)text.size());
    return text.data();
}

void FreshWorld() {
    SIM_Init(nullptr);
    widgets::Reset();
}

TEST(ShellReset, AFirstFlightLoopLeftPendingIsScheduledAgainInTheNextWorld) {
    FreshWorld();
    ResetLinkState();
    const std::string none = FlightLoops();
    ScheduleFirstFlightLoop();
    const std::string scheduled = FlightLoops();
    ASSERT_NE(scheduled, none);
    SetLinkUp(true);
    Is64BitProcess = 1;

    // The world that had the callback is gone; without the reset the loop would count as waiting.
    FreshWorld();
    ResetLinkState();
    EXPECT_EQ(LinkIsUp(), false);
    EXPECT_EQ(Is64BitProcess, 0);
    EXPECT_FALSE(FirstFlightLoopHasRun());
    ScheduleFirstFlightLoop();
    EXPECT_EQ(FlightLoops(), scheduled);
    CancelFirstFlightLoop();
    EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
    ResetLinkState();
}

TEST(ShellReset, AMessageWindowOfAPastWorldIsNotDestroyedInTheNext) {
    FreshWorld();
    ResetOptions();
    ResetMessageWindow();
    ShowMessage(LinkMessage::RelocationReminder);
    ASSERT_TRUE(MessageWindowIsOpen());

    FreshWorld();
    ResetMessageWindow();
    EXPECT_FALSE(MessageWindowIsOpen());
    // Showing closes the open window first: a forgotten one is not touched.
    ShowMessage(LinkMessage::XpuipcMissing);
    EXPECT_TRUE(MessageWindowIsOpen());
    EXPECT_NE(widgets::Find("Important QVE Message"), nullptr);
    CloseMessageWindow();
    EXPECT_FALSE(MessageWindowIsOpen());
    EXPECT_EQ(widgets::Count(), 0);
    EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
}

class ShellResetLog : public LogCapture {};

TEST_F(ShellResetLog, AResetWhileBackgroundWorkRunsLeavesTheStateAsItIsAndSaysSo) {
    ExpectedChecks expected("plugin_state.cpp");
    const bool created = !PluginLocksAlive();
    if (created) CreatePluginLocks();
    ResetLinkState();
    SetLinkUp(true);
    Is64BitProcess = 1;
    {
        BackgroundWork work;  // a tick or a refresh in the middle of its run, reading the state
        ASSERT_TRUE(work.Admitted());
        ResetLinkState();
        EXPECT_EQ(LinkIsUp(), true);
        EXPECT_EQ(Is64BitProcess, 1);
    }
    bool said = false;
    for (const std::string& line : g_logged) said = said || line.find("check failed at plugin_state.cpp") != std::string::npos;
    EXPECT_TRUE(said);
    ResetLinkState();  // once the work is over
    EXPECT_EQ(LinkIsUp(), false);
    EXPECT_EQ(Is64BitProcess, 0);
    if (created) {
        EXPECT_TRUE(DeletePluginLocks(1000));
    }
}

}  // namespace
