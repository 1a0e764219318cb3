// Starting and stopping the link, and the first flight loop after enabling.
#include "XPLMMenus.h"
#include "XPLMProcessing.h"
#include "config/options.h"
#include "shell/guard.h"
#include "shell/plugin.h"

float FirstFlightLoop(float, float, int, void*) {
    return Guarded("FirstFlightLoop", 0.0f, [] {
        FirstFlightLoopDone = 1;
        return 0.0f;  // once per registration
    });
}

bool StartLink() {
    EnterCriticalSection(&StartLinkLock);
    // The IPC client is not part of this build yet, so no link can be built.
    LogLine("the link cannot start: no IPC client in this build");
    LeaveCriticalSection(&StartLinkLock);
    return false;
}

bool StopLink() {
    if (LinkActive.load() == 1) {
        XPLMUnregisterFlightLoopCallback(FirstFlightLoop, nullptr);
        LinkActive = 0;
    }
    return true;
}

void MenuAfterLinkStarted() {
    XPLMEnableMenuItem(PluginMenu, MenuEnable, 0);
    XPLMEnableMenuItem(PluginMenu, MenuDisable, 1);
    XPLMCheckMenuItem(PluginMenu, MenuKeyboardHints,
                      PluginOptions.EnableKeyboardHints ? xplm_Menu_Checked : xplm_Menu_Unchecked);
}

void MenuAfterLinkStopped() {
    XPLMEnableMenuItem(PluginMenu, MenuEnable, 1);
    XPLMEnableMenuItem(PluginMenu, MenuDisable, 0);
}
