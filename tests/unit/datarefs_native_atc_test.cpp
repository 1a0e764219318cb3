// X-Plane 12's ATC switches held while the link runs: given back exactly as found, in any order
// of quieting and restoring the pilot can cause.
#include <gtest/gtest.h>

#include <string>

#include "XPLMDataAccess.h"
#include "base/log.h"
#include "common/sim_control.h"
#include "simlink/datarefs.h"
#include "simlink/native_atc.h"

namespace {

const char* const kAtis = "sim/atc/atis_enabled";
const char* const kAutotune = "sim/operation/override/override_autotune";
const char* const kCom1 = "sim/atc/com1_rx_override";
const char* const kCom2 = "sim/atc/com2_rx_override";

class NativeAtc : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        RememberSimulatorThread();
        ResetDatarefs();
        char error[256] = "";
        ASSERT_EQ(SIM_SetSimulatorVersion(12100, error, sizeof error), 1) << error;
        // The pilot's ATIS on, auto-tune left to the simulator; another plug-in has COM2.
        SIM_SetDataref(kAtis, xplmType_Int, 1);
        SIM_SetDataref(kAutotune, xplmType_Int, 0);
        SIM_SetDataref(kCom1, xplmType_Int, 0);
        SIM_SetDataref(kCom2, xplmType_Int, 1);
    }
    void TearDown() override {
        EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
        ResetDatarefs();
    }
    static std::string Values() {
        std::string text;
        for (const char* name : {kAtis, kAutotune, kCom1, kCom2}) {
            double value = -1;
            SIM_GetDataref(name, &value);
            text += std::to_string((int)value);
        }
        return text;
    }
};

TEST_F(NativeAtc, HeldWhileQuietAndGivenBackAsFound) {
    FindFlightLoopDatarefs();
    EXPECT_EQ(QuietNativeAtc(), 4);
    EXPECT_TRUE(NativeAtcQuiet());
    EXPECT_EQ(Values(), "0111");
    RestoreNativeAtc();
    EXPECT_FALSE(NativeAtcQuiet());
    EXPECT_EQ(Values(), "1001");
}

TEST_F(NativeAtc, ASecondQuietNeverTakesTheLinksOwnValuesForThePilots) {
    FindFlightLoopDatarefs();
    QuietNativeAtc();
    EXPECT_EQ(QuietNativeAtc(), 4);  // a second start, the option on again during the link
    RestoreNativeAtc();
    EXPECT_EQ(Values(), "1001");
    // A restore with nothing held (a stop after the option went off) writes nothing: what the
    // pilot set since stays.
    SIM_SetDataref(kAtis, xplmType_Int, 0);
    RestoreNativeAtc();
    EXPECT_EQ(Values(), "0001");
    // The next quiet finds the pilot's new choice and gives that back.
    QuietNativeAtc();
    RestoreNativeAtc();
    EXPECT_EQ(Values(), "0001");
}

TEST_F(NativeAtc, WhatTheSimulatorLacksOrWillNotHaveWrittenIsLeftAlone) {
    // Before the datarefs are looked up nothing is held, and a later quiet still takes them.
    EXPECT_EQ(QuietNativeAtc(), 0);
    EXPECT_FALSE(NativeAtcQuiet());
    EXPECT_EQ(Values(), "1001");
    SIM_RemoveDataref(kCom2);
    SIM_SetDatarefWritable(kAutotune, 0);
    FindFlightLoopDatarefs();
    EXPECT_EQ(QuietNativeAtc(), 2);
    double autotune = -1;
    SIM_GetDataref(kAutotune, &autotune);
    EXPECT_EQ(autotune, 0);
    RestoreNativeAtc();
    double atis = -1, com1 = -1;
    SIM_GetDataref(kAtis, &atis);
    SIM_GetDataref(kCom1, &com1);
    EXPECT_EQ(atis, 1);
    EXPECT_EQ(com1, 0);
}

TEST_F(NativeAtc, AResetForgetsWithoutWriting) {
    FindFlightLoopDatarefs();
    QuietNativeAtc();
    ResetDatarefs();
    EXPECT_FALSE(NativeAtcQuiet());
    RestoreNativeAtc();
    EXPECT_EQ(Values(), "0111");
}

}  // namespace
