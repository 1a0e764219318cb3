// A third-party style plug-in: what a real server plug-in does in its lifecycle, logged line by
// line so a scenario can follow it.
//   start:   a menu with a separator and a submenu, a published float-array dataref, a command
//   enable:  a flight loop made as an object and scheduled, a draw callback, a widget dialog
//   running: the loop counts its calls and reads the array back; menu items stop and restart it
//   disable/stop: everything undone in reverse
// It also writes to its console, as real plug-ins do; none of that may reach the scenario output.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgetUtils.h"
#include "XPWidgets.h"

namespace {

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[512] = "ThirdParty: ";
    va_list args;
    va_start(args, format);
    vsnprintf(line + strlen(line), sizeof line - strlen(line) - 1, format, args);
    va_end(args);
    strcat(line, "\n");
    XPLMDebugString(line);
}

XPLMMenuID g_menu = nullptr;
int g_menuItem = -1;
XPLMFlightLoopID g_loop = nullptr;
int g_loopCalls = 0;
XPLMDataRef g_arrayRef = nullptr;
float g_array[4] = {1.5f, 2.5f, 3.5f, 4.5f};
XPLMCommandRef g_command = nullptr;
int g_commandPhases = 0;
XPWidgetID g_widgets[3] = {};

// ---- the published array: read in parts, written in parts
int ReadArray(void*, float* out, int offset, int max) {
    const int size = 4;
    if (!out) return size;
    if (offset < 0 || offset >= size || max <= 0) return 0;
    int n = max < size - offset ? max : size - offset;
    memcpy(out, g_array + offset, n * sizeof(float));
    return n;
}

void WriteArray(void*, float* in, int offset, int count) {
    for (int i = 0; i < count && offset + i < 4; ++i)
        if (offset + i >= 0) g_array[offset + i] = in[i];
}

// The array accessors looked up by name, as plug-ins built for several simulator versions do.
typedef int (*GetDatavf_f)(XPLMDataRef, float*, int, int);
typedef void (*SetDatavf_f)(XPLMDataRef, float*, int, int);

void ReadBackArray() {
    auto get = reinterpret_cast<GetDatavf_f>(XPLMFindSymbol("XPLMGetDatavf"));
    auto set = reinterpret_cast<SetDatavf_f>(XPLMFindSymbol("XPLMSetDatavf"));
    if (!get || !set) {
        Log("array accessors not offered by this simulator");
        return;
    }
    XPLMDataRef ref = XPLMFindDataRef("thirdparty/levels");
    float values[4] = {};
    int size = get(ref, nullptr, 0, 0);
    float twice[2] = {g_array[1] * 2, g_array[2] * 2};
    set(ref, twice, 1, 2);
    int n = get(ref, values, 0, 4);
    Log("array size %d, read %d: %.1f %.1f %.1f %.1f", size, n, values[0], values[1], values[2], values[3]);
}

float Loop(float sinceLast, float sinceLoop, int counter, void*) {
    ++g_loopCalls;
    Log("flight loop call %d", g_loopCalls);
    if (g_loopCalls == 2) ReadBackArray();
    // Every second, three times; then it waits to be scheduled again.
    return g_loopCalls % 3 == 0 ? 0.0f : 1.0f;
}

int Draw(XPLMDrawingPhase phase, int before, void*) {
    static int frames = 0;
    if (++frames == 1) Log("drawing in phase %d (%s)", phase, before ? "before" : "after");
    return 1;
}

int Command(XPLMCommandRef, XPLMCommandPhase phase, void*) {
    g_commandPhases |= 1 << phase;
    Log("command phase %d", phase);
    return 1;
}

void MenuPicked(void*, void* item) {
    intptr_t which = reinterpret_cast<intptr_t>(item);
    if (which == 1) {
        XPLMScheduleFlightLoop(g_loop, -1.0f, 1);  // next frame
        Log("loop scheduled from the menu");
    } else if (which == 2) {
        XPLMScheduleFlightLoop(g_loop, 0.0f, 1);
        Log("loop stopped from the menu");
    } else if (which == 3) {
        XPLMCommandOnce(g_command);
    }
}

int DialogHandler(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (message == xpMessage_CloseButtonPushed) {
        XPHideWidget(widget);
        Log("dialog closed");
        return 1;
    }
    if (message == xpMsg_PushButtonPressed) {
        char text[64] = "";
        XPGetWidgetDescriptor(reinterpret_cast<XPWidgetID>(param1), text, sizeof text);
        Log("button \"%s\" pushed", text);
        XPUMoveWidgetBy(widget, 10, -10);
        int l, t, r, b;
        XPGetWidgetGeometry(widget, &l, &t, &r, &b);
        Log("dialog moved to %d,%d,%d,%d", l, t, r, b);
        return 1;
    }
    return 0;
}

}  // namespace

// The entry points as third parties declare them: no module-definition file, no extern "C" of
// their own; the SDK's PLUGIN_API exports them under the names the simulator looks for.
PLUGIN_API int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    strcpy(outName, "ThirdParty");
    strcpy(outSignature, "test.thirdparty");
    strcpy(outDescription, "Uses the SDK as third-party plug-ins do");
    printf("ThirdParty console: starting\n");
    fprintf(stderr, "ThirdParty console: a warning on stderr\n");
    fflush(stdout);

    int item = XPLMAppendMenuItem(XPLMFindPluginsMenu(), "Third Party", nullptr, 0);
    g_menu = XPLMCreateMenu("Third Party", XPLMFindPluginsMenu(), item, MenuPicked, nullptr);
    XPLMAppendMenuItem(g_menu, "Run loop", reinterpret_cast<void*>(1), 0);
    XPLMAppendMenuItem(g_menu, "Stop loop", reinterpret_cast<void*>(2), 0);
    XPLMAppendMenuSeparator(g_menu);
    g_menuItem = XPLMAppendMenuItem(g_menu, "Run command", reinterpret_cast<void*>(3), 0);

    g_arrayRef = XPLMRegisterDataAccessor("thirdparty/levels", xplmType_FloatArray, 1, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, ReadArray, WriteArray,
                                          nullptr, nullptr, nullptr, nullptr);
    Log("dataref published: %s, types %d", g_arrayRef ? "yes" : "no", XPLMGetDataRefTypes(g_arrayRef));

    g_command = XPLMCreateCommand("thirdparty/do_it", "Does it");
    XPLMRegisterCommandHandler(g_command, Command, 1, nullptr);
    return 1;
}

PLUGIN_API int XPluginEnable(void) {
    XPLMCreateFlightLoop_t params = {sizeof params, xplm_FlightLoop_Phase_AfterFlightModel, Loop, nullptr};
    g_loop = XPLMCreateFlightLoop(&params);
    XPLMScheduleFlightLoop(g_loop, 1.0f, 1);
    XPLMRegisterDrawCallback(Draw, xplm_Phase_Window, 0, nullptr);

    const XPWidgetCreate_t dialog[] = {
        {100, 400, 300, 300, 1, "Third Party", 1, NO_PARENT, xpWidgetClass_MainWindow},
        {110, 380, 290, 360, 1, "Levels", 0, 0, xpWidgetClass_Caption},
        {110, 350, 200, 330, 1, "Nudge", 0, 0, xpWidgetClass_Button},
    };
    XPUCreateWidgets(dialog, WIDGET_COUNT(dialog), nullptr, g_widgets);
    XPSetWidgetProperty(g_widgets[0], xpProperty_MainWindowHasCloseBoxes, 1);
    XPAddWidgetCallback(g_widgets[0], DialogHandler);
    Log("enabled: loop %s, dialog with %d children", g_loop ? "made" : "missing", XPCountChildWidgets(g_widgets[0]));
    printf("ThirdParty console: enabled\n");
    fflush(stdout);
    // Straight to the process's standard output, as a plug-in with a C runtime of its own does.
    const char raw[] = "ThirdParty console: written to the standard handle\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), raw, sizeof raw - 1, &written, nullptr);
    return 1;
}

PLUGIN_API void XPluginDisable(void) {
    XPDestroyWidget(g_widgets[0], 1);
    XPLMUnregisterDrawCallback(Draw, xplm_Phase_Window, 0, nullptr);
    XPLMDestroyFlightLoop(g_loop);
    g_loop = nullptr;
    Log("disabled after %d loop calls, command phases 0x%x", g_loopCalls, g_commandPhases);
}

PLUGIN_API void XPluginStop(void) {
    XPLMUnregisterCommandHandler(g_command, Command, 1, nullptr);
    XPLMUnregisterDataAccessor(g_arrayRef);
    XPLMDestroyMenu(g_menu);
    Log("stopped");
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID, int, void*) {}
