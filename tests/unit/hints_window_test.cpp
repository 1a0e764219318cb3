// The hints window against the stand-in simulator API and the key watcher against a small IPC
// server on the test's own thread (as the real server's window lives on the simulator's thread).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMDefs.h"
#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "airport/airport_data.h"
#include "airport/radio_refresh.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/option_list.h"
#include "config/hotkeys.h"
#include "bridge/monitor.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "failed_checks.h"
#include "fake_server.h"
#include "reference.h"
#include "base/deferred_work.h"
#include "base/log.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"
#include "simlink/ipc_client.h"
#include "ui/hints_window.h"
#include "ui/key_watcher.h"
#include "ui/plugin_menu.h"

namespace {

constexpr int kDown = xplm_DownFlag, kUp = xplm_UpFlag, kShift = xplm_ShiftFlag, kCtrl = xplm_ControlFlag;

void DefaultHotkeys() {
    const char later[] = "AERWVCYNDHL";
    AtcKeys keys;
    for (int i = 0; i < kAtcHotkeyCount; ++i) {
        keys.table[i] = i < 10 ? HotkeyEntry{0, (uint8_t)('0' + i)} : HotkeyEntry{3, (uint8_t)later[i - 10]};
        keys.keys[i] = (char)keys.table[i].key;
    }
    keys.emergencyKey = 'E';
    PublishAtcKeys(keys);
}

// One hotkey changed in the published import; its key character follows unless told otherwise.
void SetHotkey(int index, HotkeyEntry entry) {
    AtcKeys keys = CurrentAtcKeys();
    keys.table[index] = entry;
    keys.keys[index] = (char)entry.key;
    PublishAtcKeys(keys);
}

void SetAirport(int count) {
    FrequencyEntry table[kFrequencyTableSize];
    for (int i = 0; i < kFrequencyTableSize; ++i)
        table[i] = i < count ? FrequencyEntry{118.0f + 0.25f * i, 1 + i % 12} : FrequencyEntry{0, 0};
    SetFrequencyTable(table);
}

struct Item {
    int kind, left, top, right, bottom;
    std::string text;
};

std::vector<Item> LastFrame() {
    std::vector<Item> out;
    for (int i = 0; i < SIM_FrameItemCount(); ++i) {
        const SimDrawItem* d = SIM_FrameItem(i);
        out.push_back({d->kind, d->left, d->top, d->right, d->bottom, d->text});
    }
    return out;
}

class HintsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        RememberSimulatorThread();
        ResetDatarefs();  // handles of an earlier world are gone
        ResetOptions();
        ResetGroups();
        PluginOptions.EnableKeyboardHints = 1;
        PluginOptions.ShowFrequencies = 1;
        UsePluginMenu(XPLMCreateMenu("QVE to X-Plane", XPLMFindPluginsMenu(),
                                    XPLMAppendMenuItem(XPLMFindPluginsMenu(), "QVE to X-Plane", nullptr, 1), nullptr,
                                    nullptr));
        for (int i = 0; i < MenuItemCount; ++i) XPLMAppendMenuItem(PluginMenu(), "item", nullptr, 1);
        UseHintsWindow(XPLMCreateWindow(100, 768, 320, 518, 1, DrawHints, HintsKeyHandler, HintsMouseClick,
                                       nullptr));
        watch = BeginLinkWatch();
        watch->attached = 1;
        DefaultHotkeys();
        SetSampledCom1(13500);
        SetSampledOnGround(1);
    }
    void TearDown() override { ResetGroups(); }
    // Every group the panel and the key watcher use, as at load.
    static void ResetGroups() {
        ResetPluginState();
        ResetMonitorState();
        ResetHintsWindowState();
        ResetPluginMenu();
        ResetOptionList();
        ResetAtcKeys();
        ResetFrequencyTable();
        ResetDataFeed();
        ResetKeyWatcher();
    }
    int CheckMark() {
        XPLMMenuCheck check = xplm_Menu_NoCheck;
        XPLMCheckMenuItemState(PluginMenu(), MenuKeyboardHints, &check);
        return check;
    }
    bool Visible() { return XPLMGetWindowIsVisible(HintsWindowNow()) != 0; }
    std::shared_ptr<LinkWatch> watch;
};

// ---- drawing

using HintsDrawing = HintsFixture;

TEST_F(HintsDrawing, NothingWithoutTheLinkOrTheOption) {
    EndLinkWatch(watch);
    SIM_RunFrames(1);
    EXPECT_TRUE(LastFrame().empty());
    watch = BeginLinkWatch();
    PluginOptions.EnableKeyboardHints = 0;
    SIM_RunFrames(1);
    EXPECT_TRUE(LastFrame().empty());
}

TEST_F(HintsDrawing, WaitingForHotkeysAndFrequencies) {
    SIM_RunFrames(1);
    std::vector<Item> f = LastFrame();
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0].kind, SimDraw_DarkBox);
    EXPECT_EQ((std::vector<int>{f[0].left, f[0].top, f[0].right, f[0].bottom}), (std::vector<int>{100, 768, 320, 648}));
    EXPECT_EQ(f[1].text, "QV3 hints (CS 2 for CTRL+SHIFT+2) X");
    EXPECT_EQ(f[1].left, 105);
    EXPECT_EQ(f[1].top, 758);
    EXPECT_EQ(f[2].text, "Getting last assigned Hotkeys");
    EXPECT_EQ(f[2].top, 738);
    EXPECT_EQ(f[3].text, "Use TAB key to show/hide the hints");
    EXPECT_EQ(f[3].top, 718);
    EXPECT_EQ(f[4].text, "Retrieving radio frequencies...");
    EXPECT_EQ(f[4].top, 686);
    EXPECT_EQ(LastCom1Frequency(), 0);
}

std::atomic<bool> g_workerHeld{false}, g_releaseWorker{false};

// Keeps the deferred-work thread busy with a job until g_releaseWorker is set.
void HoldWorker() {
    g_workerHeld = false;
    g_releaseWorker = false;
    ASSERT_TRUE(DeferredWork.Queue([] {
        g_workerHeld = true;
        while (!g_releaseWorker) Sleep(1);
    }));
    while (!g_workerHeld) Sleep(1);
}

// The search for the radios goes to the deferred-work thread; one still queued when the plug-in
// is disabled is dropped, and the panel asks again after the next enable.
TEST_F(HintsDrawing, TheRadioSearchIsHandedOffAndADroppedOneIsAskedForAgain) {
    ASSERT_TRUE(DeferredWork.Start());
    HoldWorker();
    const long before = DeferredWork.Completed();
    SIM_RunFrames(3);  // queued once, behind the held job
    std::thread release([] {
        Sleep(50);
        g_releaseWorker = true;
    });
    DeferredWork.Stop();
    release.join();
    EXPECT_EQ(DeferredWork.Completed(), before + 1);  // the held job only
    ASSERT_TRUE(DeferredWork.Start());
    SIM_RunFrames(1);
    for (int i = 0; i < 5000 && DeferredWork.Completed() < before + 2; ++i) Sleep(1);
    EXPECT_EQ(DeferredWork.Completed(), before + 2);
    DeferredWork.Stop();
}

TEST_F(HintsDrawing, WithoutFrequenciesTheBoxIs60ThenFortyPlus18PerOption) {
    PluginOptions.ShowFrequencies = 0;
    SIM_RunFrames(1);
    std::vector<Item> f = LastFrame();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].top - f[0].bottom, 60);
    EXPECT_EQ(f[3].text, "Use TAB key to show/hide the hints");
    // Ten characters are not a list yet (and a count with no entries behind it is refused).
    {
        ExpectedChecks expected("option_list.cpp");
        OptionList shortList;
        strcpy(shortList.text, "0123456789");
        shortList.count = 3;
        PublishOptionList(shortList);
    }
    SIM_RunFrames(1);
    f = LastFrame();
    EXPECT_EQ(f[0].top - f[0].bottom, 60);
    EXPECT_EQ(f[2].text, "Getting last assigned Hotkeys");

    SetAirport(3);
    BuildOptionList();
    SIM_RunFrames(1);
    f = LastFrame();
    ASSERT_EQ(CurrentOptionList().count, 11);
    EXPECT_EQ(f[0].top - f[0].bottom, 40 + 18 * 11);
    ASSERT_EQ(f.size(), 2u + 11u + 1u);
    EXPECT_EQ(f.back().text, "Use TAB key to show/hide the hints");
    EXPECT_EQ(f.back().top, 738 - 16 * 11 - 4);
}

TEST_F(HintsDrawing, ReadyListAndFrequencyLines) {
    SetAirport(10);
    // The frequency lines read the ground state from the simulator: on the ground every service.
    SIM_SetDataref("sim/flightmodel/failures/onground_any", xplmType_Int, 1);
    Datarefs.onGround = FindDataref("sim/flightmodel/failures/onground_any");
    BuildOptionList();  // on the ground, COM1 off the table: the ground list
    SIM_RunFrames(1);
    std::vector<Item> f = LastFrame();
    ASSERT_EQ(f.size(), 2u + 11u + 1u + 4u);
    EXPECT_EQ(f[0].bottom, 768 - 100 - 18 * 11);
    EXPECT_EQ(f[2].text, "Check-in Ready for taxi__\t 0");
    EXPECT_EQ(f[2].top, 738);
    EXPECT_EQ(f[3].text, "Acknowledge______________\tCS A");
    EXPECT_EQ(f[12].text, "VCP Mode_________________\tCS V");
    EXPECT_EQ(f[12].top, 738 - 16 * 10);
    EXPECT_EQ(f[13].text, "Use TAB key to show/hide the hints");
    EXPECT_EQ(f[13].top, 738 - 16 * 11 - 4);
    const int first = f[13].top - 32;
    EXPECT_EQ(f[14].text, "ATIS=118.00\tMULTICOM=118.25\tUNICOM=118.50\t");
    EXPECT_EQ(f[14].top, first);
    EXPECT_EQ(f[17].text, "CTR=120.25\t");
    EXPECT_EQ(f[17].top, first - 48);
    // In the air the ground-only services are bare tabs.
    SIM_SetDataref("sim/flightmodel/failures/onground_any", xplmType_Int, 0);
    SIM_RunFrames(1);
    f = LastFrame();
    EXPECT_EQ(f[15].text, "CTAF=118.75\t\tTWR=119.25\t");
    EXPECT_EQ(f[17].text, "\t");
}

TEST_F(HintsDrawing, ListsArePublishedWhole) {
    SetAirport(4);
    SetSampledOnGround(1);
    BuildOptionList();
    const OptionList ground = CurrentOptionList();
    SetSampledOnGround(0);
    BuildOptionList();
    const OptionList air = CurrentOptionList();
    ASSERT_EQ(ground.count, 11);
    ASSERT_EQ(air.count, 13);
    std::atomic<bool> stop{false};
    std::thread builder([&] {
        for (int i = 0; !stop; ++i) {
            SetSampledOnGround(i % 2);
            if (i % 5 == 4) ClearOptionList();
            else BuildOptionList();
        }
    });
    int seen[3] = {};
    for (int i = 0; i < 20000; ++i) {
        OptionList now = CurrentOptionList();
        if (now.count == 0 && now.text[0] == 0) ++seen[0];
        else if (now.count == 11 && strcmp(now.text, ground.text) == 0) ++seen[1];
        else if (now.count == 13 && strcmp(now.text, air.text) == 0) ++seen[2];
        else ADD_FAILURE() << "half a list: " << now.count << " " << now.text;
    }
    stop = true;
    builder.join();
    EXPECT_EQ(seen[0] + seen[1] + seen[2], 20000);
}

// ---- the mouse

using HintsMouse = HintsFixture;

TEST_F(HintsMouse, CloseBoxAtLeftPlus211NotPlus210) {
    EXPECT_EQ(SIM_Mouse(310, 759, xplm_MouseDown), 1);
    SIM_Mouse(310, 759, xplm_MouseUp);
    EXPECT_TRUE(Visible());
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    EXPECT_EQ(SIM_Mouse(311, 759, xplm_MouseDown), 1);
    SIM_Mouse(311, 759, xplm_MouseUp);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_EQ(CheckMark(), xplm_Menu_Unchecked);
}

TEST_F(HintsMouse, AResetForgetsAButtonLeftHeld) {
    const XPLMWindowID window = HintsWindowNow();
    SIM_Mouse(150, 700, xplm_MouseDown);  // never released: the next press would count as a release
    ResetHintsWindowState();
    EXPECT_EQ(HintsWindowNow(), nullptr);
    UseHintsWindow(window);  // as the next link start makes it
    SIM_Mouse(311, 759, xplm_MouseDown);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_FALSE(Visible());
    SIM_Mouse(311, 759, xplm_MouseUp);
}

TEST_F(HintsMouse, DragMovesTheWindowUnderThePointer) {
    SIM_Mouse(150, 700, xplm_MouseDown);
    SIM_Mouse(400, 500, xplm_MouseDrag);
    int l, t, r, b;
    XPLMGetWindowGeometry(HintsWindowNow(), &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{350, 550, 570, 300}));
    SIM_Mouse(410, 490, xplm_MouseDrag);
    XPLMGetWindowGeometry(HintsWindowNow(), &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{360, 540, 580, 290}));
    SIM_Mouse(410, 490, xplm_MouseUp);
    // The first drag event is tested against the window before it moves: one into the close
    // box closes the panel.
    SIM_Mouse(400, 500, xplm_MouseDown);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    SIM_Mouse(575, 535, xplm_MouseDrag);
    SIM_Mouse(575, 535, xplm_MouseUp);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_FALSE(Visible());
    XPLMGetWindowGeometry(HintsWindowNow(), &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t}), (std::vector<int>{525, 585}));
}

// ---- the key watcher

class KeyWatch : public HintsFixture {
protected:
    void SetUp() override {
        HintsFixture::SetUp();
        // A class of the same name left registered by another test would own the window.
        UnregisterClassA("UIPCMAIN", GetModuleHandleA(nullptr));
        server = std::make_unique<FakeServer>("UIPCMAIN", true);
        ASSERT_TRUE(server->Ready());
        const uint32_t version = 0x49290000;
        const uint16_t code = 8;
        server->Write(0x3304, &version, 4);
        server->Write(0x3308, &code, 2);
        IpcSession session;
        ASSERT_EQ(IpcOpen().code, IpcOk);
    }
    void TearDown() override {
        {
            IpcSession session;
            IpcClose();
        }
        server.reset();
        HintsFixture::TearDown();
    }
    // Sends a key event; gives the batches the server got and the offsets written meanwhile.
    std::pair<int, std::vector<uint32_t>> Key(int simulatorKey, int flags, HotkeyReporter report = nullptr) {
        int batches = server->Batches();
        size_t written = server->WrittenOffsets().size();
        ResetKeyWatcher();
        if (report) WatchKey((uint8_t)simulatorKey, flags, report);
        else EXPECT_EQ(HintsKeySniffer(0, flags, (char)simulatorKey, nullptr), 1);
        std::vector<uint32_t> all = server->WrittenOffsets();
        return {server->Batches() - batches, std::vector<uint32_t>(all.begin() + written, all.end())};
    }
    uint8_t Byte(uint32_t offset) {
        uint8_t b = 0;
        server->Read(offset, &b, 1);
        return b;
    }
    std::unique_ptr<FakeServer> server;
};

TEST_F(KeyWatch, AMatchingKeyCostsTwoExchangesAndWritesPressThenSlot) {
    server->SetSlot(2, 'E' | 3 << 8);
    server->SetSlot(5, 'R' | 3 << 8);
    server->SetSlot(9, 'R' | 3 << 8);
    auto [batches, writes] = Key(XPLM_VK_R, kDown | kShift | kCtrl);
    EXPECT_EQ(batches, 2);
    EXPECT_EQ(LastKeyPressExchangeCount(), 2);
    EXPECT_EQ(writes, (std::vector<uint32_t>{0x32FE, 0x3210 + 4 * 5}));
    EXPECT_EQ(Byte(0x32FE), 1);
    EXPECT_EQ(server->Slot(5), 0x01000352u);
    EXPECT_EQ(server->Slot(9), 0x00000352u);  // the first matching slot wins
}

TEST_F(KeyWatch, ThePerSlotReferenceMakesTheSameWritesInMoreExchanges) {
    server->SetSlot(5, 'R' | 3 << 8);
    auto fast = Key(XPLM_VK_R, kDown | kShift | kCtrl);
    uint32_t fastValue = server->Slot(5);
    server->SetSlot(5, 'R' | 3 << 8);
    server->Write(0x32FE, "\0", 1);
    auto reference = Key(XPLM_VK_R, kDown | kShift | kCtrl, ReportHotkeyPressPerSlot);
    EXPECT_EQ(reference.first, 6 + 2);
    EXPECT_EQ(LastKeyPressExchangeCount(), 8);
    EXPECT_EQ(reference.second, fast.second);
    EXPECT_EQ(server->Slot(5), fastValue);
    EXPECT_EQ(Byte(0x32FE), 1);
    // No slot matching: one exchange against 56.
    server->SetSlot(5, 0);
    EXPECT_EQ(Key(XPLM_VK_R, kDown | kShift | kCtrl).first, 1);
    EXPECT_EQ(Key(XPLM_VK_R, kDown | kShift | kCtrl, ReportHotkeyPressPerSlot).first, 56);
}

TEST_F(KeyWatch, OtherKeysAndReleasesCostNothing) {
    server->SetSlot(0, '5');
    EXPECT_EQ(Key(XPLM_VK_Z, kDown).first, 0);        // not a hotkey
    EXPECT_EQ(Key(XPLM_VK_5, kUp).first, 0);          // a release
    EXPECT_EQ(Key(XPLM_VK_5, 0).first, 0);            // neither down nor up
    EXPECT_EQ(Key(XPLM_VK_NUMPAD5, kDown).first, 0);  // the keypad's 5 is another key
    EXPECT_EQ(Key(XPLM_VK_5, kDown).first, 2);
    EXPECT_EQ(Key(XPLM_VK_5, kDown).first, 2);  // held: every down event
    EndLinkWatch(watch);
    EXPECT_EQ(Key(XPLM_VK_5, kDown).first, 0);
}

TEST_F(KeyWatch, TheZeroKeyIsReportedOnPressAndOnRelease) {
    server->SetSlot(3, '0');
    auto down = Key(XPLM_VK_0, kDown);
    server->SetSlot(3, '0');
    auto up = Key(XPLM_VK_0, kUp);
    EXPECT_EQ(down.second, (std::vector<uint32_t>{0x32FE, 0x3210 + 12}));
    EXPECT_EQ(up.second, (std::vector<uint32_t>{0x32FE, 0x3210 + 12}));
    EXPECT_EQ(server->Slot(3), 0x01000030u);
}

TEST_F(KeyWatch, ShiftOnlySlotMatchesCtrlShiftAndPlainSlotNeedsNoModifiers) {
    server->SetSlot(1, 'W' | 1 << 8);
    EXPECT_EQ(Key(XPLM_VK_W, kDown | kShift | kCtrl).second, (std::vector<uint32_t>{0x32FE, 0x3214}));
    EXPECT_EQ(server->Slot(1), 0x01000157u);
    server->SetSlot(1, '7');
    EXPECT_EQ(Key(XPLM_VK_7, kDown | kShift).second, std::vector<uint32_t>{});
    EXPECT_EQ(Key(XPLM_VK_7, kDown | kCtrl).second, std::vector<uint32_t>{});
    EXPECT_EQ(Key(XPLM_VK_7, kDown | xplm_OptionAltFlag).second, (std::vector<uint32_t>{0x32FE, 0x3214}));
}

TEST_F(KeyWatch, PunctuationAndKeypadKeysRegisteredByTheAtcProgramAreReported) {
    // Hotkey2 = Shift + ";" (1186), Hotkey3 = the keypad's plus (107), Hotkey4 = "=" (187).
    SetHotkey(1, {1, ';'});
    SetHotkey(2, {0, 0x6B});
    SetHotkey(3, {0, '+'});
    server->SetSlot(10, 0xBA | 1 << 8);
    server->SetSlot(11, 0x6B);
    server->SetSlot(12, 0xBB);
    EXPECT_EQ(Key(XPLM_VK_SEMICOLON, kDown | kShift).second, (std::vector<uint32_t>{0x32FE, 0x3210 + 40}));
    EXPECT_EQ(Key(XPLM_VK_ADD, kDown).second, (std::vector<uint32_t>{0x32FE, 0x3210 + 44}));
    EXPECT_EQ(Key(XPLM_VK_EQUAL, kDown).second, (std::vector<uint32_t>{0x32FE, 0x3210 + 48}));
    EXPECT_EQ(server->Slot(10), 0x010001BAu);  // byte 0 keeps the code the ATC program registered
}

TEST_F(KeyWatch, TheKeypadMultiplyIsReportedUnderItsOwnLabel) {
    // Hotkey2 = the keypad's multiply (106): labelled NUMx, its key character stays "*".
    SetHotkey(1, {0, '*'});
    server->SetSlot(10, 0x6A);
    EXPECT_EQ(Key(XPLM_VK_MULTIPLY, kDown).second, (std::vector<uint32_t>{0x32FE, 0x3210 + 40}));
    EXPECT_EQ(server->Slot(10), 0x0100006Au);
    EXPECT_EQ(Key(XPLM_VK_PRINT, kDown).first, 0);  // Print Screen is no multiply
}

TEST_F(KeyWatch, AHotkeyWithoutAKeyEndsTheFilter) {
    server->SetSlot(0, 'A' | 3 << 8);
    SetHotkey(4, {0, 0});
    EXPECT_EQ(Key(XPLM_VK_A, kDown | kShift | kCtrl).first, 0);
    EXPECT_EQ(Key(XPLM_VK_3, kDown).first, 1);
}

TEST_F(KeyWatch, TabTogglesOnReleaseOnly) {
    EXPECT_EQ(Key(XPLM_VK_TAB, kDown).first, 0);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    Key(XPLM_VK_TAB, kDown);  // held
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    Key(XPLM_VK_TAB, kUp);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(CheckMark(), xplm_Menu_Unchecked);
    Key(XPLM_VK_TAB, kUp | kCtrl | kShift);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    EXPECT_TRUE(Visible());
    EXPECT_EQ(CheckMark(), xplm_Menu_Checked);
    // Without a window only the option and the check mark change.
    UseHintsWindow(nullptr);
    ToggleKeyboardHints();
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_EQ(CheckMark(), xplm_Menu_Unchecked);
}

TEST_F(KeyWatch, EmergencyKeyInTheAirSwitchesTheList) {
    SetAirport(4);
    SetSampledOnGround(0);
    BuildOptionList();
    server->SetSlot(0, 'E' | 3 << 8);
    EXPECT_EQ(Key(XPLM_VK_E, kDown | kShift | kCtrl).first, 2);
    EXPECT_EQ(EmergencyMode(), 1);
    EXPECT_EQ(std::string(CurrentOptionList().text).substr(0, 25), "Affirmative______________");
    // Landed: the next rebuild ends it.
    SetSampledOnGround(1);
    BuildOptionList();
    EXPECT_EQ(EmergencyMode(), 0);
}

TEST_F(KeyWatch, EmergencyKeyOnTheGroundLeavesTheNormalList) {
    SetAirport(4);
    BuildOptionList();
    const std::string before = CurrentOptionList().text;
    server->SetSlot(0, 'E' | 3 << 8);
    EXPECT_EQ(Key(XPLM_VK_E, kDown | kShift | kCtrl).second, (std::vector<uint32_t>{0x32FE, 0x3210}));
    EXPECT_EQ(EmergencyMode(), 0);
    EXPECT_EQ(CurrentOptionList().text, before);
    // Without frequencies the list is not rebuilt, and the mode stays until a rebuild.
    SetAirport(0);
    SetSampledOnGround(0);
    Key(XPLM_VK_E, kDown | kShift | kCtrl);
    EXPECT_EQ(EmergencyMode(), 1);
    EXPECT_EQ(CurrentOptionList().text, before);
}

// Serves what the worker sends to the server's window here, as the simulator's pump does, until
// the worker has finished `jobs` more jobs.
void ServeUntilCompleted(long jobs) {
    for (int i = 0; i < 5000 && DeferredWork.Completed() < jobs; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(1);
    }
}

// With the deferred-work thread running, the sniffer makes no exchange itself: the presses wait
// for that thread, which reports them in the pilot's order.
TEST_F(KeyWatch, PressesAreReportedByTheDeferredWorkThreadInTheirOrder) {
    server->SetSlot(2, 'E' | 3 << 8);
    server->SetSlot(5, 'R' | 3 << 8);
    ASSERT_TRUE(DeferredWork.Start());
    HoldWorker();
    const int batches = server->Batches();
    const size_t written = server->WrittenOffsets().size();
    EXPECT_EQ(HintsKeySniffer(0, kDown | kShift | kCtrl, (char)XPLM_VK_R, nullptr), 1);
    EXPECT_EQ(HintsKeySniffer(0, kDown | kShift | kCtrl, (char)XPLM_VK_E, nullptr), 1);
    EXPECT_EQ(server->Batches(), batches);
    const long before = DeferredWork.Completed();
    g_releaseWorker = true;
    ServeUntilCompleted(before + 2);  // the held job, then the presses
    DeferredWork.Stop();
    EXPECT_EQ(server->Batches() - batches, 4);
    std::vector<uint32_t> all = server->WrittenOffsets();
    EXPECT_EQ(std::vector<uint32_t>(all.begin() + written, all.end()),
              (std::vector<uint32_t>{0x32FE, 0x3210 + 4 * 5, 0x32FE, 0x3210 + 4 * 2}));
    EXPECT_EQ(server->Slot(5), 0x01000352u);
    EXPECT_EQ(server->Slot(2), 0x01000345u);
}

// The link's stop makes the presses still waiting, on its own thread, before it clears the hot
// keys; the worker then finds none left, so none is made twice or reaches a later link.
TEST_F(KeyWatch, WaitingPressesAreMadeByTheStopAndOnlyOnce) {
    server->SetSlot(5, 'R' | 3 << 8);
    ASSERT_TRUE(DeferredWork.Start());
    HoldWorker();
    const int batches = server->Batches();
    HintsKeySniffer(0, kDown | kShift | kCtrl, (char)XPLM_VK_R, nullptr);
    EXPECT_EQ(server->Batches(), batches);
    ReportWaitingPresses();
    EXPECT_EQ(server->Batches() - batches, 2);
    EXPECT_EQ(LastKeyPressExchangeCount(), 2);
    const long before = DeferredWork.Completed();
    g_releaseWorker = true;
    ServeUntilCompleted(before + 2);
    DeferredWork.Stop();
    EXPECT_EQ(server->Batches() - batches, 2);
}

// Presses in the order their reports end (as they reach the server); the first report is held
// (as an exchange waiting for the server) until g_releaseFirst is set.
std::mutex g_reportedLock;
std::string g_reported;
std::atomic<bool> g_firstTaken{false}, g_releaseFirst{false};

int RecordPress(uint8_t keyChar, int) {
    if (!g_firstTaken.exchange(true))
        while (!g_releaseFirst) Sleep(1);
    std::lock_guard<std::mutex> lock(g_reportedLock);
    g_reported += (char)keyChar;
    return 2;
}

class PressOrder : public HintsFixture {
protected:
    void SetUp() override {
        HintsFixture::SetUp();
        g_reported.clear();
        g_firstTaken = false;
        g_releaseFirst = false;
        ASSERT_TRUE(DeferredWork.Start());
    }
    void TearDown() override {
        g_releaseFirst = true;
        DeferredWork.Stop();
        HintsFixture::TearDown();
    }
    // The pilot's keys, in order: digits plain, letters with Ctrl and Shift.
    static void Press(const std::string& keys) {
        for (char k : keys)
            WatchKey((uint8_t)k, k >= 'A' && k <= 'Z' ? kDown | kShift | kCtrl : kDown, RecordPress);
    }
    // The first press taken by the deferred-work thread and held in its report.
    static void PressFirstAndHoldIt(char key) {
        Press(std::string(1, key));
        for (int i = 0; i < 5000 && !g_firstTaken; ++i) Sleep(1);
        ASSERT_TRUE(g_firstTaken);
    }
    // Lets the held press go on after a while, from another thread: the simulator's thread may be
    // waiting for it meanwhile.
    static std::thread ReleaseFirstSoon() {
        return std::thread([] {
            Sleep(200);
            g_releaseFirst = true;
        });
    }
    static std::string Reported() {
        for (int i = 0; i < 5000; ++i) {
            {
                std::lock_guard<std::mutex> lock(g_reportedLock);
                if (g_releaseFirst && g_reported.size() >= 18) break;
            }
            Sleep(1);
        }
        std::lock_guard<std::mutex> lock(g_reportedLock);
        return g_reported;
    }
};

// More presses than wait for the deferred-work thread, while it still reports the first: the
// simulator's thread makes the rest itself, after the one in hand, each once.
TEST_F(PressOrder, PressesBeyondTheQueueFollowThePressInHand) {
    PressFirstAndHoldIt('1');
    std::thread release = ReleaseFirstSoon();
    Press("234567890ARWVCYND");  // 16 wait, the 17th finds the queue full
    release.join();
    EXPECT_EQ(Reported(), "1234567890ARWVCYND");
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
}

// The link's stop makes the presses still waiting, after the one in hand.
TEST_F(PressOrder, TheStopMakesTheWaitingPressesAfterThePressInHand) {
    PressFirstAndHoldIt('7');
    Press("9R8");
    std::thread release = ReleaseFirstSoon();
    ReportWaitingPresses();
    release.join();
    {
        std::lock_guard<std::mutex> lock(g_reportedLock);
        EXPECT_EQ(g_reported, "79R8");
    }
    ServeUntilCompleted(DeferredWork.Completed() + 1);
    std::lock_guard<std::mutex> lock(g_reportedLock);
    EXPECT_EQ(g_reported, "79R8");  // none made twice
}

// A full queue while the deferred-work thread is busy with another job (no press in hand): the
// simulator's thread makes the waiting presses before the one that did not fit, and the worker
// finds none left afterwards.
TEST_F(PressOrder, AFullQueueBehindAnotherJobIsMadeInThePilotsOrder) {
    HoldWorker();
    g_firstTaken = true;  // no press report is held
    g_releaseFirst = true;
    Press("234567890ARWVCYND");  // 16 wait, the 17th finds the queue full
    {
        std::lock_guard<std::mutex> lock(g_reportedLock);
        EXPECT_EQ(g_reported, "234567890ARWVCYND");
    }
    const long before = DeferredWork.Completed();
    g_releaseWorker = true;
    ServeUntilCompleted(before + 2);  // the held job, then the presses' job
    std::lock_guard<std::mutex> lock(g_reportedLock);
    EXPECT_EQ(g_reported, "234567890ARWVCYND");  // none made twice
}

// A message served on the simulator's thread in the middle of its own press report (a key a
// window's message brings, the link's stop) comes back for the press-report lock on the thread
// that holds it. It must not wait for itself: refused, the key waits and is made after the press
// in hand, by the report that holds the lock.
HWND g_keyWindow = nullptr;
std::string g_nestedReported;

// The report of "1" serves the messages while it waits for the server, and ends after them.
int ReportWithNestedMessages(uint8_t keyChar, int) {
    if (keyChar == '1') {
        SendMessageA(g_keyWindow, WM_APP, '2', 0);
        SendMessageA(g_keyWindow, WM_APP + 1, 0, 0);
    }
    g_nestedReported += (char)keyChar;
    return 2;
}

LRESULT CALLBACK KeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) WatchKey((uint8_t)wParam, kDown, ReportWithNestedMessages);
    else if (message == WM_APP + 1) ReportWaitingPresses();
    else return DefWindowProcA(window, message, wParam, lParam);
    return 0;
}

using NestedReport = HintsFixture;

TEST_F(NestedReport, AMessageServedDuringAReportNeverWaitsForItsOwnThread) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = KeyWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "NestedKeyTest";
    RegisterClassA(&windowClass);
    g_keyWindow = CreateWindowA("NestedKeyTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(g_keyWindow, nullptr);
    g_nestedReported.clear();
    ExpectedChecks expected("locks.cpp");  // each refusal of the lock to its holder
    // A thread waiting for itself never comes back: the watchdog ends the program as failed.
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([done] {
        if (WaitForSingleObject(done, 10000) == WAIT_OBJECT_0) return;
        fprintf(stderr, "FAILED: the simulator's thread waits for the press-report lock it holds\n");
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    });
    // The deferred-work thread does not run: the simulator's thread reports the press itself.
    WatchKey('1', kDown, ReportWithNestedMessages);
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
    EXPECT_EQ(g_nestedReported, "12");
    DestroyWindow(g_keyWindow);
    UnregisterClassA("NestedKeyTest", GetModuleHandleA(nullptr));
}

TEST_F(KeyWatch, AClosedLinkMatchesNothing) {
    {
        IpcSession session;
        IpcClose();
    }
    server->SetSlot(0, '5');
    EXPECT_EQ(Key(XPLM_VK_5, kDown).first, 0);
    EXPECT_EQ(LastKeyPressExchangeCount(), 0);
}

}  // namespace
