#pragma once
// The ATC program's main form and its connect button, found on the desktop.
#include <windows.h>

// The main form by the captions of the list in order, the first `captions` of them (6 or 7).
HWND FindAtcMainForm(int captions);
// The form exists and its direct child "&Disconnect  from FS" button is enabled. When so and
// the option asks for it, a normal-priority ATC process is raised to above normal.
// thread: any (window calls only).
bool AtcProgramConnected();
// Posts WM_CLOSE to the main form (all seven captions); nothing when there is none.
void CloseAtcProgram();
