// The stand-in simulator behaves like the simulator where the plug-in depends on it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "common/sim_control.h"

// This test program is also a plug-in: the simulator may load it several times over, as several
// plug-ins, to see what each of them gets. A message kRunAs runs the function its parameter
// points to as the receiving plug-in; every other message is recorded.
namespace {
constexpr int kRunAs = 0x7F000001;
struct Received {
    int to, from, message;
    bool operator==(const Received& o) const { return to == o.to && from == o.from && message == o.message; }
};
std::vector<Received> g_received;
// Set: the next testers started take this signature instead of one of their own.
const char* g_sharedSignature = nullptr;
}  // namespace

extern "C" {
__declspec(dllexport) int XPluginStart(char* name, char* signature, char* description) {
    snprintf(name, 256, "Tester %d", XPLMGetMyID());
    if (g_sharedSignature) snprintf(signature, 256, "%s", g_sharedSignature);
    else snprintf(signature, 256, "test.tester.%d", XPLMGetMyID());
    snprintf(description, 256, "stand-in test");
    return 1;
}
__declspec(dllexport) void XPluginStop(void) {}
__declspec(dllexport) int XPluginEnable(void) { return 1; }
__declspec(dllexport) void XPluginDisable(void) {}
__declspec(dllexport) void XPluginReceiveMessage(XPLMPluginID from, int message, void* param) {
    if (message == kRunAs) (*static_cast<std::function<void()>*>(param))();
    else g_received.push_back({XPLMGetMyID(), from, message});
}
}

namespace {

int LoadTester(const char* path, bool enable = true) {
    int id = SIM_StartPlugin(path, GetModuleHandleA(nullptr));
    if (id > 0 && enable) SIM_EnablePlugin(id);
    return id;
}

void RunAs(int plugin, std::function<void()> fn) { SIM_SendMessage(plugin, kRunAs, &fn); }

std::vector<std::string> g_events;
void Sink(const char* line) { g_events.push_back(line); }

class StandIn : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        SIM_Init(Sink);
        SIM_SetFramePeriod(0.05);
    }
};

// ---- flight loops

struct LoopLog {
    std::vector<double> calls;  // simulated time of each call
    float next = 0;             // what the callback gives back
    void* refcon = nullptr;
};

float Loop(float, float, int, void* refcon) {
    auto* log = static_cast<LoopLog*>(refcon);
    log->calls.push_back(SIM_Now());
    log->refcon = refcon;
    return log->next;
}

TEST_F(StandIn, FlightLoopIntervalsAreSecondsFramesOrStop) {
    LoopLog seconds, frames, once;
    seconds.next = 1.0f;
    frames.next = -2.0f;
    once.next = 0.0f;
    XPLMRegisterFlightLoopCallback(Loop, 1.0f, &seconds);
    XPLMRegisterFlightLoopCallback(Loop, -2.0f, &frames);
    XPLMRegisterFlightLoopCallback(Loop, 0.5f, &once);
    SIM_RunSeconds(3.0);
    ASSERT_EQ(seconds.calls.size(), 3u);
    EXPECT_NEAR(seconds.calls[0], 1.0, 1e-6);
    EXPECT_NEAR(seconds.calls[2], 3.0, 1e-6);
    EXPECT_EQ(frames.calls.size(), 30u);  // every second frame of 60
    ASSERT_EQ(once.calls.size(), 1u);
    EXPECT_NEAR(once.calls[0], 0.5, 1e-6);
    EXPECT_EQ(seconds.refcon, &seconds);
}

TEST_F(StandIn, IntervalZeroAtRegistrationNeverRuns) {
    LoopLog log;
    XPLMRegisterFlightLoopCallback(Loop, 0.0f, &log);
    SIM_RunFrames(50);
    EXPECT_TRUE(log.calls.empty());
    XPLMSetFlightLoopCallbackInterval(Loop, -1.0f, 1, &log);
    SIM_RunFrames(3);
    EXPECT_EQ(log.calls.size(), 1u);  // gave 0 after its first call
}

float SelfRemoving(float, float, int, void* refcon) {
    ++*static_cast<int*>(refcon);
    XPLMUnregisterFlightLoopCallback(SelfRemoving, refcon);
    return -1.0f;
}

float Registering(float, float, int, void* refcon) {
    auto* log = static_cast<LoopLog*>(refcon);
    if (log->calls.empty()) XPLMRegisterFlightLoopCallback(Loop, -1.0f, log + 1);
    log->calls.push_back(SIM_Now());
    return -1.0f;
}

TEST_F(StandIn, CallbacksMayUnregisterThemselvesOrRegisterOthers) {
    int count = 0;
    XPLMRegisterFlightLoopCallback(SelfRemoving, -1.0f, &count);
    LoopLog pair[2];
    pair[1].next = -1.0f;
    XPLMRegisterFlightLoopCallback(Registering, -1.0f, &pair[0]);
    SIM_RunFrames(5);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(pair[0].calls.size(), 5u);
    EXPECT_EQ(pair[1].calls.size(), 4u);  // from the frame after its registration
    char text[512];
    SIM_Describe("flightloops", text, sizeof text);
    EXPECT_EQ(std::string(text).find("SelfRemoving"), std::string::npos);
}

// ---- windows, drawing, mouse

struct WinLog {
    int draws = 0;
    int clicks = 0;
    int take = 1;
    std::vector<int> statuses;
    bool destroyOnDraw = false;
};

void Draw(XPLMWindowID id, void* refcon) {
    auto* log = static_cast<WinLog*>(refcon);
    log->draws++;
    float white[3] = {1, 1, 1};
    char text[] = "hello";
    XPLMDrawString(white, 10, 20, text, nullptr, xplmFont_Basic);
    if (log->destroyOnDraw) XPLMDestroyWindow(id);
}

int Mouse(XPLMWindowID, int, int, XPLMMouseStatus status, void* refcon) {
    auto* log = static_cast<WinLog*>(refcon);
    log->clicks++;
    log->statuses.push_back(status);
    return log->take;
}

TEST_F(StandIn, VisibleWindowsDrawEveryFrameAndRecordTheirStrings) {
    WinLog shown, hidden;
    XPLMWindowID a = XPLMCreateWindow(0, 100, 100, 0, 1, Draw, nullptr, Mouse, &shown);
    XPLMCreateWindow(0, 100, 100, 0, 0, Draw, nullptr, Mouse, &hidden);
    SIM_RunFrames(3);
    EXPECT_EQ(shown.draws, 3);
    EXPECT_EQ(hidden.draws, 0);
    ASSERT_EQ(SIM_FrameItemCount(), 1);
    EXPECT_STREQ(SIM_FrameItem(0)->text, "hello");
    EXPECT_EQ(SIM_FrameItem(0)->window, 0);
    XPLMSetWindowIsVisible(a, 0);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_FrameItemCount(), 0);
}

TEST_F(StandIn, AWindowMayDestroyItselfWhileDrawing) {
    WinLog log;
    log.destroyOnDraw = true;
    XPLMWindowID id = XPLMCreateWindow(0, 100, 100, 0, 1, Draw, nullptr, Mouse, &log);
    SIM_RunFrames(3);
    EXPECT_EQ(log.draws, 1);
    // Calls on the dead handle are reported, not followed.
    XPLMSetWindowIsVisible(id, 1);
    ASSERT_FALSE(g_events.empty());
    EXPECT_NE(g_events.back().find("not a live window"), std::string::npos);
    EXPECT_EQ(XPLMIsWindowInFront(id), 0);
    EXPECT_EQ(SIM_Misuses(), 2);
}

TEST_F(StandIn, MouseGoesToTheFrontWindowAndStaysWithItUntilUp) {
    WinLog back, front, passing;
    passing.take = 0;
    XPLMCreateWindow(0, 100, 100, 0, 1, Draw, nullptr, Mouse, &back);
    XPLMCreateWindow(50, 100, 150, 0, 1, Draw, nullptr, Mouse, &front);
    XPLMCreateWindow(60, 100, 70, 0, 1, Draw, nullptr, Mouse, &passing);
    EXPECT_EQ(SIM_Mouse(65, 50, xplm_MouseDown), 1);  // passes through the front-most
    SIM_Mouse(500, 500, xplm_MouseDrag);               // far outside: still captured
    SIM_Mouse(500, 500, xplm_MouseUp);
    EXPECT_EQ(passing.clicks, 1);
    EXPECT_EQ(front.statuses, (std::vector<int>{xplm_MouseDown, xplm_MouseDrag, xplm_MouseUp}));
    EXPECT_EQ(back.clicks, 0);
    EXPECT_EQ(SIM_Mouse(20, 50, xplm_MouseDown), 1);
    EXPECT_EQ(back.clicks, 1);
    EXPECT_EQ(SIM_Mouse(900, 900, xplm_MouseDown), 0);
}

TEST_F(StandIn, TheBasicFontIsSixByTenAsTheSimulatorReportsIt) {
    int width = 0, height = 0, digits = -1;
    XPLMGetFontDimensions(xplmFont_Basic, &width, &height, &digits);
    EXPECT_EQ(width, 6);
    EXPECT_EQ(height, 10);
    EXPECT_EQ(digits, 0);
    EXPECT_FLOAT_EQ(XPLMMeasureString(xplmFont_Basic, "Hello World", 11), 66.0f);
    EXPECT_FLOAT_EQ(XPLMMeasureString(xplmFont_Basic, "Hello World", 5), 30.0f);
}

// ---- keys

std::vector<std::string> g_keys;
int Sniffer(char key, XPLMKeyFlags flags, char vkey, void* refcon) {
    std::string who = static_cast<const char*>(refcon);
    g_keys.push_back(who + ":" + (key ? std::string(1, key) : std::string()));
    return std::string(static_cast<const char*>(refcon)) == "eater" && key == 'x' ? 0 : 1;
}
void HotKey(void* refcon) { g_keys.push_back(std::string("hotkey:") + static_cast<const char*>(refcon)); }

TEST_F(StandIn, KeysPassSniffersThenHotKeys) {
    g_keys.clear();
    static char first[] = "first", eater[] = "eater", after[] = "after", f1[] = "F1";
    XPLMRegisterKeySniffer(Sniffer, 1, first);
    XPLMRegisterKeySniffer(Sniffer, 1, eater);
    XPLMRegisterKeySniffer(Sniffer, 0, after);
    XPLMRegisterHotKey((char)XPLM_VK_F1, xplm_DownFlag | xplm_ShiftFlag, "test", HotKey, f1);
    SIM_Key('x', xplm_DownFlag, 'X');                       // eaten by the second sniffer
    SIM_Key(0, xplm_DownFlag | xplm_ShiftFlag, (char)XPLM_VK_F1);  // hot key
    SIM_Key(0, xplm_DownFlag, (char)XPLM_VK_F1);            // no shift: no hot key
    EXPECT_EQ(g_keys, (std::vector<std::string>{"first:x", "eater:x", "first:", "eater:", "hotkey:F1", "first:",
                                                "eater:", "after:"}));
    g_keys.clear();
    EXPECT_EQ(XPLMUnregisterKeySniffer(Sniffer, 1, eater), 1);
    EXPECT_EQ(XPLMUnregisterKeySniffer(Sniffer, 1, eater), 0);
    SIM_Key('x', xplm_DownFlag, 'X');
    EXPECT_EQ(g_keys, (std::vector<std::string>{"first:x", "after:x"}));
}

TEST_F(StandIn, HotKeysFireOnTheStrokeTheirFlagsName) {
    g_keys.clear();
    static char down[] = "down", up[] = "up", none[] = "none", ctrl[] = "ctrl";
    XPLMRegisterHotKey((char)XPLM_VK_F2, xplm_DownFlag, "press", HotKey, down);
    XPLMRegisterHotKey((char)XPLM_VK_F3, xplm_UpFlag, "release", HotKey, up);
    XPLMRegisterHotKey((char)XPLM_VK_F4, 0, "neither", HotKey, none);
    XPLMRegisterHotKey((char)XPLM_VK_F2, xplm_DownFlag | xplm_ControlFlag, "ctrl press", HotKey, ctrl);
    for (int vkey : {XPLM_VK_F2, XPLM_VK_F3, XPLM_VK_F4}) {
        SIM_Key(0, xplm_DownFlag, (char)vkey);
        SIM_Key(0, xplm_UpFlag, (char)vkey);
    }
    SIM_Key(0, xplm_DownFlag | xplm_ControlFlag, (char)XPLM_VK_F2);
    EXPECT_EQ(g_keys, (std::vector<std::string>{"hotkey:down", "hotkey:up", "hotkey:ctrl"}));
}

// ---- keyboard focus

std::vector<std::pair<XPLMWindowID, int>> g_focusCalls;  // window id passed, losingFocus
void FocusKey(XPLMWindowID id, char, XPLMKeyFlags, char, void*, int losingFocus) {
    g_focusCalls.push_back({id, losingFocus});
}

TEST_F(StandIn, LosingFocusNamesTheWindowTakingIt) {
    g_focusCalls.clear();
    XPLMWindowID a = XPLMCreateWindow(0, 100, 100, 0, 1, nullptr, FocusKey, nullptr, nullptr);
    XPLMWindowID b = XPLMCreateWindow(0, 100, 100, 0, 1, nullptr, FocusKey, nullptr, nullptr);
    XPLMTakeKeyboardFocus(a);
    SIM_Key('k', xplm_DownFlag, 'K');
    XPLMTakeKeyboardFocus(b);
    XPLMTakeKeyboardFocus(nullptr);
    using Call = std::pair<XPLMWindowID, int>;
    EXPECT_EQ(g_focusCalls, (std::vector<Call>{{a, 0}, {b, 1}, {nullptr, 1}}));
    // A dead window cannot take focus: reported, and the focus stays where it was.
    XPLMTakeKeyboardFocus(a);
    XPLMDestroyWindow(b);
    XPLMTakeKeyboardFocus(b);
    EXPECT_EQ(SIM_Misuses(), 1);
    g_focusCalls.clear();
    SIM_Key('k', xplm_DownFlag, 'K');
    EXPECT_EQ(g_focusCalls, (std::vector<Call>{{a, 0}}));
}

// ---- messages between plug-ins

TEST_F(StandIn, ABroadcastReachesEveryEnabledPluginTheSenderToo) {
    g_received.clear();
    int a = LoadTester("C:\\sim\\a\\win.xpl");
    int b = LoadTester("C:\\sim\\b\\win.xpl");
    int off = LoadTester("C:\\sim\\c\\win.xpl", false);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ASSERT_GT(off, 0);
    RunAs(a, [] { XPLMSendMessageToPlugin(XPLM_NO_PLUGIN_ID, 0x8000001, nullptr); });
    RunAs(b, [a] { XPLMSendMessageToPlugin(a, 0x2, nullptr); });
    EXPECT_EQ(g_received, (std::vector<Received>{{a, a, 0x8000001}, {b, a, 0x8000001}, {a, b, 0x2}}));
}

// Signatures "should be unique for all plug-ins" is all the SDK says; nothing public tells of the
// simulator refusing a second one. Both load and run; the search answers the first loaded.
TEST_F(StandIn, TwoPluginsWithOneSignatureBothRunAndTheFirstLoadedIsFound) {
    g_sharedSignature = "test.same";
    int first = LoadTester("C:\\sim\\first\\win.xpl");
    int second = LoadTester("C:\\sim\\second\\win.xpl");
    g_sharedSignature = nullptr;
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_TRUE(XPLMIsPluginEnabled(second));
    EXPECT_EQ(XPLMFindPluginBySignature("test.same"), first);
    RunAs(second, [first] { EXPECT_EQ(XPLMFindPluginBySignature("test.same"), first); });
    // A disabled first one is still loaded: the search still answers it.
    SIM_DisablePlugin(first);
    EXPECT_EQ(XPLMFindPluginBySignature("test.same"), first);
}

// ---- menus

TEST_F(StandIn, MenuIndicesCountOnlyTheCallersOwnItems) {
    int a = LoadTester("C:\\sim\\a\\win.xpl");
    int b = LoadTester("C:\\sim\\b\\win.xpl");
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    int indices[3] = {-9, -9, -9};
    RunAs(a, [&] { indices[0] = XPLMAppendMenuItem(plugins, "A one", nullptr, 1); });
    RunAs(b, [&] {
        indices[1] = XPLMAppendMenuItem(plugins, "B one", nullptr, 1);
        XPLMEnableMenuItem(plugins, 0, 0);
        XPLMSetMenuItemName(plugins, 0, "B renamed", 1);
    });
    RunAs(a, [&] {
        indices[2] = XPLMAppendMenuItem(plugins, "A two", nullptr, 1);
        XPLMCheckMenuItem(plugins, 1, xplm_Menu_Checked);
    });
    EXPECT_EQ(indices[0], 0);
    EXPECT_EQ(indices[1], 0);
    EXPECT_EQ(indices[2], 1);
    EXPECT_EQ(SIM_MenuItemState("Plugins|A one"), 1);
    EXPECT_EQ(SIM_MenuItemState("Plugins|B renamed"), 0);
    EXPECT_EQ(SIM_MenuItemState("Plugins|A two"), 1 | (xplm_Menu_Checked << 1));
    // B has one item only: its index 1 is nothing, whatever A has.
    RunAs(b, [&] { XPLMEnableMenuItem(plugins, 1, 0); });
    EXPECT_EQ(SIM_Misuses(), 1);
    RunAs(b, [&] { XPLMRemoveMenuItem(plugins, 0); });
    RunAs(a, [&] { XPLMRemoveMenuItem(plugins, 0); });
    EXPECT_EQ(SIM_MenuItemState("Plugins|B renamed"), -1);
    EXPECT_EQ(SIM_MenuItemState("Plugins|A one"), -1);
    EXPECT_EQ(SIM_MenuItemState("Plugins|A two"), 1 | (xplm_Menu_Checked << 1));
    RunAs(b, [&] {
        XPLMAppendMenuItem(plugins, "B again", nullptr, 1);
        XPLMClearAllMenuItems(plugins);  // its own items only
    });
    EXPECT_EQ(SIM_MenuItemState("Plugins|B again"), -1);
    EXPECT_EQ(SIM_MenuItemState("Plugins|A two"), 1 | (xplm_Menu_Checked << 1));
    EXPECT_EQ(SIM_Misuses(), 1);
}

std::vector<intptr_t> g_picked;
void Handler(void* menuRef, void* itemRef) { g_picked.push_back((intptr_t)menuRef * 100 + (intptr_t)itemRef); }

TEST_F(StandIn, MenuItemsRunTheirHandlerOnlyWhenEnabled) {
    g_picked.clear();
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    int entry = XPLMAppendMenuItem(plugins, "Mine", nullptr, 1);
    XPLMMenuID mine = XPLMCreateMenu("Mine", plugins, entry, Handler, (void*)7);
    XPLMAppendMenuItem(mine, "One", (void*)1, 1);
    XPLMAppendMenuItem(mine, "Two", (void*)2, 1);
    XPLMEnableMenuItem(mine, 1, 0);
    XPLMCheckMenuItem(mine, 0, xplm_Menu_Checked);
    EXPECT_EQ(SIM_PickMenuItem("Plugins|Mine|One"), 1);
    EXPECT_EQ(SIM_PickMenuItem("Plugins|Mine|Two"), 1);
    EXPECT_EQ(SIM_PickMenuItem("Plugins|Mine|Three"), 0);
    EXPECT_EQ(g_picked, (std::vector<intptr_t>{701}));
    EXPECT_EQ(SIM_MenuItemState("Plugins|Mine|One"), 1 | (xplm_Menu_Checked << 1));
    EXPECT_EQ(SIM_MenuItemState("Plugins|Mine|Two"), 0);
    XPLMEnableMenuItem(mine, 9, 1);  // no such item: reported, nothing else
    EXPECT_NE(g_events.back().find("no item 9"), std::string::npos);
}

// ---- the off-thread check (datarefs: datarefs_test.cpp)

TEST_F(StandIn, CallsFromOtherThreadsAreCounted) {
    SIM_SetDataref("sim/test/int", xplmType_Int, 1);
    XPLMDataRef ref = XPLMFindDataRef("sim/test/int");
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    std::thread worker([ref] {
        XPLMGetDatai(ref);
        XPLMGetDatai(ref);
    });
    worker.join();
    EXPECT_EQ(SIM_OffThreadCalls(), 2);
    EXPECT_STREQ(SIM_FirstOffThreadCall(), "XPLMGetDatai");
}

}  // namespace
