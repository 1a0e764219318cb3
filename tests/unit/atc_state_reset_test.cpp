// The published option list and the ATC program's keys: after their resets a rebuild starts from
// what a freshly loaded plug-in has.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "airport/airport_data.h"
#include "base/log.h"
#include "bridge/option_list.h"
#include "common/sim_control.h"
#include "config/hotkeys.h"
#include "failed_checks.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"
#include "ui/key_watcher.h"

namespace {

class StateReset : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        RememberSimulatorThread();
        ResetDatarefs();  // the list then reads the samples
        ResetOptionList();
        ResetAtcKeys();
        ResetFrequencyTable();
        ResetDataFeed();
    }
    void TearDown() override { SetUp(); }

    static void InTheAirWithKeysAndRadios() {
        AtcKeys keys;
        for (int i = 0; i < kAtcHotkeyCount; ++i) keys.table[i] = {3, (uint8_t)('A' + i)};
        for (int i = 0; i < kAtcHotkeyCount; ++i) keys.keys[i] = (char)keys.table[i].key;
        keys.emergencyKey = 'L';
        snprintf(keys.route, sizeof keys.route, "EDDF to EDDM");
        PublishAtcKeys(keys);
        FrequencyEntry radios[kFrequencyTableSize] = {};
        for (int i = 0; i < 4; ++i) radios[i] = {118.0f + 0.25f * i, 1 + i};
        SetFrequencyTable(radios);
        SetSampledCom1(11800);
        SetSampledOnGround(0);
    }
};

TEST_F(StateReset, ResetOptionListEndsTheEmergencyTheNextRebuildWouldKeep) {
    InTheAirWithKeysAndRadios();
    BuildOptionList();
    const std::string normal = CurrentOptionList().text;
    NoteMatchedHotkey('L');  // the emergency key, in the air
    ASSERT_EQ(EmergencyMode(), 1);
    ASSERT_NE(std::string(CurrentOptionList().text), normal);

    ResetOptionList();
    EXPECT_EQ(EmergencyMode(), 0);
    EXPECT_EQ(CurrentOptionList().count, 0);
    EXPECT_STREQ(CurrentOptionList().text, "");
    BuildOptionList();  // still in the air: without the reset this would be the emergency list
    EXPECT_EQ(std::string(CurrentOptionList().text), normal);
}

TEST_F(StateReset, ResetAtcKeysLeavesNoKeyRouteOrEmergencyKey) {
    InTheAirWithKeysAndRadios();
    ResetAtcKeys();
    const AtcKeys keys = CurrentAtcKeys();
    for (int i = 0; i < kAtcHotkeyCount; ++i) EXPECT_EQ(keys.table[i].key, 0) << i;
    EXPECT_EQ(keys.keys[0], 0);
    EXPECT_EQ(keys.emergencyKey, 0);
    char route[kRouteTextSize] = "x";
    CurrentRouteText(route);
    EXPECT_STREQ(route, "");
    // The old emergency key does nothing any more.
    BuildOptionList();
    NoteMatchedHotkey('L');
    EXPECT_EQ(EmergencyMode(), 0);
}

TEST_F(StateReset, AListCountingMoreEntriesThanItsTextHoldsIsPublishedAsItsTextGoes) {
    // The panel's height comes from the count: a count past the entries would draw rows of
    // nothing below the list.
    ExpectedChecks expected("option_list.cpp");
    OptionList list;
    snprintf(list.text, sizeof list.text, "Request taxi\tS A*Contact tower\t B*");
    list.count = 5;
    PublishOptionList(list);
    EXPECT_EQ(CurrentOptionList().count, 2);
    list.count = -1;
    PublishOptionList(list);
    EXPECT_EQ(CurrentOptionList().count, 2);
    list.count = 1;  // fewer is a list cut short on purpose: kept
    PublishOptionList(list);
    EXPECT_EQ(CurrentOptionList().count, 1);
}

}  // namespace
