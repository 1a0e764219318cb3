// The five entry points the simulator calls, and the checks that decide whether we load.
#include <windows.h>

#include <cstring>

#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "XPLMProcessing.h"
#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/module_release.h"
#include "base/plugin_state.h"
#include "bridge/atc_text.h"
#include "bridge/intercept.h"
#include "bridge/monitor.h"
#include "config/atc_locate.h"
#include "config/options.h"
#include "shell/link.h"
#include "shell/startup_checks.h"
#include "simlink/data_feed.h"
#include "ui/plugin_menu.h"
#include "version.h"

namespace {

// The plug-in's item in the simulator's Plugins menu; its submenu is PluginMenu.
int PluginMenuEntry = -1;

const char* const kMenuItems[MenuItemCount] = {
    "Enable",        "Disable",     "Plugin Settings",     "Flight Planning", "Launch QV3 or QVE",
    "Show keyboard hints     TAB", "Show Manual", "Toggle XP view mode", "About",
};

// How long XPluginStop waits for a running timer tick or radio refresh before giving up on
// deleting the locks; it exceeds the longest IPC exchange (9 tries of 2 s).
constexpr unsigned kBackgroundWorkWaitMs = 30000;

void Refuse(const char* why, const char* text) {
    LogLine("not loaded: %s", why);
    MessageBoxA(nullptr, text, "DURarUravud", MB_OK | MB_ICONWARNING);
}

void CopyIdentity(char* out, const char* text) {
    // The simulator's buffers hold at least 256 characters.
    strncpy(out, text, 255);
    out[255] = 0;
}

void BuildPluginMenu() {
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    PluginMenuEntry = XPLMAppendMenuItem(plugins, "QVE to X-Plane", nullptr, 1);
    UsePluginMenu(XPLMCreateMenu("QVE to X-Plane", plugins, PluginMenuEntry, MenuHandler, nullptr));
    for (int i = 0; i < MenuItemCount; ++i)
        XPLMAppendMenuItem(PluginMenu(), kMenuItems[i], reinterpret_cast<void*>(static_cast<intptr_t>(i)), 1);
}

void PlaceAtcText() {
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    ScreenRect rect;
    if (CornerRect(PluginOptions.WindowPosition, width, height, &rect)) SetAtcStripRect(rect);
    MoveAtcStrip();
    ShowAtcStrip(true);
}

}  // namespace

extern "C" {

int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    return Guarded("XPluginStart", 0, [&] {
        RememberSimulatorThread();
        // First, so that every report from a pilot's log names the build it came from.
        LogLine("version " DURAR_VERSION);
        if (!WindowsVersionOk()) {
            Refuse("Windows older than Vista", "DURarUravud plugin requires Windows Vista or higher!\nIt will not load.");
            return 0;
        }
        if (!ElevationOk()) {
            Refuse("the simulator does not run with full (elevated) rights",
                   "DURarUravud plugin requires setting X-Pane.exe and X-Plane-32Bit.exe to run as "
                   "administrator\n\nThank you");
            return 0;
        }
        char* atcFolder = LocateAtcProgram();
        if (!atcFolder) {
            Refuse("the ATC program's folder is not known (no installer entry, no choice made)",
                   "DURarUravud plugin requires\nthird party QVE ATC program\nIt won't load until it knows the path "
                   "to that program.\n\nThank you");
            return 0;
        }
        HeapFree(GetProcessHeap(), 0, atcFolder);

        CopyIdentity(outName, "DURarUravud");
        CopyIdentity(outSignature, "ndvq.DURarUravud");
        CopyIdentity(outDescription, "QVE to X-Plane");
        if (Is64BitWindows()) Is64BitProcess = IsWow64() ? 0 : 1;
        UseSystemTextFolding();
        BuildPluginMenu();
        CreatePluginLocks();
        WatchServerUnload();
        return 1;
    });
}

void XPluginStop(void) {
    GuardedVoid("XPluginStop", [] {
        StopWatchingServerUnload();
        DeferredWork.Stop();
        FlushOptionWrites();
        if (!DeletePluginLocks(kBackgroundWorkWaitMs))
            LogLine("background work still running at stop; its locks are left in place");
        ReleaseHeldModules();
    });
}

int XPluginEnable(void) {
    return Guarded("XPluginEnable", 1, [] {
        // A refused start has logged why; the menu is left as the disable left it (offering Enable).
        if (FirstFlightLoopHasRun()) (void)StartLink();
        else ScheduleFirstFlightLoop();
        return 1;
    });
}

void XPluginDisable(void) {
    GuardedVoid("XPluginDisable", [] {
        (void)StopLink();  // always true: what fails inside is caught and logged there
        // The menu outlives the disable: it must offer the start again when the plug-in comes
        // back, whether the link was up or a start was refused.
        MenuAfterLinkStopped();
        // The timer and the flight loops outlive a link that never came up; nothing of ours
        // may run once the simulator has disabled (and may next unload) the plug-in.
        DeleteMonitorTimer();
        CancelFirstFlightLoop();
        XPLMUnregisterFlightLoopCallback(SampleFlightLoop, nullptr);
        ForgetFirstFlightLoop();
        // Last: the link's stop may have handed it work. Option writes it had not made yet are
        // made here, so the file holds them before the library can go.
        DeferredWork.Stop();
        FlushOptionWrites();
        ReleaseHeldModules();
    });
}

void XPluginReceiveMessage(XPLMPluginID from, int message, void* param) {
    GuardedVoid("XPluginReceiveMessage", [&] {
        switch (message) {
            case MsgHideAtcText:
                SetHideAtcText(true);
                break;
            case MsgShowAtcText:
                SetHideAtcText(false);
                break;
            case MsgPlaceAtcText:
                PlaceAtcText();
                break;
            case MsgStopLink:
                if (StopLink()) MenuAfterLinkStopped();
                break;
            default:
                break;  // the simulator's own messages and everything else
        }
    });
}

}  // extern "C"
