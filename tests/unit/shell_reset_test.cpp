// The shell's resets leave nothing of a past world that a fresh one would trip over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/plugin_state.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "shell/link.h"
#include "shell/message_window.h"
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
    LinkActive = 1;
    Is64BitProcess = 1;

    // The world that had the callback is gone; without the reset the loop would count as waiting.
    FreshWorld();
    ResetLinkState();
    EXPECT_EQ(LinkActive.load(), 0);
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

}  // namespace
