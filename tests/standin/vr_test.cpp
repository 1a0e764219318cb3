// Modern windows and VR in the stand-in: each newer function only from the version that brought
// it, the positioning modes, the headset turned on and off, and what its picture holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMPlugin.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "common/sim_control.h"
#include "misbehave_plugin.h"

namespace {

void Sink(const char*) {}

const char* const kNewer300[] = {"XPLMGetScreenBoundsGlobal",   "XPLMGetAllMonitorBoundsGlobal",
                                 "XPLMGetAllMonitorBoundsOS",   "XPLMGetMouseLocationGlobal",
                                 "XPLMGetWindowGeometryOS",     "XPLMSetWindowGeometryOS",
                                 "XPLMWindowIsPoppedOut",       "XPLMSetWindowGravity",
                                 "XPLMSetWindowResizingLimits", "XPLMSetWindowPositioningMode",
                                 "XPLMSetWindowTitle"};
const char* const kNewer301[] = {"XPLMGetWindowGeometryVR", "XPLMSetWindowGeometryVR", "XPLMWindowIsInVR"};

bool Exported(const char* dll, const char* name) {
    return GetProcAddress(GetModuleHandleA(dll), name) != nullptr;
}

void SetVersion(int version) {
    char error[512] = "";
    ASSERT_EQ(SIM_SetSimulatorVersion(version, error, sizeof error), 1) << error;
}

void Draw(XPLMWindowID window, void* refcon) {
    int left, top, right, bottom;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    float white[3] = {1, 1, 1};
    XPLMDrawString(white, left + 2, bottom + 2, static_cast<char*>(refcon), nullptr, xplmFont_Basic);
}
std::vector<std::string> g_calls;
int Click(XPLMWindowID, int, int, XPLMMouseStatus status, void* refcon) {
    if (status == xplm_MouseDown) g_calls.push_back(std::string("click ") + static_cast<char*>(refcon));
    return 1;
}
int PassClick(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 0; }
int RightClick(XPLMWindowID, int, int, XPLMMouseStatus status, void* refcon) {
    if (status == xplm_MouseDown) g_calls.push_back(std::string("right ") + static_cast<char*>(refcon));
    return 1;
}
void Key(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}
XPLMCursorStatus Cursor(XPLMWindowID, int, int, void*) { return xplm_CursorHidden; }
XPLMCursorStatus DefaultCursor(XPLMWindowID, int, int, void*) { return xplm_CursorDefault; }
int Wheel(XPLMWindowID, int, int, int wheel, int clicks, void* refcon) {
    g_calls.push_back(std::string("wheel ") + static_cast<char*>(refcon) + " " + std::to_string(wheel) + " " +
                      std::to_string(clicks));
    return 1;
}

XPLMCreateWindow_t Params(const char* name, int left, int top, int right, int bottom) {
    XPLMCreateWindow_t p = {};
    p.structSize = sizeof p;
    p.left = left;
    p.top = top;
    p.right = right;
    p.bottom = bottom;
    p.visible = 1;
    p.drawWindowFunc = Draw;
    p.handleMouseClickFunc = Click;
    p.handleKeyFunc = Key;
    p.handleCursorFunc = Cursor;
    p.handleMouseWheelFunc = Wheel;
    p.refcon = const_cast<char*>(name);
    p.decorateAsFloatingWindow = xplm_WindowDecorationNone;
    p.layer = xplm_WindowLayerFloatingWindows;
    p.handleRightClickFunc = RightClick;
    return p;
}

XPLMWindowID Modern(const char* name, int left = 100, int top = 500, int right = 400, int bottom = 300) {
    XPLMCreateWindow_t p = Params(name, left, top, right, bottom);
    return XPLMCreateWindowEx(&p);
}

std::vector<std::string> Texts(bool headset) {
    std::vector<std::string> texts;
    const int count = headset ? SIM_HeadsetItemCount() : SIM_FrameItemCount();
    for (int i = 0; i < count; ++i) {
        const SimDrawItem* item = headset ? SIM_HeadsetItem(i) : SIM_FrameItem(i);
        texts.push_back(item->kind == SimDraw_String ? item->text : "kind " + std::to_string(item->kind));
    }
    return texts;
}

std::vector<int> Geometry(XPLMWindowID w) {
    std::vector<int> g(4);
    XPLMGetWindowGeometry(w, &g[0], &g[1], &g[2], &g[3]);
    return g;
}

class Vr : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(Sink);
        SIM_SetFramePeriod(0.05);
        SIM_SetScreenSize(1920, 1080);
        g_calls.clear();
    }
};

// ---- each newer function exists only from the version that brought it

TEST_F(Vr, NewerFunctionsAreAbsentBeforeTheirVersionAndBackAfterIt) {
    struct Step {
        int version;
        bool has300, has301;
    } steps[] = {{11000, false, false}, {11100, true, false}, {11200, true, true},
                 {11050, false, false}, {12100, true, true}};
    for (const Step& s : steps) {
        SetVersion(s.version);
        for (const char* name : kNewer300) {
            EXPECT_EQ(Exported("XPLM_64.dll", name), s.has300) << name << " at " << s.version;
            EXPECT_EQ(XPLMFindSymbol(name) != nullptr, s.has300) << name << " at " << s.version;
        }
        for (const char* name : kNewer301) {
            EXPECT_EQ(Exported("XPLM_64.dll", name), s.has301) << name << " at " << s.version;
            EXPECT_EQ(XPLMFindSymbol(name) != nullptr, s.has301) << name << " at " << s.version;
        }
        EXPECT_EQ(Exported("XPWidgets_64.dll", "XPGetWidgetUnderlyingWindow"), s.has301) << s.version;
        EXPECT_EQ(XPLMHasFeature("XPLM_USE_NATIVE_WIDGET_WINDOWS"), s.has301 ? 1 : 0) << s.version;
        // What every version has stays, the older window call among them.
        EXPECT_TRUE(Exported("XPLM_64.dll", "XPLMCreateWindowEx")) << s.version;
        EXPECT_TRUE(Exported("XPLM_64.dll", "XPLMFindSymbol")) << s.version;
        EXPECT_TRUE(Exported("XPWidgets_64.dll", "XPCreateWidget")) << s.version;
    }
}

TEST_F(Vr, VersionsAnswerTheirSdkLevelAndTheVrDatarefFrom1120) {
    const struct {
        int version, level;
        bool vrDataref;
    } cases[] = {{11000, 210, false}, {11100, 300, false}, {11200, 301, true}, {11550, 303, true}, {12000, 400, true}};
    for (const auto& c : cases) {
        SIM_Init(Sink);
        SetVersion(c.version);
        int xplane = 0, xplm = 0, host = 0;
        XPLMGetVersions(&xplane, &xplm, &host);
        EXPECT_EQ(xplane, c.version);
        EXPECT_EQ(xplm, c.level) << c.version;
        XPLMDataRef vr = XPLMFindDataRef("sim/graphics/VR/enabled");
        EXPECT_EQ(vr != nullptr, c.vrDataref) << c.version;
        if (!vr) continue;
        EXPECT_EQ(XPLMGetDatai(vr), 0);
        EXPECT_EQ(XPLMCanWriteDataRef(vr), 0);
    }
    // VR cannot be turned on where the simulator has none.
    SIM_Init(Sink);
    SetVersion(11100);
    char error[256] = "";
    EXPECT_EQ(SIM_SetVr(1, error, sizeof error), 0);
    EXPECT_STREQ(error, "no VR before 11.20 (simulator version 11100)");
    EXPECT_EQ(SIM_VrOn(), 0);
}

// ---- the window structure by its size, and the positioning modes

TEST_F(Vr, TheStructureSizeDecidesBetweenLegacyAndModernWindows) {
    XPLMCreateWindow_t p = Params("old", 10, 100, 110, 10);
    p.structSize = (int)offsetof(XPLMCreateWindow_t, decorateAsFloatingWindow);  // the SDK 2 structure
    XPLMWindowID old = XPLMCreateWindowEx(&p);
    ASSERT_NE(old, nullptr);
    XPLMSetWindowPositioningMode(old, xplm_WindowVR, -1);
    EXPECT_EQ(XPLMWindowIsInVR(old), 0);  // a legacy window stays free
    XPLMWindowID modern = Modern("new");
    XPLMSetWindowPositioningMode(modern, xplm_WindowVR, -1);
    EXPECT_EQ(XPLMWindowIsInVR(modern), 1);
    EXPECT_EQ(SIM_Misuses(), 0);
    // Too small, a missing callback, an unknown layer or mode: refused and counted, never read.
    p.structSize = 8;
    EXPECT_EQ(XPLMCreateWindowEx(&p), nullptr);
    p = Params("x", 0, 10, 10, 0);
    p.handleRightClickFunc = nullptr;
    EXPECT_EQ(XPLMCreateWindowEx(&p), nullptr);
    p = Params("x", 0, 10, 10, 0);
    p.layer = 7;
    EXPECT_EQ(XPLMCreateWindowEx(&p), nullptr);
    EXPECT_EQ(XPLMCreateWindowEx(nullptr), nullptr);
    XPLMSetWindowPositioningMode(modern, 6, -1);
    EXPECT_EQ(SIM_Misuses(), 5);
    EXPECT_EQ(XPLMWindowIsInVR(modern), 1);
}

TEST_F(Vr, PositioningModesPlaceTheWindowAndKeepItPlacedAsTheScreenChanges) {
    XPLMWindowID w = Modern("w", 100, 500, 400, 300);
    XPLMSetWindowPositioningMode(w, xplm_WindowCenterOnMonitor, -1);
    EXPECT_EQ(Geometry(w), (std::vector<int>{810, 640, 1110, 440}));
    SIM_SetScreenSize(1000, 800);
    EXPECT_EQ(Geometry(w), (std::vector<int>{350, 500, 650, 300}));
    XPLMSetWindowPositioningMode(w, xplm_WindowFullScreenOnMonitor, 0);
    EXPECT_EQ(Geometry(w), (std::vector<int>{0, 800, 1000, 0}));
    SIM_SetScreenSize(1200, 900);
    EXPECT_EQ(Geometry(w), (std::vector<int>{0, 900, 1200, 0}));
    // Free: the default gravity keeps it to the top left; a gravity of 1 on the right grows it.
    XPLMSetWindowPositioningMode(w, xplm_WindowPositionFree, -1);
    XPLMSetWindowGeometry(w, 100, 500, 400, 300);
    SIM_SetScreenSize(1300, 1000);
    EXPECT_EQ(Geometry(w), (std::vector<int>{100, 600, 400, 400}));
    XPLMSetWindowGravity(w, 0, 1, 1, 1);
    SIM_SetScreenSize(1400, 1000);
    EXPECT_EQ(Geometry(w), (std::vector<int>{100, 600, 500, 400}));
    EXPECT_EQ(XPLMWindowIsPoppedOut(w), 0);
}

void Monitor(int index, int left, int top, int right, int bottom, void* refcon) {
    static_cast<std::vector<int>*>(refcon)->insert(static_cast<std::vector<int>*>(refcon)->end(),
                                                   {index, left, top, right, bottom});
}

TEST_F(Vr, TheDesktopIsOneMonitorTheScreenWithItsOriginAtTheBottomLeft) {
    SIM_SetScreenSize(1280, 720);
    std::vector<int> bounds(4), global, os;
    XPLMGetScreenBoundsGlobal(&bounds[0], &bounds[1], &bounds[2], &bounds[3]);
    EXPECT_EQ(bounds, (std::vector<int>{0, 720, 1280, 0}));
    XPLMGetAllMonitorBoundsGlobal(Monitor, &global);
    XPLMGetAllMonitorBoundsOS(Monitor, &os);
    EXPECT_EQ(global, (std::vector<int>{0, 0, 720, 1280, 0}));
    EXPECT_EQ(os, global);
    XPLMGetAllMonitorBoundsOS(nullptr, nullptr);  // nothing to call: nothing happens
    SIM_Mouse(33, 44, xplm_MouseDown);
    int x = 0, y = 0;
    XPLMGetMouseLocationGlobal(&x, &y);
    EXPECT_EQ(x, 33);
    EXPECT_EQ(y, 44);
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(Vr, LimitsGravityAndTitlesAreForModernWindowsOnly) {
    XPLMWindowID classic = XPLMCreateWindow(100, 500, 400, 300, 1, Draw, Key, Click, const_cast<char*>("classic"));
    XPLMWindowID modern = Modern("modern");
    for (XPLMWindowID w : {classic, modern}) {
        XPLMSetWindowResizingLimits(w, 10, 20, 300, 400);
        XPLMSetWindowTitle(w, "Title");
        XPLMSetWindowGravity(w, 1, 1, 1, 1);
    }
    SIM_SetScreenSize(2020, 1080);
    EXPECT_EQ(Geometry(classic), (std::vector<int>{100, 500, 400, 300}));
    EXPECT_EQ(Geometry(modern), (std::vector<int>{200, 500, 500, 300}));
    char text[1024] = "";
    SIM_Describe("windows", text, sizeof text);
    EXPECT_STREQ(text,
                 "window 0 of X-Plane 100,500,400,300 visible\n"
                 "window 1 of X-Plane 200,500,500,300 visible modern layer=1 decoration=0 mode=free title=\"Title\" "
                 "limits=10,20,300,400\n");
    // Limits the wrong way round are refused and counted.
    XPLMSetWindowResizingLimits(modern, 300, 20, 10, 400);
    EXPECT_EQ(SIM_Misuses(), 1);
}

TEST_F(Vr, APoppedOutWindowHasItsOwnOsGeometry) {
    XPLMWindowID w = Modern("w", 100, 500, 400, 300);
    int os[4] = {};
    XPLMSetWindowGeometryOS(w, 1, 2, 3, 4);  // not popped out: nothing changes
    XPLMSetWindowPositioningMode(w, xplm_WindowPopOut, -1);
    EXPECT_EQ(XPLMWindowIsPoppedOut(w), 1);
    XPLMGetWindowGeometryOS(w, &os[0], &os[1], &os[2], &os[3]);
    EXPECT_EQ(std::vector<int>(os, os + 4), (std::vector<int>{100, 500, 400, 300}));
    XPLMSetWindowGeometryOS(w, 2000, 700, 2300, 500);
    XPLMGetWindowGeometryOS(w, &os[0], &os[1], &os[2], &os[3]);
    EXPECT_EQ(std::vector<int>(os, os + 4), (std::vector<int>{2000, 700, 2300, 500}));
    EXPECT_EQ(Geometry(w), (std::vector<int>{100, 500, 400, 300}));
    XPLMSetWindowPositioningMode(w, xplm_WindowPositionFree, -1);
    EXPECT_EQ(XPLMWindowIsPoppedOut(w), 0);
    EXPECT_EQ(SIM_Misuses(), 0);
}

// ---- the headset

TEST_F(Vr, TheHeadsetShowsOnlyWindowsInVrAndTheDesktopNoLongerDoes) {
    SetVersion(12100);
    XPLMWindowID classic = XPLMCreateWindow(10, 100, 200, 10, 1, Draw, Key, Click, const_cast<char*>("classic"));
    ASSERT_NE(Modern("stays", 300, 300, 500, 200), nullptr);
    XPLMWindowID goes = Modern("goes", 600, 300, 800, 200);
    ASSERT_NE(classic, nullptr);
    XPLMSetWindowPositioningMode(goes, xplm_WindowVR, -1);
    // In VR positioning with the headset off: seen nowhere.
    SIM_RunFrames(1);
    EXPECT_EQ(Texts(false), (std::vector<std::string>{"classic", "stays"}));
    EXPECT_TRUE(Texts(true).empty());
    char error[256] = "";
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1) << error;
    SIM_RunFrames(1);
    EXPECT_EQ(Texts(true), (std::vector<std::string>{"goes"}));
    EXPECT_EQ(Texts(false), (std::vector<std::string>{"classic", "stays"}));
    // Its panel is its VR size from its desktop top-left; the desktop place is kept.
    XPLMSetWindowGeometryVR(goes, 400, 250);
    int vw = 0, vh = 0;
    XPLMGetWindowGeometryVR(goes, &vw, &vh);
    EXPECT_EQ(vw, 400);
    EXPECT_EQ(vh, 250);
    EXPECT_EQ(Geometry(goes), (std::vector<int>{600, 300, 1000, 50}));
    XPLMSetWindowGeometryVR(goes, INT_MAX, INT_MAX);
    EXPECT_EQ(Geometry(goes), (std::vector<int>{600, 300, INT_MAX, 300 - INT_MAX}));
    XPLMSetWindowGeometryVR(goes, 400, 250);
    // Off: the headset shows nothing from then on, and what stayed in VR comes back to where it
    // was on the desktop.
    ASSERT_EQ(SIM_HeadsetItemCount(), 1);
    ASSERT_EQ(SIM_SetVr(0, error, sizeof error), 1);
    EXPECT_EQ(SIM_HeadsetItemCount(), 0);
    EXPECT_EQ(XPLMWindowIsInVR(goes), 0);
    EXPECT_EQ(Geometry(goes), (std::vector<int>{600, 300, 800, 200}));
    SIM_RunFrames(1);
    EXPECT_EQ(Texts(false), (std::vector<std::string>{"classic", "stays", "goes"}));
    EXPECT_TRUE(Texts(true).empty());
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(Vr, ClicksWheelAndCursorReachTheWindowThePilotSees) {
    SetVersion(11550);
    XPLMWindowID desk = Modern("desk", 100, 500, 400, 300);
    XPLMWindowID panel = Modern("panel", 100, 500, 400, 300);
    XPLMSetWindowPositioningMode(panel, xplm_WindowVR, -1);
    char error[256] = "";
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1);
    EXPECT_EQ(SIM_MouseEx(200, 400, xplm_MouseDown, 0, 1), 1);
    SIM_MouseEx(200, 400, xplm_MouseUp, 0, 1);
    EXPECT_EQ(SIM_MouseEx(200, 400, xplm_MouseDown, 1, 0), 1);
    SIM_MouseEx(200, 400, xplm_MouseUp, 1, 0);
    EXPECT_EQ(SIM_Wheel(200, 400, 0, -2, 1), 1);
    EXPECT_EQ(SIM_Cursor(200, 400, 0), xplm_CursorHidden);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"click panel", "right desk", "wheel panel 0 -2"}));
    // A headset click where no VR window is reaches nothing on the desktop.
    EXPECT_EQ(SIM_MouseEx(1500, 900, xplm_MouseDown, 0, 1), 0);
    (void)desk;
}

TEST_F(Vr, HigherLayersDrawOverAndTakeClicksBeforeLowerOnesWhateverTheirAge) {
    XPLMCreateWindow_t p = Params("modal", 100, 500, 400, 300);
    p.layer = xplm_WindowLayerModal;
    XPLMWindowID modal = XPLMCreateWindowEx(&p);
    XPLMWindowID floating = Modern("floating", 100, 500, 400, 300);
    XPLMWindowID classic = XPLMCreateWindow(100, 500, 400, 300, 1, Draw, Key, Click, const_cast<char*>("classic"));
    XPLMBringWindowToFront(floating);
    SIM_RunFrames(1);
    EXPECT_EQ(Texts(false), (std::vector<std::string>{"classic", "floating", "modal"}));
    EXPECT_EQ(SIM_Mouse(200, 400, xplm_MouseDown), 1);
    SIM_Mouse(200, 400, xplm_MouseUp);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"click modal"}));
    (void)modal;
    (void)classic;
}

TEST_F(Vr, ADecoratedWindowStopsClicksItsHandlerPassesOn) {
    XPLMWindowID under = Modern("under", 100, 500, 400, 300);
    XPLMCreateWindow_t p = Params("over", 100, 500, 400, 300);
    p.handleMouseClickFunc = PassClick;
    p.handleCursorFunc = DefaultCursor;
    p.decorateAsFloatingWindow = xplm_WindowDecorationNone;
    XPLMWindowID over = XPLMCreateWindowEx(&p);
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(SIM_Mouse(200, 400, xplm_MouseDown), 1);
    SIM_Mouse(200, 400, xplm_MouseUp);
    EXPECT_EQ(SIM_Cursor(200, 400, 0), xplm_CursorHidden);  // the default asks the window under
    p.decorateAsFloatingWindow = xplm_WindowDecorationRoundRectangle;
    XPLMWindowID decorated = XPLMCreateWindowEx(&p);
    XPLMSetWindowTitle(decorated, "Frame");
    EXPECT_EQ(SIM_Mouse(200, 400, xplm_MouseDown), 1);
    SIM_Mouse(200, 400, xplm_MouseUp);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"click under"}));
    // The simulator draws the frame with its title under the window's own drawing.
    SIM_RunFrames(1);
    bool framed = false;
    for (int i = 0; i < SIM_FrameItemCount(); ++i)
        framed |= SIM_FrameItem(i)->kind == SimDraw_WidgetWindow && std::string(SIM_FrameItem(i)->text) == "Frame";
    EXPECT_TRUE(framed);
    (void)under;
}

TEST_F(Vr, NativeWidgetWindowsGoToTheHeadsetAndOthersDoNot) {
    SetVersion(12100);
    XPWidgetID plain = XPCreateWidget(100, 500, 300, 300, 1, "Plain", 1, nullptr, xpWidgetClass_MainWindow);
    XPLMEnableFeature("XPLM_USE_NATIVE_WIDGET_WINDOWS", 1);
    XPWidgetID native = XPCreateWidget(400, 500, 600, 300, 1, "Native", 1, nullptr, xpWidgetClass_MainWindow);
    XPLMSetWindowPositioningMode(XPGetWidgetUnderlyingWindow(plain), xplm_WindowVR, -1);
    XPLMSetWindowPositioningMode(XPGetWidgetUnderlyingWindow(native), xplm_WindowVR, -1);
    EXPECT_EQ(XPLMWindowIsInVR(XPGetWidgetUnderlyingWindow(plain)), 0);
    EXPECT_EQ(XPLMWindowIsInVR(XPGetWidgetUnderlyingWindow(native)), 1);
    char error[256] = "";
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1);
    SIM_RunFrames(1);
    ASSERT_EQ(SIM_HeadsetItemCount(), 1);
    EXPECT_EQ(SIM_HeadsetItem(0)->kind, SimDraw_WidgetWindow);
    EXPECT_STREQ(SIM_HeadsetItem(0)->text, "Native");
    ASSERT_EQ(SIM_FrameItemCount(), 1);
    EXPECT_STREQ(SIM_FrameItem(0)->text, "Plain");
    XPDestroyWidget(plain, 1);
    XPDestroyWidget(native, 1);
}

// ---- the messages, with a plug-in that follows the headset

class VrPlugin : public Vr, protected MisbehavePlugin {
protected:
    void SetUp() override {
        Vr::SetUp();
        SetVersion(12100);
        StartMisbehave();
    }
    void TearDown() override {
        SIM_StopPlugin(id_);
        FreeLibrary(module_);
    }
};

TEST_F(VrPlugin, MessagesComeRightBeforeEachChangeAndOnlyWhenSomethingChanges) {
    EXPECT_EQ(Control("modern"), "modern window made");
    EXPECT_EQ(Control("follow-vr"), "its modern window follows the headset");
    char error[256] = "";
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1);
    // Entered with the dataref still 0: the change comes after the message.
    EXPECT_EQ(Control("vr-messages"), "entered 1 exiting 0, VR dataref 0 at the last");
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1);
    EXPECT_EQ(Control("vr-messages"), "entered 1 exiting 0, VR dataref 0 at the last");
    SIM_RunFrames(1);
    ASSERT_EQ(Texts(true), (std::vector<std::string>{"kind 2", "modern"}));
    ASSERT_EQ(SIM_SetVr(0, error, sizeof error), 1);
    EXPECT_EQ(Control("vr-messages"), "entered 1 exiting 1, VR dataref 1 at the last");
    XPLMDataRef vr = XPLMFindDataRef("sim/graphics/VR/enabled");
    EXPECT_EQ(XPLMGetDatai(vr), 0);
    SIM_RunFrames(1);
    EXPECT_TRUE(Texts(true).empty());
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(VrPlugin, APluginStoppedInVrTakesItsPanelWithIt) {
    EXPECT_EQ(Control("modern"), "modern window made");
    EXPECT_EQ(Control("position 5"), "in-vr 1 popped-out 0");
    char error[256] = "";
    ASSERT_EQ(SIM_SetVr(1, error, sizeof error), 1);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_HeadsetItemCount(), 2);
    SIM_StopPlugin(id_);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_HeadsetItemCount(), 0);
    // Off again right after: nothing left to move, nothing to tell.
    ASSERT_EQ(SIM_SetVr(0, error, sizeof error), 1);
    id_ = SIM_StartPlugin(MISBEHAVE_PLUGIN, module_);
    SIM_EnablePlugin(id_);
    EXPECT_EQ(Control("position 5"), "no modern window");
    EXPECT_EQ(SIM_Misuses(), 0);
}

}  // namespace
