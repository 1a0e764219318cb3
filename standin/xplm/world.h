#pragma once
// Internal state of the stand-in simulator. One process-wide world, touched on the main thread.
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../common/sim_control.h"
#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"

namespace sim {

typedef int (*PluginStartFn)(char*, char*, char*);
typedef void (*PluginVoidFn)(void);
typedef int (*PluginEnableFn)(void);
typedef void (*PluginMessageFn)(XPLMPluginID, int, void*);

struct Plugin {
    int id = 0;
    std::string path;  // full path as the simulator found it
    std::string name, signature, description;
    HMODULE module = nullptr;
    PluginStartFn start = nullptr;
    PluginVoidFn stop = nullptr;
    PluginEnableFn enable = nullptr;
    PluginVoidFn disable = nullptr;
    PluginMessageFn receive = nullptr;
    bool enabled = false;
};

struct FlightLoop {
    XPLMFlightLoop_f fn = nullptr;
    void* refcon = nullptr;
    int owner = 0;
    bool scheduled = false;  // false: registered but not to be called (interval 0)
    bool byFrames = false;
    double dueTime = 0;      // when byFrames is false
    long dueCycle = 0;       // when byFrames is true
    double lastCall = 0;
    bool dead = false;
    void* handle = nullptr;  // set for loops made by XPLMCreateFlightLoop
    int phase = 1;           // xplm_FlightLoop_Phase_AfterFlightModel, as the older API's loops
};

struct Window {
    int index = 0;  // creation order, stable in observations
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    XPLMDrawWindow_f draw = nullptr;
    XPLMHandleKey_f key = nullptr;
    XPLMHandleMouseClick_f mouse = nullptr;
    void* refcon = nullptr;
    int owner = 0;
    bool dead = false;
    // Made by XPLMCreateWindowEx with the 3.0 structure: layers, positioning modes, VR, pop-out.
    // The rest of a legacy window stays at these values.
    bool modern = false;
    int layer = 0;       // XPLMWindowLayer; legacy windows sit in the flight overlay
    int decoration = 0;  // XPLMWindowDecoration
    XPLMHandleMouseClick_f rightClick = nullptr;
    XPLMHandleCursor_f cursor = nullptr;
    XPLMHandleMouseWheel_f wheel = nullptr;
    int positioning = 0;  // XPLMWindowPositioningMode
    int monitor = -1;
    int osLeft = 0, osTop = 0, osRight = 0, osBottom = 0;  // its own OS window, when popped out
    int vrWidth = 0, vrHeight = 0;                         // its panel in the headset
    std::string title;
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;  // 0,0,0,0: no limits set
    float gravity[4] = {0, 1, 0, 1};
};

struct KeySniffer {
    XPLMKeySniffer_f fn;
    int before;
    void* refcon;
    int owner;
    bool dead;
};

struct HotKey {
    char virtualKey;
    int rawVirtualKey;  // the 32-bit register the key code came in
    XPLMKeyFlags flags;
    std::string description;
    XPLMHotKey_f fn;
    void* refcon;
    int owner;
    bool dead;
};

struct Menu;
struct MenuItem {
    std::string name;
    void* itemRef = nullptr;
    bool enabled = true;
    XPLMMenuCheck check = xplm_Menu_NoCheck;
    Menu* submenu = nullptr;
    bool separator = false;
    int owner = 0;  // the plug-in that appended it: indices count only the caller's own items
};

struct Menu {
    std::string name;
    XPLMMenuHandler_f handler = nullptr;
    void* menuRef = nullptr;
    int owner = 0;
    std::vector<MenuItem> items;
    bool dead = false;
};

// A dataref as the simulator publishes it: a set of types, each read and written only through
// its own accessor. Scalar types share one value, int and float arrays share one item list.
struct DataRef {
    std::string name;
    XPLMDataTypeID types = xplmType_Float;
    bool writable = true;
    double value = 0;
    std::vector<double> items;
    std::vector<unsigned char> bytes;
};

struct CommandHandler {
    XPLMCommandCallback_f fn;
    int before;
    void* refcon;
    int owner;
    bool dead;
};

struct Command {
    std::string name;
    int runs = 0;
    std::vector<CommandHandler> handlers;
    bool held = false;  // between begin and end
};

struct World {
    DWORD mainThread = 0;
    SimEventSink sink = nullptr;
    std::map<std::string, bool> trace;
    std::string simFolder;  // no trailing backslash

    std::vector<std::unique_ptr<Plugin>> plugins;
    int nextPluginId = 1;
    std::vector<int> pluginStack;  // plug-ins whose code runs now, innermost last

    double now = 0;
    double period = 0.05;
    long cycle = 0;
    std::vector<FlightLoop> loops;
    int loopDepth = 0;

    int screenWidth = 1920, screenHeight = 1080;
    std::vector<Window*> windows;  // z-order, front last
    int nextWindowIndex = 0;
    Window* focus = nullptr;
    Window* mouseCapture = nullptr;
    int drawingWindow = -1;
    int drawDepth = 0;  // draw and window-draw callbacks under way
    int mouseX = 0, mouseY = 0;

    std::vector<KeySniffer> sniffers;
    std::vector<std::unique_ptr<HotKey>> hotKeys;

    std::unique_ptr<Menu> menuBar;
    Menu* pluginsMenu = nullptr;
    std::vector<std::unique_ptr<Menu>> menus;

    std::map<std::string, std::unique_ptr<DataRef>> datarefs;
    // The simulator's version (XPLMGetVersions) and, from its published list, the datarefs it
    // marks REPLACED or DEPRECATED (versions.cpp).
    int xplaneVersion = 11550;
    std::map<std::string, std::string> datarefStatus;
    std::set<std::pair<int, std::string>> datarefLogged;  // plug-in, name: logged once
    // Removed from the simulator, by name: orphans whose handles stay valid (data.cpp).
    std::map<std::string, std::unique_ptr<DataRef>> orphanedDatarefs;
    std::map<std::string, std::unique_ptr<Command>> commands;

    std::vector<SimDrawItem> drawing;    // frame being drawn
    std::vector<SimDrawItem> lastFrame;  // last completed frame
    // The headset: on from `vr on` (11.20 and later); its picture holds only the windows in VR.
    // Read by the host on any thread (a message box from a plug-in's worker).
    std::atomic<bool> vrOn{false};
    std::vector<SimDrawItem> headsetDrawing;
    std::vector<SimDrawItem> lastHeadset;
};

World& W();

// Every exported API function begins with ApiCall(name). The call is judged by where it came from
// (the return address names the module that made it): off the main thread it is counted, and
// from 12.4 on it ends the run as the simulator does; on the main thread with no plug-in callback
// running it is a bypass call; from a module other than the running plug-in's it is noted.
#define ApiCall(name) ::sim::ApiCallFrom((name), __builtin_return_address(0))
void ApiCallFrom(const char* name, const void* caller);
// A drawing function, after its ApiCall: outside a draw or window-draw callback it is a misuse and
// draws nothing (false).
bool DrawingCall(const char* name);
// A call on a window, after its ApiCall: noted when the caller is not the plug-in that made it.
void WindowCall(const char* name, const Window* win);
// The plug-ins' modules as the caller check knows them: called whenever the plug-in list changes.
void NotePluginModules();
void ResetCallerChecks();
std::string DescribeCallers();
// Counts a call the real simulator would punish (dead or unknown handle, wrong accessor) and
// reports it as an event.
void Misuse(const std::string& what);
bool Tracing(const char* what);
void Event(const std::string& line);
std::string Format(const char* fmt, ...);

Plugin* FindPlugin(int id);
std::string PluginName(int id);
int CurrentPlugin();

// Main-thread time of plug-in code, per plug-in and frame (frame_cost.cpp). Begin and end pair
// up on the thread that calls them; only the main thread's calls count.
void CostBegin(int plugin, const char* kind);
void CostEnd();
void CloseFrameCost();
std::string DescribeFrameCost();

// Runs plug-in code with the plug-in as the current one (for XPLMGetMyID and ownership), and
// counts its time towards the plug-in's frame cost.
struct PluginScope {
    explicit PluginScope(int id, const char* kind = "call") {
        W().pluginStack.push_back(id);
        CostBegin(id, kind);
    }
    ~PluginScope() {
        CostEnd();
        W().pluginStack.pop_back();
    }
    PluginScope(const PluginScope&) = delete;
    PluginScope& operator=(const PluginScope&) = delete;
};

// Marks a draw or window-draw callback under way: drawing functions are legal only inside one.
struct DrawScope {
    DrawScope() { ++W().drawDepth; }
    ~DrawScope() { --W().drawDepth; }
    DrawScope(const DrawScope&) = delete;
    DrawScope& operator=(const DrawScope&) = delete;
};

Window* LiveWindow(XPLMWindowID id);
// Where a window draws and takes clicks: its desktop rectangle, or in VR its panel (the desktop
// top-left with the VR size).
void WindowRect(const Window* win, int* left, int* top, int* right, int* bottom);
bool InVr(const Window* win);
// Whether the pilot sees the window: in the headset when VR is on, on the desktop otherwise.
bool ShownIn(const Window* win, bool headset);
// Drawing order: by layer, then z-order within it.
std::vector<Window*> WindowsByLayer();
// The version that brought an API function to the simulator (0: every version here has it).
int IntroducedIn(const char* name);
// Exports of the API libraries trimmed to what the simulator version has (api_levels.cpp).
void ApplyApiLevel();
// Modern windows keep their positioning mode as the screen changes size.
void ReflowModernWindows(int oldWidth, int oldHeight);
void ForgetPluginObjects(int pluginId);
// The parts of the API kept outside the world record (drawing callbacks, camera, planes, probes,
// objects, features, command handlers): forgotten with the plug-in.
void ForgetPluginExtras(int pluginId);
// Frame steps of those parts: after the flight loops, around the windows' drawing.
void RunFrameWork();
void DrawPhasesBeforeWindows();
void DrawPhasesAfterWindows();
// Runs a command through its handlers; false when a handler kept it from the simulator.
bool RunCommandHandlers(Command& command, XPLMCommandPhase phase);
// Tells the current plug-in's error callback (XPLMSetErrorCallback) about a misuse.
void NotifyErrorCallback(const std::string& what);
// Writes a line to the simulator's log once per key: answers that have no meaning here.
void LogOnce(const std::string& key, const std::string& line);
void ResetMenus();
// A plug-in found this dataref: the simulator's log line when its list marks it replaced or
// deprecated (once per plug-in and name).
void NoteFoundDataRef(const std::string& name);
void RunFlightLoops();
void DrawWindows();
void PumpMessages();
void AppendLog(const char* text);

std::string DescribeMenus();
std::string DescribeWindows();
std::string DescribeFlightLoops();
std::string DescribeHotKeys();
std::string DescribeSniffers();
std::string DescribeDatarefs();
std::string DescribeCommands();
std::string DescribePlugins();
std::string DescribeFrame(const std::vector<SimDrawItem>& items);

}  // namespace sim
