#pragma once
// Process-wide state of the plug-in shell, shared by every subsystem.
#include <windows.h>

#include <atomic>

#include "XPLMMenus.h"

// 1 while the link is up; read from the timer and worker threads.
extern std::atomic<int> LinkActive;
// 1 when the plug-in runs as a native 64-bit process on 64-bit Windows.
extern int Is64BitProcess;
// The first flight loop has run since the plug-in was last enabled.
extern int FirstFlightLoopDone;
// The first flight loop is registered and has not run yet.
extern int FirstFlightLoopPending;

// The plug-in's submenu under the simulator's Plugins menu, and its entry there.
extern XPLMMenuID PluginMenu;
extern int PluginMenuEntry;

enum PluginMenuItem {
    MenuEnable = 0,
    MenuDisable = 1,
    MenuSettings = 2,
    MenuFlightPlanning = 3,
    MenuLaunch = 4,
    MenuKeyboardHints = 5,
    MenuManual = 6,
    MenuViewMode = 7,
    MenuAbout = 8,
    MenuItemCount = 9
};

// Messages other plug-ins send us (and we send the sibling plug-in).
enum : int {
    MsgHideAtcText = 0x1111111,
    MsgShowAtcText = 0x1111112,
    MsgPlaceAtcText = 0x1111113,
    MsgStopLink = 0x1111114
};

// The three critical sections, alive from the end of XPluginStart to XPluginStop.
extern CRITICAL_SECTION StartLinkLock;
extern CRITICAL_SECTION RadioLookupLock;
extern CRITICAL_SECTION MonitorTimerLock;

// Link start and stop, and the first flight loop.
bool StartLink();
bool StopLink();
float FirstFlightLoop(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);
// Registers the first flight loop to run 8 s from now, unless it is already waiting.
void ScheduleFirstFlightLoop();
void CancelFirstFlightLoop();
// The deferred-work thread starts with the monitor's timer, after the first link start has armed
// its hooks: the freeze that arms them then has one thread less to suspend (each took it
// milliseconds). It stops when the plug-in is disabled.
void StartDeferredWork();

// Writes 0 into every hot-key slot of the IPC server, all in one exchange (with the identity
// marker at 0x330A).
void ClearServerHotkeys();
// The identity the server must present (simulator code, server version, marker, hot-key slot
// count): each read, and written when it differs.
void PrepareServerIdentity();

// The plug-in menu's handler; item reference = item number.
void MenuHandler(void* menuRef, void* itemRef);

// Menu states after the link was started or stopped from the menu, auto-start or a message.
void MenuAfterLinkStarted();
void MenuAfterLinkStopped();
