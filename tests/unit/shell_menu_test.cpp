// The plug-in menu's commands: windows, outside starts with COM around them, hints, view mode.
#include <gtest/gtest.h>

#include <windows.h>

#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "XPLMUtilities.h"
#include "base/locks.h"
#include "base/plugin_state.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "config_test_support.h"
#include "import_patch.h"
#include "outside_calls.h"
#include "shell/link.h"
#include "shell/message_window.h"
#include "ui/hints_window.h"
#include "ui/plugin_menu.h"
#include "ui/settings_window.h"
#include "widget_test_support.h"

extern "C" int XPluginStart(char* outName, char* outSignature, char* outDescription);
extern "C" void XPluginStop(void);

namespace {

const char* const kItemPaths[MenuItemCount] = {
    "Plugins|QVE to X-Plane|Enable",
    "Plugins|QVE to X-Plane|Disable",
    "Plugins|QVE to X-Plane|Plugin Settings",
    "Plugins|QVE to X-Plane|Flight Planning",
    "Plugins|QVE to X-Plane|Launch QV3 or QVE",
    "Plugins|QVE to X-Plane|Show keyboard hints     TAB",
    "Plugins|QVE to X-Plane|Show Manual",
    "Plugins|QVE to X-Plane|Toggle XP view mode",
    "Plugins|QVE to X-Plane|About",
};
const char* const kFullScreen = "sim/operation/toggle_full_screen";

void Pick(intptr_t item) { MenuHandler(nullptr, reinterpret_cast<void*>(item)); }

int boxes = 0;
int WINAPI CountBox(HWND, LPCSTR, LPCSTR, UINT) {
    ++boxes;
    return IDOK;
}

class Menu : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        widgets::Reset();
        SIM_SetScreenSize(1024, 768);
        RemoveConfig();
        MakeFolders(ConfigFilePath());  // the plug-in's folder exists; its file does not yet
        ResetOptions();
        ResetSettingsWindows();
        ResetHintsWindowState();
        outside::Install();
        PatchOwnImport("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&CountBox));
        boxes = 0;
        // The plug-in's own start builds the menu; it needs the ATC program's folder.
        atc = SimulatorFolder() + "\\ATC\\MenuTest\\";
        WriteTextFile(atc + "QV3.exe", "");
        WriteTextFile(atc + "QV_Station.exe", "");
        WriteConfig("[OPTIONS]\nQVEpath=" + atc + "\n");
        char name[256], signature[256], description[256];
        ASSERT_EQ(XPluginStart(name, signature, description), 1);
        ASSERT_EQ(boxes, 0);
        RemoveConfig();
        folder = SimulatorFolder();
    }
    void TearDown() override {
        XPluginStop();
        ResetHintsWindowState();
        ResetPluginMenu();
        RemoveConfig();
        DeleteFileA((atc + "QV3.exe").c_str());
        DeleteFileA((atc + "QV_Station.exe").c_str());
        RemoveDirectoryA(atc.c_str());
    }

    static std::vector<int> MenuStates() {
        std::vector<int> states;
        for (const char* path : kItemPaths) states.push_back(SIM_MenuItemState(path));
        return states;
    }
    static int HintsCheck() { return SIM_MenuItemState(kItemPaths[MenuKeyboardHints]) >> 1; }
    static std::string Config() { return ReadTextFile(ConfigFilePath()); }

    std::string folder;
    std::string atc;  // the ATC program's folder the start is given
};

TEST_F(Menu, ReferencesOutsideTheNineItemsDoNothing) {
    std::vector<int> before = MenuStates();
    for (intptr_t item : {9, 10, -1, 0x7FFFFFFF, -0x7FFFFFFF}) Pick(item);
    MenuHandler(nullptr, reinterpret_cast<void*>(~static_cast<uintptr_t>(0) - 5));
    EXPECT_EQ(MenuStates(), before);
    EXPECT_TRUE(outside::Calls.empty());
    EXPECT_EQ(widgets::Count(), 0);
    EXPECT_EQ(SIM_CommandRunCount(kFullScreen), 0);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
}

TEST_F(Menu, EnableThatFailsLeavesTheMenuAndDisableSetsIt) {
    // No IPC server plug-in is loaded: the link cannot start.
    std::vector<int> before = MenuStates();
    Pick(MenuEnable);
    EXPECT_EQ(MenuStates(), before);
    EXPECT_EQ(LinkIsUp(), false);
    // StopLink with the link down: Enable enabled, Disable disabled; nothing else changes.
    Pick(MenuDisable);
    EXPECT_EQ(SIM_MenuItemState(kItemPaths[MenuEnable]) & 1, 1);
    EXPECT_EQ(SIM_MenuItemState(kItemPaths[MenuDisable]) & 1, 0);
    EXPECT_EQ(Config(), "");
    CloseMessageWindow();  // the failed start told the user why
}

TEST_F(Menu, SettingsTwiceGiveOneWindowAndAHiddenOneIsShownAgain) {
    Pick(MenuSettings);
    ASSERT_TRUE(SettingsWindowIsOpen());
    XPWidgetID window = SettingsWindowId();
    int l = 0, t = 0, r = 0, b = 0;
    XPGetWidgetGeometry(window, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{512, 384, 712, 234}));
    const int count = widgets::Count();
    Pick(MenuSettings);
    EXPECT_EQ(SettingsWindowId(), window);
    EXPECT_EQ(widgets::Count(), count);
    XPHideWidget(window);
    Pick(MenuSettings);
    EXPECT_EQ(SettingsWindowId(), window);
    EXPECT_TRUE(XPIsWidgetVisible(window));
    EXPECT_EQ(widgets::Count(), count);
}

TEST_F(Menu, SettingsReopenOnTheFirstPage) {
    Pick(MenuSettings);
    ASSERT_TRUE(widgets::Click("   Other Options"));
    ASSERT_TRUE(widgets::CloseBox(SettingsWindowId()));
    EXPECT_FALSE(SettingsWindowIsOpen());
    Pick(MenuSettings);
    EXPECT_TRUE(XPIsWidgetVisible(widgets::Find(" Top L")));
    EXPECT_TRUE(XPIsWidgetVisible(widgets::Find("   Other Options")));
    EXPECT_FALSE(XPIsWidgetVisible(widgets::Find(" Disable Native ATC")));
    EXPECT_FALSE(XPIsWidgetVisible(widgets::Find("   Set Title Colour")));
}

TEST_F(Menu, AboutTwiceGivesOneWindowAndAClosedOneIsCreatedFresh) {
    Pick(MenuAbout);
    ASSERT_TRUE(AboutWindowIsOpen());
    XPWidgetID first = AboutWindowId();
    Pick(MenuAbout);
    EXPECT_EQ(AboutWindowId(), first);
    EXPECT_EQ(widgets::Count(), 6);
    XPHideWidget(first);
    Pick(MenuAbout);
    EXPECT_TRUE(XPIsWidgetVisible(first));
    ASSERT_TRUE(widgets::CloseBox(first));
    EXPECT_EQ(widgets::Count(), 0);
    Pick(MenuAbout);
    EXPECT_NE(AboutWindowId(), first);
    EXPECT_TRUE(AboutWindowIsOpen());
    EXPECT_EQ(widgets::Count(), 6);
}

TEST_F(Menu, HintsItemWithoutAWindowChangesOnlyTheOptionAndTheCheckMark) {
    Pick(MenuKeyboardHints);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 1);
    EXPECT_EQ(HintsCheck(), xplm_Menu_Checked);
    EXPECT_EQ(SIM_WindowCount(), 0);
    EXPECT_EQ(Config(), "");  // saved by the link stop, not here
    Pick(MenuKeyboardHints);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);
    EXPECT_EQ(HintsCheck(), xplm_Menu_Unchecked);
}

TEST_F(Menu, HintsItemShowsAndHidesAnExistingWindow) {
    UseHintsWindow(XPLMCreateWindow(0, 768, 220, 518, 0, nullptr, nullptr, nullptr, nullptr));
    Pick(MenuKeyboardHints);
    EXPECT_EQ(XPLMGetWindowIsVisible(HintsWindowNow()), 1);
    EXPECT_EQ(HintsCheck(), xplm_Menu_Checked);
    Pick(MenuKeyboardHints);
    EXPECT_EQ(XPLMGetWindowIsVisible(HintsWindowNow()), 0);
    EXPECT_EQ(HintsCheck(), xplm_Menu_Unchecked);
}

TEST_F(Menu, FlightPlanningOnlineOpensTheAddress) {
    PluginOptions.FlightPlanningOnline = 1;
    strcpy(PluginOptions.FlightPlanningTarget, "https://plan.example/route");
    Pick(MenuFlightPlanning);
    EXPECT_EQ(outside::Calls,
              (std::vector<std::string>{outside::kComInit,
                                        outside::Shell("open", "https://plan.example/route", nullptr, nullptr),
                                        outside::kComDone}));
    // COM cannot be initialised: nothing is started or undone.
    outside::Calls.clear();
    outside::ComAnswers.push_back(RPC_E_CHANGED_MODE);
    Pick(MenuFlightPlanning);
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit}));
}

TEST_F(Menu, FlightPlanningUtilityTwiceStartsItTwiceInItsFolder) {
    const std::string utility = folder + "\\Tools\\Plan Maker\\PlanMaker.exe";
    WriteTextFile(utility, "");
    PluginOptions.FlightPlanningOnline = 0;
    strcpy(PluginOptions.FlightPlanningTarget, utility.c_str());
    Pick(MenuFlightPlanning);
    Pick(MenuFlightPlanning);
    const std::string start =
        outside::Shell(nullptr, "PlanMaker.exe", nullptr, (folder + "\\Tools\\Plan Maker").c_str());
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit, start, outside::kComDone,
                                                         outside::kComInit, start, outside::kComDone}));
    EXPECT_EQ(std::string(PluginOptions.FlightPlanningTarget), utility);
    DeleteFileA(utility.c_str());
}

TEST_F(Menu, FlightPlanningUtilityMissingOrWithoutAFolderStartsNothing) {
    PluginOptions.FlightPlanningOnline = 0;
    strcpy(PluginOptions.FlightPlanningTarget, (folder + "\\Tools\\none.exe").c_str());
    Pick(MenuFlightPlanning);
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit, outside::kComDone}));
    outside::Calls.clear();
    PluginOptions.FlightPlanningTarget[0] = 0;  // the default utility path
    Pick(MenuFlightPlanning);
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit, outside::kComDone}));
}

TEST_F(Menu, FlightPlanningUtilityAtADriveRootRunsInTheRoot) {
    // "Z:" alone would name the drive's current folder; the root keeps its backslash.
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);  // "C:\windows" under Wine: a file at a drive root
    PluginOptions.FlightPlanningOnline = 0;
    snprintf(PluginOptions.FlightPlanningTarget, sizeof PluginOptions.FlightPlanningTarget, "%.2s\\windows",
             windows);
    ASSERT_TRUE(GetFileAttributesA(PluginOptions.FlightPlanningTarget) != INVALID_FILE_ATTRIBUTES);
    Pick(MenuFlightPlanning);
    ASSERT_EQ(outside::Calls.size(), 3u);
    EXPECT_EQ(outside::Calls[1], outside::Shell(nullptr, "windows", nullptr, (std::string(windows, 2) + "\\").c_str()));
}

TEST_F(Menu, ShowManualOpensThePdfElseTheRtf) {
    const std::string plugin = folder + "\\Resources\\plugins\\DURarUravud\\";
    Pick(MenuManual);
    EXPECT_EQ(outside::Calls,
              (std::vector<std::string>{outside::kComInit,
                                        outside::Shell(nullptr, plugin + "DURarUravud.pdf", nullptr, nullptr),
                                        outside::kComDone}));
    outside::Calls.clear();
    outside::ShellAnswers = {SE_ERR_NOASSOC, 2};
    Pick(MenuManual);
    EXPECT_EQ(outside::Calls,
              (std::vector<std::string>{outside::kComInit,
                                        outside::Shell(nullptr, plugin + "DURarUravud.pdf", nullptr, nullptr),
                                        outside::Shell("open", plugin + "DURarUravud.rtf", nullptr, nullptr),
                                        outside::kComDone}));
    // A result of exactly 32 is a failure too.
    outside::Calls.clear();
    outside::ShellAnswers = {32};
    Pick(MenuManual);
    EXPECT_EQ(outside::Calls.size(), 4u);
    outside::Calls.clear();
    outside::ShellAnswers = {33};
    Pick(MenuManual);
    EXPECT_EQ(outside::Calls.size(), 3u);
    outside::Calls.clear();
    outside::ComAnswers.push_back(E_OUTOFMEMORY);
    Pick(MenuManual);
    EXPECT_EQ(outside::Calls, (std::vector<std::string>{outside::kComInit}));
}

TEST_F(Menu, ViewModeRunsTheSimulatorsCommandOnceWhenThereIsOne) {
    Pick(MenuViewMode);
    EXPECT_EQ(SIM_CommandRunCount(kFullScreen), 1);
    Pick(MenuViewMode);
    EXPECT_EQ(SIM_CommandRunCount(kFullScreen), 2);
    SIM_RemoveCommand(kFullScreen);
    Pick(MenuViewMode);  // nothing to run, nothing breaks
    EXPECT_EQ(SIM_CommandRunCount(kFullScreen), -1);
    EXPECT_TRUE(outside::Calls.empty());
}

}  // namespace
