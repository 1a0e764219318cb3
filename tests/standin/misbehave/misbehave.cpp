// A test plug-in that breaks the simulator's calling rules on request (control commands), so
// scenarios can see each of the stand-in's checks fire. Its name is its folder's, so two copies
// can run side by side and call into each other.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"

namespace {

// Messages between two copies: the other's window, and a function of the other's module.
constexpr int kAskWindow = 0x7F000001;
constexpr int kAskFunction = 0x7F000002;
constexpr UINT kCallSdk = WM_APP + 1;

HWND g_hidden = nullptr;
XPLMWindowID g_window = nullptr;
int g_drawnInside = 0;
char g_windowText[128] = "inside";  // what its window draws
float g_lastElapsed = -1;

HMODULE Self() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Self), &module);
    return module;
}

// Resources\plugins\FOLDER\64\win.xpl gives FOLDER.
std::string FolderName() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(Self(), path, MAX_PATH);
    std::string p(path, n < MAX_PATH ? n : 0);
    for (int i = 0; i < 2; ++i) p = p.substr(0, p.find_last_of('\\') == std::string::npos ? 0 : p.find_last_of('\\'));
    size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? "Misbehave" : p.substr(slash + 1);
}

// Called through another copy's code: the SDK call comes from this module while the other runs.
extern "C" float ElapsedFromHere() {
    float now = XPLMGetElapsedTime();
    g_lastElapsed = now;  // after the call, so the call is no jump: its return address stays here
    return now;
}

// A window procedure the simulator's message pump runs, outside every plug-in callback.
LRESULT CALLBACK HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallSdk) {
        g_lastElapsed = XPLMGetElapsedTime();
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Draw(XPLMWindowID window, void*) {
    int left, top, right, bottom;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    float white[3] = {1, 1, 1};
    XPLMSetGraphicsState(0, 1, 0, 0, 1, 0, 0);
    XPLMDrawString(white, left + 2, bottom + 2, g_windowText, nullptr, xplmFont_Basic);
    ++g_drawnInside;
}
void Key(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}
int Mouse(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 0; }

DWORD WINAPI OffThread(void*) {
    XPLMGetElapsedTime();
    return 0;
}

// ---- a modern window, its newer calls found at run time as a plug-in must (an older simulator
// has none of them)
XPLMWindowID g_modern = nullptr;
int g_modernClicks = 0, g_modernRightClicks = 0, g_modernWheel = 0, g_modernCursor = 0, g_modernKeys = 0;
bool g_followVr = false;
int g_enteredVr = 0, g_exitingVr = 0, g_vrAtMessage = -1;

template <typename F>
F Find(const char* name) {
    return reinterpret_cast<F>(XPLMFindSymbol(name));
}

void DrawModern(XPLMWindowID window, void*) {
    int left, top, right, bottom;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    float green[3] = {0.2f, 1, 0.2f};
    XPLMDrawTranslucentDarkBox(left, top, right, bottom);
    XPLMDrawString(green, left + 4, top - 14, const_cast<char*>("modern"), nullptr, xplmFont_Basic);
}
int ClickModern(XPLMWindowID, int, int, XPLMMouseStatus status, void*) {
    if (status == xplm_MouseDown) ++g_modernClicks;
    return 1;
}
int RightClickModern(XPLMWindowID, int, int, XPLMMouseStatus status, void*) {
    if (status == xplm_MouseDown) ++g_modernRightClicks;
    return 1;
}
void KeyModern(XPLMWindowID, char, XPLMKeyFlags, char, void*, int losingFocus) { g_modernKeys += losingFocus ? 0 : 1; }
XPLMCursorStatus CursorModern(XPLMWindowID, int, int, void*) {
    ++g_modernCursor;
    return xplm_CursorArrow;
}
int WheelModern(XPLMWindowID, int, int, int, int clicks, void*) {
    g_modernWheel += clicks;
    return 1;
}

int VrDataref() {
    XPLMDataRef vr = XPLMFindDataRef("sim/graphics/VR/enabled");
    return vr ? XPLMGetDatai(vr) : -1;
}

std::string SetPositioning(int mode) {
    auto set = Find<void (*)(XPLMWindowID, int, int)>("XPLMSetWindowPositioningMode");
    auto inVr = Find<int (*)(XPLMWindowID)>("XPLMWindowIsInVR");
    auto poppedOut = Find<int (*)(XPLMWindowID)>("XPLMWindowIsPoppedOut");
    if (!g_modern) return "no modern window";
    if (!set) return "XPLMSetWindowPositioningMode not found";
    set(g_modern, mode, -1);
    char line[120];
    snprintf(line, sizeof line, "in-vr %d popped-out %d", inVr ? inVr(g_modern) : -1,
             poppedOut ? poppedOut(g_modern) : -1);
    return line;
}

std::string MakeModern(int decoration) {
    if (g_modern) return "modern window already made";
    XPLMCreateWindow_t params = {};
    params.structSize = sizeof params;
    params.left = 400;
    params.top = 600;
    params.right = 700;
    params.bottom = 450;
    params.visible = 1;
    params.drawWindowFunc = DrawModern;
    params.handleMouseClickFunc = ClickModern;
    params.handleKeyFunc = KeyModern;
    params.handleCursorFunc = CursorModern;
    params.handleMouseWheelFunc = WheelModern;
    params.decorateAsFloatingWindow = decoration;
    params.layer = xplm_WindowLayerFloatingWindows;
    params.handleRightClickFunc = RightClickModern;
    g_modern = XPLMCreateWindowEx(&params);
    if (!g_modern) return "no modern window";
    if (auto title = Find<void (*)(XPLMWindowID, const char*)>("XPLMSetWindowTitle")) title(g_modern, "Misbehave");
    return "modern window made";
}

// ---- a widget window on a native window, which can go to the headset
XPWidgetID g_widget = nullptr;
int g_widgetPresses = 0;

int WidgetMessage(XPWidgetMessage message, XPWidgetID, intptr_t, intptr_t) {
    if (message != xpMsg_PushButtonPressed) return 0;
    ++g_widgetPresses;
    return 1;
}

std::string MakeNativeWidget() {
    if (g_widget) return "widget window already made";
    if (!XPLMHasFeature("XPLM_USE_NATIVE_WIDGET_WINDOWS")) return "native widget windows not found";
    XPLMEnableFeature("XPLM_USE_NATIVE_WIDGET_WINDOWS", 1);
    g_widget = XPCreateWidget(800, 600, 1000, 450, 1, "Misbehave widget", 1, nullptr, xpWidgetClass_MainWindow);
    XPWidgetID button = XPCreateWidget(820, 560, 980, 540, 1, "Press me", 0, g_widget, xpWidgetClass_Button);
    XPAddWidgetCallback(button, WidgetMessage);
    return "widget window made";
}

std::string WidgetToVr() {
    // Not an XPLM function: the widget library's own export.
    auto underlying = reinterpret_cast<XPLMWindowID (*)(XPWidgetID)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("XPWidgets_64.dll"), "XPGetWidgetUnderlyingWindow")));
    auto set = Find<void (*)(XPLMWindowID, int, int)>("XPLMSetWindowPositioningMode");
    auto inVr = Find<int (*)(XPLMWindowID)>("XPLMWindowIsInVR");
    if (!g_widget) return "no widget window";
    if (!underlying || !set || !inVr) return "the VR functions not found";
    set(underlying(g_widget), xplm_WindowVR, -1);
    return "widget window in VR: " + std::to_string(inVr(underlying(g_widget)));
}

XPLMPluginID Other(const std::string& name) { return XPLMFindPluginBySignature(("test.misbehave." + name).c_str()); }

std::string Run(const std::string& command) {
    char line[200];
    if (command == "offthread") {
        HANDLE thread = CreateThread(nullptr, 0, OffThread, nullptr, 0, nullptr);
        if (!thread) return "no thread";
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return "thread returned";
    }
    if (command == "bypass") {
        PostMessageA(g_hidden, kCallSdk, 0, 0);
        return "posted";
    }
    if (command == "draw-outside") {
        float white[3] = {1, 1, 1};
        XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
        XPLMBindTexture2d(0, 0);
        XPLMDrawTranslucentDarkBox(0, 10, 10, 0);
        XPLMDrawString(white, 0, 0, const_cast<char*>("outside"), nullptr, xplmFont_Basic);
        XPLMDrawNumber(white, 0, 0, 1.5, 3, 1, 0, xplmFont_Basic);
        return "drew";
    }
    if (command.rfind("text ", 0) == 0) {
        snprintf(g_windowText, sizeof g_windowText, "%s", command.c_str() + 5);
        return "its window draws \"" + std::string(g_windowText) + "\"";
    }
    if (command == "drawn") {
        snprintf(line, sizeof line, "drawn inside %d times, last elapsed %.2f", g_drawnInside, g_lastElapsed);
        return line;
    }
    if (command.rfind("foreign-window ", 0) == 0) {
        XPLMWindowID theirs = nullptr;
        XPLMSendMessageToPlugin(Other(command.substr(15)), kAskWindow, &theirs);
        if (!theirs) return "no window";
        int left = 0, top = 0, right = 0, bottom = 0;
        XPLMGetWindowGeometry(theirs, &left, &top, &right, &bottom);
        XPLMGetWindowIsVisible(theirs);
        snprintf(line, sizeof line, "their window at %d,%d,%d,%d", left, top, right, bottom);
        return line;
    }
    if (command.rfind("call-other ", 0) == 0) {
        float (*theirs)() = nullptr;
        XPLMSendMessageToPlugin(Other(command.substr(11)), kAskFunction, &theirs);
        if (!theirs) return "no function";
        theirs();
        return "called";
    }
    if (command == "modern" || command == "modern decorated") return MakeModern(command == "modern" ? 0 : 1);
    if (command.rfind("position ", 0) == 0) return SetPositioning(atoi(command.c_str() + 9));
    if (command == "follow-vr" || command == "stay-in-vr") {
        g_followVr = command == "follow-vr";
        return g_followVr ? "its modern window follows the headset" : "its modern window stays where it is put";
    }
    if (command == "native-widget") return MakeNativeWidget();
    if (command == "widget-vr") return WidgetToVr();
    if (command == "widget-presses") return "pressed " + std::to_string(g_widgetPresses) + " times";
    if (command == "focus") {
        if (!g_modern) return "no modern window";
        XPLMTakeKeyboardFocus(g_modern);
        return "its modern window has the keyboard";
    }
    if (command == "modern-events") {
        snprintf(line, sizeof line, "clicks %d right-clicks %d wheel %d cursor %d keys %d", g_modernClicks,
                 g_modernRightClicks, g_modernWheel, g_modernCursor, g_modernKeys);
        return line;
    }
    if (command == "vr-messages") {
        snprintf(line, sizeof line, "entered %d exiting %d, VR dataref %d at the last", g_enteredVr, g_exitingVr,
                 g_vrAtMessage);
        return line;
    }
    if (command.rfind("box ", 0) == 0) {
        int answer = MessageBoxA(nullptr, command.c_str() + 4, "Misbehave", MB_OK | MB_ICONINFORMATION);
        return "box answered " + std::to_string(answer);
    }
    return "usage: offthread | bypass | draw-outside | drawn | text TEXT | foreign-window OTHER | call-other OTHER"
           " | modern [decorated] | position MODE | follow-vr | stay-in-vr | focus | modern-events | vr-messages"
           " | box TEXT | native-widget | widget-vr | widget-presses";
}

}  // namespace

extern "C" {

int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    std::string name = FolderName();
    snprintf(outName, 256, "%s", name.c_str());
    snprintf(outSignature, 256, "test.misbehave.%s", name.c_str());
    strcpy(outDescription, "Breaks the simulator's calling rules on request");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HiddenProc;
    wc.hInstance = Self();
    std::string cls = "MisbehaveHidden" + name;
    wc.lpszClassName = cls.c_str();
    RegisterClassA(&wc);
    g_hidden = CreateWindowExA(0, cls.c_str(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    g_window = XPLMCreateWindow(100, 200, 300, 100, 1, Draw, Key, Mouse, nullptr);
    return g_hidden ? 1 : 0;
}

void XPluginStop(void) {
    XPLMDestroyWindow(g_window);
    g_window = nullptr;
    if (g_modern) XPLMDestroyWindow(g_modern);
    g_modern = nullptr;
    if (g_widget) XPDestroyWidget(g_widget, 1);
    g_widget = nullptr;
    if (g_hidden) DestroyWindow(g_hidden);
    g_hidden = nullptr;
    UnregisterClassA(("MisbehaveHidden" + FolderName()).c_str(), Self());
}

int XPluginEnable(void) { return 1; }
void XPluginDisable(void) {}

void XPluginReceiveMessage(XPLMPluginID, int message, void* param) {
    if (message == kAskWindow && param) *static_cast<XPLMWindowID*>(param) = g_window;
    if (message == kAskFunction && param) *static_cast<float (**)()>(param) = &ElapsedFromHere;
    if (message == XPLM_MSG_ENTERED_VR || message == XPLM_MSG_EXITING_VR) {
        (message == XPLM_MSG_ENTERED_VR ? g_enteredVr : g_exitingVr) += 1;
        g_vrAtMessage = VrDataref();
        // As plug-ins do: into the headset on the way in, back to the desktop on the way out.
        if (g_followVr && g_modern)
            SetPositioning(message == XPLM_MSG_ENTERED_VR ? xplm_WindowVR : xplm_WindowPositionFree);
    }
}

__declspec(dllexport) int StandInControl(const char* command, char* out, int outSize) {
    if (!out || outSize <= 0) return 0;
    std::string reply = Run(command ? command : "");
    snprintf(out, size_t(outSize), "%s", reply.c_str());
    return reply.rfind("usage", 0) == 0 || reply.rfind("no ", 0) == 0 ? 0 : 1;
}

}  // extern "C"
