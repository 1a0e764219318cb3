// The settings and About windows: their widget tables, pages, options and the maker's site.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <commdlg.h>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPStandardWidgets.h"
#include "base/deferred_work.h"
#include "bridge/atc_text.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "config_test_support.h"
#include "outside_calls.h"
#include "simlink/datarefs.h"
#include "ui/settings_window.h"
#include "widget_test_support.h"

namespace {

std::deque<COLORREF> g_colourAnswers;  // empty = cancel
std::vector<COLORREF> g_colourInitial;

BOOL WINAPI FakeChooseColor(LPCHOOSECOLORA cc) {
    g_colourInitial.push_back(cc->rgbResult);
    if (g_colourAnswers.empty()) return FALSE;
    cc->rgbResult = g_colourAnswers.front();
    g_colourAnswers.pop_front();
    return TRUE;
}

const char* const kKillAtc = "sim/private/controls/perf/kill_atc";

// Which thread initialised COM for the About button's site.
DWORD g_callerThread = 0;
std::atomic<DWORD> g_comThread{0};
HRESULT WINAPI ThreadNotingCoInitializeEx(LPVOID reserved, DWORD flags) {
    g_comThread = GetCurrentThreadId();
    return outside::FakeCoInitializeEx(reserved, flags);
}
struct ComThreadWatch {
    ComThreadWatch() { PatchOwnImport("ole32.dll", "CoInitializeEx", (void*)ThreadNotingCoInitializeEx); }
    ~ComThreadWatch() { PatchOwnImport("ole32.dll", "CoInitializeEx", (void*)outside::FakeCoInitializeEx); }
};

class SettingsWindows : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        widgets::Reset();
        SIM_SetScreenSize(1920, 1080);
        RemoveConfig();
        MakeFolders(ConfigFilePath());  // the plug-in's folder exists; its file does not yet
        ResetOptions();
        ResetSettingsWindows();
        ResetAtcTextState();
        SetAtcStripRect({1, 2, 3, 4});
        SIM_SetDataref(kKillAtc, xplmType_Float, 0.0);
        ResetDatarefs();
        Datarefs.killAtc = FindDataref(kKillAtc);
        outside::Install();
        PatchOwnImport("comdlg32.dll", "ChooseColorA", (void*)FakeChooseColor);
        g_colourAnswers.clear();
        g_colourInitial.clear();
    }
    void TearDown() override {
        ResetAtcTextState();
        ResetDatarefs();
        RemoveConfig();
    }

    // As the menu opens it: top-left corner at the screen's centre, 200 by 150.
    void OpenSettings() {
        CreateSettingsWindow(960, 540, 200, 150);
    }
    void OpenAbout() {
        CreateAboutWindow(960, 540, 200, 150);
    }
    static double KillAtc() {
        double value = -1;
        SIM_GetDataref(kKillAtc, &value);
        return value;
    }
    static std::string Config() { return ReadTextFile(ConfigFilePath()); }
    static std::vector<intptr_t> CornerStates() {
        std::vector<intptr_t> states;
        for (const char* corner : {" Top L", " Top R", " Bot R", " Bot L"})
            states.push_back(widgets::State(widgets::Find(corner)));
        return states;
    }
};

TEST_F(SettingsWindows, SettingsWindowIsBuiltAsTheTableSays) {
    PluginOptions.DisableNativeAtc = 1;
    PluginOptions.ShowFrequencies = 0;
    PluginOptions.AutoStart = 1;
    PluginOptions.WindowPosition = 2;
    CreateSettingsWindow(100, 500, 200, 150);  // L 100, T 500, R 300, B 350
    EXPECT_EQ(widgets::Describe(),
              "main-window \"QVE ATC window settings\" 100,500,300,350 visible root close-box\n"
              "  button \" Disable Native ATC\" 140,410,160,394 hidden type=1 behavior=1 state=1\n"
              "  button \" Show Freq in ATC window\" 140,392,160,376 hidden type=1 behavior=1 state=0\n"
              "  button \" Auto start with XPX\" 140,374,160,358 hidden type=1 behavior=1 state=1\n"
              "  caption \"Window Position\" 150,430,250,410 visible\n"
              "  button \" Top L\" 100,480,120,460 visible type=1 behavior=2 state=0\n"
              "  button \" Top R\" 260,480,280,460 visible type=1 behavior=2 state=1\n"
              "  button \" Bot R\" 260,390,280,370 visible type=1 behavior=2 state=0\n"
              "  button \" Bot L\" 100,390,120,370 visible type=1 behavior=2 state=0\n"
              "  button \"   Other Options\" 150,370,250,350 visible type=0 behavior=0 state=0\n"
              "  button \"   Set Title Colour\" 140,470,260,450 hidden type=0 behavior=0 state=0\n"
              "  button \"    Set Options Colour\" 140,450,260,430 hidden type=0 behavior=0 state=0\n"
              "  button \"    Set Hilight Colour\" 140,430,260,410 hidden type=0 behavior=0 state=0\n");
    EXPECT_EQ(SettingsWindowId(), widgets::Find("QVE ATC window settings"));
    // Built is open: its close box and the link's stop close it.
    EXPECT_TRUE(SettingsWindowIsOpen());
}

TEST_F(SettingsWindows, NoCornerIsMarkedForPositionsOutsideOneToFour) {
    for (int position : {0, 5}) {
        SetUp();
        PluginOptions.WindowPosition = position;
        OpenSettings();
        EXPECT_EQ(CornerStates(), (std::vector<intptr_t>{0, 0, 0, 0})) << "position " << position;
        // Pressing one marks exactly that one.
        ASSERT_TRUE(widgets::Click(" Top R"));
        EXPECT_EQ(CornerStates(), (std::vector<intptr_t>{0, 1, 0, 0})) << "position " << position;
        EXPECT_EQ(PluginOptions.WindowPosition, 2);
    }
}

TEST_F(SettingsWindows, BottomRightOnFullHdPlacesTheAtcTextInMemoryOnly) {
    XPLMWindowID strip = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    CatchAtcStrip(strip, AtcTextRect());
    PluginOptions.WindowPosition = 1;
    OpenSettings();
    ASSERT_TRUE(widgets::Click(" Bot R"));
    EXPECT_EQ(PluginOptions.WindowPosition, 3);
    EXPECT_EQ(AtcTextRect().left, 1740);
    EXPECT_EQ(AtcTextRect().top, 170);
    EXPECT_EQ(AtcTextRect().right, 1920);
    EXPECT_EQ(AtcTextRect().bottom, 0);
    int l = 0, t = 0, r = 0, b = 0;
    XPLMGetWindowGeometry(strip, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{1740, 170, 1920, 0}));
    EXPECT_EQ(CornerStates(), (std::vector<intptr_t>{0, 0, 1, 0}));
    EXPECT_EQ(Config(), "");  // nothing written: the link stop saves WindowPosition
}

TEST_F(SettingsWindows, EveryCornerIs180By170FlushWithItsCorner) {
    SIM_SetScreenSize(1024, 768);
    OpenSettings();
    const char* corners[] = {" Top L", " Top R", " Bot R", " Bot L"};
    const ScreenRect expected[] = {{0, 768, 180, 598}, {844, 768, 1024, 598}, {844, 170, 1024, 0}, {0, 170, 180, 0}};
    for (int i : {1, 2, 3, 0}) {
        ASSERT_TRUE(widgets::Click(corners[i]));
        EXPECT_EQ(PluginOptions.WindowPosition, i + 1);
        EXPECT_EQ((std::vector<int>{AtcTextRect().left, AtcTextRect().top, AtcTextRect().right, AtcTextRect().bottom}),
                  (std::vector<int>{expected[i].left, expected[i].top, expected[i].right, expected[i].bottom}))
            << corners[i];
    }
    // Without a strip only the rectangle and the position change.
    EXPECT_EQ(AtcTextWindow(), nullptr);
}

TEST_F(SettingsWindows, OtherOptionsShowsTheSecondPageForGood) {
    OpenSettings();
    ASSERT_TRUE(widgets::Click("   Other Options"));
    for (const char* shown : {" Disable Native ATC", " Show Freq in ATC window", " Auto start with XPX",
                              "   Set Title Colour", "    Set Options Colour", "    Set Hilight Colour"})
        EXPECT_TRUE(XPIsWidgetVisible(widgets::Find(shown))) << shown;
    for (const char* hidden : {" Top L", " Top R", " Bot R", " Bot L", "Window Position", "   Other Options"})
        EXPECT_FALSE(XPIsWidgetVisible(widgets::Find(hidden))) << hidden;
    EXPECT_FALSE(widgets::Click("   Other Options"));  // no way back but closing
}

TEST_F(SettingsWindows, DisableNativeAtcWithTheLinkDownSetsKillAtcAndWritesAtOnce) {
    OpenSettings();
    ASSERT_TRUE(widgets::Click("   Other Options"));
    XPWidgetID box = widgets::Find(" Disable Native ATC");
    ASSERT_TRUE(widgets::Click(box));
    EXPECT_EQ(PluginOptions.DisableNativeAtc, 1);
    EXPECT_EQ(widgets::State(box), 1);
    EXPECT_EQ(KillAtc(), 1.0);
    EXPECT_EQ(Config(), "[OPTIONS]\r\nDisableNativeAtc=1\r\n");
    ASSERT_TRUE(widgets::Click(box));
    EXPECT_EQ(PluginOptions.DisableNativeAtc, 0);
    EXPECT_EQ(widgets::State(box), 0);
    EXPECT_EQ(KillAtc(), 0.0);
    EXPECT_EQ(Config(), "[OPTIONS]\r\nDisableNativeAtc=0\r\n");
}

TEST_F(SettingsWindows, CheckBoxesToggleTheirOptionAndKeyOnly) {
    Datarefs.killAtc = DatarefHandle();  // a simulator without the dataref: the option still changes
    PluginOptions.ShowFrequencies = 1;
    OpenSettings();
    ASSERT_TRUE(widgets::Click("   Other Options"));
    ASSERT_TRUE(widgets::Click(" Show Freq in ATC window"));
    ASSERT_TRUE(widgets::Click(" Auto start with XPX"));
    ASSERT_TRUE(widgets::Click(" Disable Native ATC"));
    EXPECT_EQ(PluginOptions.ShowFrequencies, 0);
    EXPECT_EQ(PluginOptions.AutoStart, 1);
    EXPECT_EQ(PluginOptions.DisableNativeAtc, 1);
    EXPECT_EQ(KillAtc(), 0.0);
    EXPECT_EQ(Config(), "[OPTIONS]\r\nShowFrequencies=0\r\nAutoStart=1\r\nDisableNativeAtc=1\r\n");
    EXPECT_EQ(PluginOptions.WindowPosition, 1);
    EXPECT_EQ(AtcTextRect().left, 1);  // no corner logic ran
}

TEST_F(SettingsWindows, ColourButtonsChooseTheirColour) {
    OpenSettings();
    ASSERT_TRUE(widgets::Click("   Other Options"));
    g_colourAnswers.push_back(RGB(255, 0, 51));
    ASSERT_TRUE(widgets::Click("    Set Options Colour"));
    EXPECT_FLOAT_EQ(PluginOptions.OptionsColour[0], 1.0f);
    EXPECT_FLOAT_EQ(PluginOptions.OptionsColour[2], 0.2f);
    ASSERT_TRUE(widgets::Click("   Set Title Colour"));  // cancelled: nothing changes
    EXPECT_FLOAT_EQ(PluginOptions.TitleColour[0], 0.3f);
    g_colourAnswers.push_back(RGB(0, 255, 0));
    ASSERT_TRUE(widgets::Click("    Set Hilight Colour"));
    EXPECT_FLOAT_EQ(PluginOptions.HintsColour[1], 1.0f);
    EXPECT_EQ(g_colourInitial.size(), 3u);
    EXPECT_EQ(Config(), "[COLOURS]\r\nOptions=255,0,51\r\nKeyboardHints=0,255,0\r\n");
}

TEST_F(SettingsWindows, CloseBoxDestroysTheWholeWindow) {
    OpenSettings();
    EXPECT_EQ(widgets::Count(), 13);
    ASSERT_TRUE(widgets::CloseBox(SettingsWindowId()));
    EXPECT_FALSE(SettingsWindowIsOpen());
    EXPECT_EQ(SettingsWindowId(), nullptr);
    EXPECT_EQ(widgets::Count(), 0);
    // A close box message or a close once the window is closed destroys nothing else.
    OpenSettings();
    OpenAbout();
    XPWidgetID window = SettingsWindowId();
    CloseSettingsWindow();
    EXPECT_EQ(SettingsWindowCallback(xpMessage_CloseButtonPushed, window, (intptr_t)window, 0), 1);
    CloseSettingsWindow();
    EXPECT_TRUE(AboutWindowIsOpen());
    EXPECT_EQ(widgets::Count(), 6);
    EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
}

TEST_F(SettingsWindows, UnknownMessagesAndButtonsAreNotConsumed) {
    OpenSettings();
    EXPECT_EQ(SettingsWindowCallback(xpMsg_PushButtonPressed, SettingsWindowId(), 0, 0), 0);
    EXPECT_EQ(SettingsWindowCallback(xpMsg_ButtonStateChanged, SettingsWindowId(), 12345, 1), 0);
    EXPECT_EQ(SettingsWindowCallback(xpMsg_MouseDown, SettingsWindowId(), 0, 0), 0);
    EXPECT_EQ(PluginOptions.WindowPosition, 1);
    EXPECT_EQ(AtcTextRect().left, 1);
    EXPECT_TRUE(outside::Calls.empty());
}

TEST_F(SettingsWindows, AboutWindowIsBuiltAsTheTableSays) {
    CreateAboutWindow(100, 500, 200, 150);
    EXPECT_EQ(widgets::Describe(),
              "main-window \"About QVE to X-Plane\" 100,500,300,350 visible root close-box\n"
              "  caption \"Qvestation to X-Plane\" 110,470,290,458 visible\n"
              "  caption \"Plugin brought to you by\" 110,450,290,438 visible\n"
              "  caption \"  \" 110,430,290,418 visible\n"
              "  caption \"Nordaviq Simulations\" 110,410,290,398 visible\n"
              "  button \"      Go to Nordaviq website\" 140,380,260,364 visible type=0 behavior=0 state=0\n");
    EXPECT_EQ(AboutWindowId(), widgets::Find("About QVE to X-Plane"));
}

TEST_F(SettingsWindows, AboutButtonOpensTheMakersSiteWithComAroundIt) {
    OpenAbout();
    ASSERT_TRUE(widgets::Click("      Go to Nordaviq website"));
    EXPECT_EQ(outside::Calls,
              (std::vector<std::string>{outside::kComInit,
                                        outside::Shell("open", "explorer", "https://www.nordaviq.example/", nullptr),
                                        outside::kComDone}));
    // An address under the reserved ".example" domain.
    std::string site = MakerWebSite;
    EXPECT_NE(site.find(".example/"), std::string::npos);
    // COM already initialised on the thread (S_FALSE) still counts as initialised and is undone.
    outside::Calls.clear();
    outside::ComAnswers.push_back(S_FALSE);
    ASSERT_TRUE(widgets::Click("      Go to Nordaviq website"));
    EXPECT_EQ(outside::Calls.size(), 3u);
    // COM cannot be initialised: nothing opens, nothing is undone.
    outside::Calls.clear();
    outside::ComAnswers.push_back(RPC_E_CHANGED_MODE);
    ASSERT_TRUE(widgets::Click("      Go to Nordaviq website"));
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit}));
}

// With the deferred-work thread running, the button costs the simulator's thread no COM start-up:
// the calls are made on that thread, in the same order.
TEST_F(SettingsWindows, AboutButtonHandsTheSiteToTheDeferredWorkThread) {
    OpenAbout();
    ASSERT_TRUE(DeferredWork.Start());
    const long before = DeferredWork.Completed();
    g_callerThread = GetCurrentThreadId();
    g_comThread = 0;
    outside::Calls.clear();
    ComThreadWatch watch;
    ASSERT_TRUE(widgets::Click("      Go to Nordaviq website"));
    for (int i = 0; i < 5000 && DeferredWork.Completed() == before; ++i) Sleep(1);
    DeferredWork.Stop();
    EXPECT_EQ(DeferredWork.Completed(), before + 1);
    EXPECT_NE(g_comThread, 0u);
    EXPECT_NE(g_comThread, g_callerThread);
    EXPECT_EQ(outside::Calls,
              (std::vector<std::string>{outside::kComInit,
                                        outside::Shell("open", "explorer", "https://www.nordaviq.example/", nullptr),
                                        outside::kComDone}));
}

TEST_F(SettingsWindows, ClosedAboutWindowIsGoneAndANewOneIsFresh) {
    OpenAbout();
    XPWidgetID first = AboutWindowId();
    ASSERT_TRUE(widgets::CloseBox(AboutWindowId()));
    EXPECT_FALSE(AboutWindowIsOpen());
    EXPECT_EQ(AboutWindowId(), nullptr);
    EXPECT_EQ(widgets::Count(), 0);
    OpenAbout();
    EXPECT_NE(AboutWindowId(), first);
    EXPECT_EQ(widgets::Count(), 6);
    // The old window's button no longer opens anything; the new one does.
    EXPECT_EQ(AboutWindowCallback(xpMsg_PushButtonPressed, AboutWindowId(), 0, 0), 0);
    EXPECT_TRUE(outside::Calls.empty());
    ASSERT_TRUE(widgets::Click("      Go to Nordaviq website"));
    EXPECT_EQ(outside::Calls.size(), 3u);
}

// ---- the resets: what a past world left is forgotten, and the next one starts as at load

TEST_F(SettingsWindows, ResetWindowsForgetsAPastWorldsWidgets) {
    OpenSettings();
    OpenAbout();
    const XPWidgetID pastCheckBox = widgets::Find(" Auto start with XPX");
    ASSERT_NE(pastCheckBox, nullptr);
    SIM_Init(nullptr);
    widgets::Reset();
    ResetSettingsWindows();
    EXPECT_FALSE(SettingsWindowIsOpen());
    EXPECT_FALSE(AboutWindowIsOpen());
    // Closing now destroys nothing of the world that is gone.
    CloseSettingsWindow();
    CloseAboutWindow();
    EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
    // A message naming a widget of the past window is nobody's.
    EXPECT_EQ(SettingsWindowCallback(xpMsg_ButtonStateChanged, nullptr, (intptr_t)pastCheckBox, 1), 0);
    EXPECT_EQ(PluginOptions.AutoStart, 0);
    EXPECT_EQ(Config(), "");
}

TEST_F(SettingsWindows, ResetOptionsRestoresTheDefaultsAndTheColourDialogsMemory) {
    OpenSettings();
    ASSERT_TRUE(widgets::Click("   Other Options"));
    g_colourAnswers.push_back(RGB(10, 20, 30));
    ASSERT_TRUE(widgets::Click("   Set Title Colour"));
    ASSERT_TRUE(widgets::Click(" Auto start with XPX"));
    ASSERT_EQ(PluginOptions.AutoStart, 1);
    PluginOptions.WindowPosition = 4;
    strcpy(PluginOptions.FlightPlanningTarget, "C:\\plan.exe");

    ResetOptions();
    const OptionRecord fresh;
    EXPECT_EQ(PluginOptions.AutoStart, fresh.AutoStart);
    EXPECT_EQ(PluginOptions.WindowPosition, fresh.WindowPosition);
    EXPECT_EQ(PluginOptions.FlightPlanningOnline, fresh.FlightPlanningOnline);
    EXPECT_STREQ(PluginOptions.FlightPlanningTarget, "");
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(PluginOptions.TitleColour[i], fresh.TitleColour[i]);
    // The next dialog opens on black, not on the colour chosen before.
    ChooseColour(1);
    ASSERT_EQ(g_colourInitial.size(), 2u);
    EXPECT_EQ(g_colourInitial[0], RGB(0, 0, 0));
    EXPECT_EQ(g_colourInitial[1], RGB(0, 0, 0));
    // The file keeps what was written to it.
    EXPECT_NE(Config().find("Title=10,20,30"), std::string::npos);
}

}  // namespace
