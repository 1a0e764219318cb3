// Stopping the link and disabling the plug-in: what a link leaves behind is undone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "XPLMDisplay.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/atc_text.h"
#include "bridge/intercept.h"
#include "common/sim_control.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "config_test_support.h"
#include "shell/link.h"
#include "shell/message_window.h"

extern "C" void XPluginDisable(void);

namespace {

const char* const kIntercepted[] = {"XPLMCreateWindow", "XPLMDestroyWindow", "XPLMDrawString",
                                    "XPLMRegisterHotKey", "XPLMUnregisterHotKey"};

// The first bytes of each export the link intercepts, as the simulator library has them.
std::vector<std::string> ExportStarts() {
    HMODULE library = GetModuleHandleA("XPLM_64.dll");
    std::vector<std::string> out;
    for (const char* name : kIntercepted) {
        const char* code = library ? reinterpret_cast<const char*>(GetProcAddress(library, name)) : nullptr;
        out.push_back(code ? std::string(code, 16) : std::string());
    }
    return out;
}

class LinkEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        RememberSimulatorThread();
        SIM_SetScreenSize(1024, 768);
        if (!PluginLocksAlive()) CreatePluginLocks();
        RemoveConfig();
        MakeFolders(ConfigFilePath());
        ResetOptions();
        ResetAtcTextState();
        ResetLinkState();
    }
    void TearDown() override {
        ResetLinkState();
        if (HooksInstalled()) RemoveHooks();
        ResetAtcTextState();
        CloseMessageWindow();
        RemoveConfig();
    }
};

TEST_F(LinkEnd, DisableAfterAStartThatFailedWithTheHooksInRestoresTheSimulatorsFunctions) {
    const std::vector<std::string> untouched = ExportStarts();
    for (const std::string& start : untouched) ASSERT_EQ(start.size(), 16u);
    // A start the IPC server refused: the hooks went in, the link never came up.
    ASSERT_TRUE(InstallHooks());
    ASSERT_NE(ExportStarts(), untouched);
    XPluginDisable();
    EXPECT_FALSE(HooksInstalled());
    EXPECT_EQ(ExportStarts(), untouched);
    // Nothing of ours runs any more: a window shaped as the server's strip stays where it is made.
    XPLMWindowID strip = XPLMCreateWindow(1, 748, 1024, 728, 1, nullptr, nullptr, nullptr, nullptr);
    int left = 0, top = 0, right = 0, bottom = 0;
    XPLMGetWindowGeometry(strip, &left, &top, &right, &bottom);
    EXPECT_EQ((std::vector<int>{left, top, right, bottom}), (std::vector<int>{1, 748, 1024, 728}));
    EXPECT_EQ(AtcTextWindowFound, 0);
    XPLMDestroyWindow(strip);
}

TEST_F(LinkEnd, StoppingTheLinkEmptiesTheHotkeyTable) {
    AtcKeys keys;
    keys.table[0] = {0, '1'};
    keys.table[7] = {1, ';'};
    keys.table[20] = {3, 'L'};
    PublishAtcKeys(keys);
    ASSERT_EQ(CurrentAtcKeys().table[7].key, ';');
    LinkActive = 1;
    StopLink();
    EXPECT_EQ(LinkActive.load(), 0);
    const AtcKeys after = CurrentAtcKeys();
    for (int i = 0; i < kAtcHotkeyCount; ++i) {
        EXPECT_EQ(after.table[i].key, 0) << "hotkey " << i + 1;
        EXPECT_EQ(after.table[i].modifiers, 0) << "hotkey " << i + 1;
    }
}

}  // namespace
