#pragma once
// Link start and stop, the first flight loop that starts the link by itself, and the messages
// other plug-ins send us.
#include <windows.h>

// Messages other plug-ins send us (and we send the sibling plug-in).
enum : int {
    MsgHideAtcText = 0x1111111,
    MsgShowAtcText = 0x1111112,
    MsgPlaceAtcText = 0x1111113,
    MsgStopLink = 0x1111114
};

// The first flight loop has run since the plug-in was last enabled (FirstFlightLoopDone).
bool FirstFlightLoopHasRun();
// After a disable: the next enable waits for the first flight loop again.
void ForgetFirstFlightLoop();
// The link's bookkeeping back to its values at load: a link still up ended (its parts undone),
// the first flight loop neither done nor pending, the link's up flag and Is64BitProcess cleared
// (ResetPluginState). Only while no worker runs and the simulator's callbacks are not running.
void ResetLinkState();

// Link start and stop, and the first flight loop. The start makes the link (shell/link_object.h)
// and keeps it until the stop ends it; a refused start leaves nothing of it.
[[nodiscard]] bool StartLink();
[[nodiscard]] bool StopLink();
float FirstFlightLoop(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);
// Registers the first flight loop to run 8 s from now, unless it is already waiting.
void ScheduleFirstFlightLoop();
void CancelFirstFlightLoop();
// The deferred-work thread starts with the monitor's timer, after the first link start has armed
// its hooks: the freeze that arms them then has one thread less to suspend (each took it
// milliseconds). It stops when the plug-in is disabled.
void StartDeferredWork();

// The plug-in menu's handler; item reference = item number.
void MenuHandler(void* menuRef, void* itemRef);

// Menu states after the link was started or stopped from the menu, auto-start or a message.
void MenuAfterLinkStarted();
void MenuAfterLinkStopped();
