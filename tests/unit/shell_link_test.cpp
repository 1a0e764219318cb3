// Stopping the link and disabling the plug-in: what a link leaves behind is undone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
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
#include "base/deferred_work.h"
#include "base/locks.h"
#include "base/log.h"
#include "shell/message_window.h"

extern "C" int XPluginEnable(void);
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
        if (HooksInstalled()) (void)RemoveHooks();  // always true
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
    EXPECT_EQ(AtcTextWindowFound(), 0);
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
    (void)StopLink();  // always true
    EXPECT_EQ(LinkActive.load(), 0);
    const AtcKeys after = CurrentAtcKeys();
    for (int i = 0; i < kAtcHotkeyCount; ++i) {
        EXPECT_EQ(after.table[i].key, 0) << "hotkey " << i + 1;
        EXPECT_EQ(after.table[i].modifiers, 0) << "hotkey " << i + 1;
    }
}

std::atomic<int> g_slowJobState{0};  // 1 running, 2 finished
std::atomic<int> g_lateJobRuns{0};

// Work handed off by the simulator's thread (a radio refresh) never outlives the plug-in's
// disable, after which the library may be unloaded: the job in hand is waited for and what is
// queued behind it is dropped.
TEST_F(LinkEnd, DisableWaitsForDeferredWorkAndDropsWhatHasNotStarted) {
    ForgetFirstFlightLoop();
    XPluginEnable();
    StartDeferredWork();  // as the first flight loop does
    ASSERT_TRUE(DeferredWork.Running());
    ASSERT_TRUE(DeferredWork.Queue([] {
        g_slowJobState = 1;
        Sleep(200);
        g_slowJobState = 2;
    }));
    ASSERT_TRUE(DeferredWork.Queue([] { g_lateJobRuns++; }));
    while (g_slowJobState.load() == 0) Sleep(1);
    XPluginDisable();
    EXPECT_EQ(g_slowJobState.load(), 2);
    EXPECT_FALSE(DeferredWork.Running());
    EXPECT_FALSE(DeferredWork.Queue([] { g_lateJobRuns++; }));
    Sleep(50);
    EXPECT_EQ(g_lateJobRuns.load(), 0);
}

// A settings click hands its write to the deferred-work thread; a disable right after it must not
// lose it, even when that thread never got to it.
TEST_F(LinkEnd, AnOptionWrittenJustBeforeTheDisableIsInTheFile) {
    ForgetFirstFlightLoop();
    XPluginEnable();
    StartDeferredWork();  // as the first flight loop does
    static std::atomic<bool> release{false};
    release = false;
    ASSERT_TRUE(DeferredWork.Queue([] {
        while (!release) Sleep(1);
    }));
    WriteOptionFlag("ShowFrequencies", 0);
    EXPECT_EQ(ReadTextFile(ConfigFilePath()).find("ShowFrequencies"), std::string::npos);  // still queued
    HANDLE releaser = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            Sleep(50);
            release = true;
            return 0;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(releaser, nullptr);
    XPluginDisable();
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    EXPECT_NE(ReadTextFile(ConfigFilePath()).find("ShowFrequencies=0"), std::string::npos);
}

}  // namespace
