// Stopping the link and disabling the plug-in: what a link leaves behind is undone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
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
#include "shell/link_object.h"
#include "simlink/fs98_window.h"
#include "ui/hints_window.h"
#include "airport/airport_data.h"
#include "base/deferred_work.h"
#include "bridge/monitor.h"
#include "bridge/option_list.h"
#include "import_patch.h"
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
        // Background work a link handed off (a scan, a refresh) ends before its state is reset:
        // the next test begins with none running, whatever test comes next.
        while (BackgroundWorkRunning() > 0) Sleep(1);
        ResetLinkState();
        if (HooksInstalled()) (void)RemoveHooks();  // always true
        ResetAtcTextState();
        CloseMessageWindow();
        RemoveConfig();
    }
};

TEST_F(LinkEnd, AStartTheServerRefusesEndsWhatItMadeAndTheNextBeginsFromNothing) {
    const std::vector<std::string> untouched = ExportStarts();
    for (const std::string& start : untouched) ASSERT_EQ(start.size(), 16u);
    // No server window: the open is refused after the hooks, the hidden window and the panel.
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(Link::Make(), nullptr);
        EXPECT_FALSE(HooksInstalled());
        EXPECT_EQ(ExportStarts(), untouched);
        EXPECT_EQ(OwnFs98MainWindow(), nullptr);
        EXPECT_EQ(FindWindowA("FS98MAIN", nullptr), nullptr);
        EXPECT_EQ(HintsWindowNow(), nullptr);
        EXPECT_FALSE(LinkIsUp());
        EXPECT_EQ(CurrentLinkWatch(), nullptr);
    }
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
    EndLinkWatch(BeginLinkWatch());  // as the link's end does
    EXPECT_FALSE(LinkIsUp());
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

// The ATC program's notice box as the pilot leaves it open: the first one shown waits until the
// test lets it close; any later one is answered at once.
std::atomic<int> g_boxesShown{0};
HANDLE g_boxOpen = nullptr, g_boxClosed = nullptr;
int WINAPI HeldBox(HWND, LPCSTR, LPCSTR, UINT) {
    if (g_boxesShown++ == 0) {
        SetEvent(g_boxOpen);
        WaitForSingleObject(g_boxClosed, 20000);
    }
    return IDOK;
}

const char* const kAtcSetup =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1";

// An attach runs on a worker (the tick, or the deferred-work thread for the panel) and may stop in
// its notice box for as long as the pilot leaves it open; the pilot may stop the link meanwhile,
// and start it again.
class AttachAcrossStop : public LinkEnd {
protected:
    void SetUp() override {
        LinkEnd::SetUp();
        PatchOwnImport("user32.dll", "MessageBoxA", (void*)HeldBox);
        g_boxesShown = 0;
        attaches.reserve(4);  // the references Attach gives stay valid
        g_boxOpen = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_boxClosed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        folder = SimulatorFolder() + "\\attach-test\\QV3";
        WriteTextFile(folder + "\\QV3.exe", "");
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAtcSetup, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        RegSetValueExA(key, "Inno Setup: App Path", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
        RegCloseKey(key);
        while (BackgroundWorkRunning() > 0) Sleep(1);  // an earlier test's, before the resets
        ResetMonitorState();
        ResetAtcKeys();
        ResetOptionList();
        // Radios known, so that an attach builds the option list.
        FrequencyEntry radios[kFrequencyTableSize] = {};
        radios[0] = FrequencyEntry{121.9f, 2};
        SetFrequencyTable(radios);
        OptionList sentinel;
        strcpy(sentinel.text, "before the attach*");
        sentinel.count = 1;
        PublishOptionList(sentinel);
    }
    void TearDown() override {
        SetEvent(g_boxClosed);
        for (std::thread& t : attaches)
            if (t.joinable()) t.join();
        CloseHandle(g_boxOpen);
        CloseHandle(g_boxClosed);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAtcSetup);
        while (BackgroundWorkRunning() > 0) Sleep(1);  // a text scan the attach started
        ResetMonitorState();
        ResetAtcKeys();
        ResetOptionList();
        ResetFrequencyTable();
        LinkEnd::TearDown();
    }
    // The program's ini with its first key; with every key switched on, no notice is shown.
    void WriteIni(int firstKey, bool allActive) {
        std::string text = "[Hotkeys]\nHotkey1=" + std::to_string(firstKey) + "\n";
        if (allActive) {
            text += "[HotkeysActive]\n";
            for (int i = 1; i <= 21; ++i) text += "Hotkey" + std::to_string(i) + "=1\n";
        }
        WriteTextFile(folder + "\\QV3.ini", text);
    }
    // An attach on a thread of its own, as the tick makes it.
    std::thread& Attach() {
        attaches.emplace_back([] { AttachToAtc(); });
        return attaches.back();
    }
    std::string folder;
    std::vector<std::thread> attaches;
};

TEST_F(AttachAcrossStop, AnAttachWhoseNoticeOutlastsTheLinkPublishesNothing) {
    WriteIni(81, false);  // Q; the keys switched off make a notice
    const auto watch = BeginLinkWatch();
    std::thread& attach = Attach();
    ASSERT_EQ(WaitForSingleObject(g_boxOpen, 10000), WAIT_OBJECT_0);
    EndLinkWatch(watch);  // the link's end
    SetEvent(g_boxClosed);
    attach.join();
    const AtcKeys keys = CurrentAtcKeys();
    EXPECT_EQ(keys.table[0].key, 0);
    EXPECT_STREQ(keys.keys, "");
    EXPECT_EQ(keys.emergencyKey, 0);
    EXPECT_STREQ(CurrentOptionList().text, "before the attach*");
    EXPECT_FALSE(AtcAttachedNow());  // the next link attaches again
}

TEST_F(AttachAcrossStop, TheNextLinkAttachesWhileTheOldNoticeIsOpenAndKeepsItsKeys) {
    WriteIni(81, false);
    const auto first = BeginLinkWatch();
    std::thread& old = Attach();
    ASSERT_EQ(WaitForSingleObject(g_boxOpen, 10000), WAIT_OBJECT_0);
    EndLinkWatch(first);
    // The program's first key changed; the link started again, the old notice still open.
    WriteIni(87, true);  // W
    const auto second = BeginLinkWatch();
    std::atomic<bool> attached{false};
    attaches.emplace_back([&] {
        AttachToAtc();
        attached = true;
    });
    for (int i = 0; i < 10000 && !attached; ++i) Sleep(1);
    EXPECT_TRUE(attached) << "the new link's attach waits for the old link's notice";
    EXPECT_EQ(CurrentAtcKeys().table[0].key, 'W');
    const std::string list = CurrentOptionList().text;
    EXPECT_NE(list, "before the attach*");
    SetEvent(g_boxClosed);
    old.join();
    attaches.back().join();
    EXPECT_EQ(CurrentAtcKeys().table[0].key, 'W');
    EXPECT_EQ(CurrentAtcKeys().keys[0], 'W');
    EXPECT_EQ(CurrentOptionList().text, list);
    EXPECT_TRUE(AtcAttachedNow());
    EXPECT_EQ(g_boxesShown.load(), 1);
    EndLinkWatch(second);
}

}  // namespace
