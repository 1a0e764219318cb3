#include "ui/hints_window.h"

#include <cstring>

XPLMWindowID HintsWindow = nullptr;
char OptionListText[kOptionListSize] = "";
int OptionCount = 0;
int EmergencyMode = 0;
char HotkeyKeys[21] = {};
SRWLOCK OptionListLock = SRWLOCK_INIT;

void ClearOptionList() {
    AcquireSRWLockExclusive(&OptionListLock);
    memset(OptionListText, 0, sizeof OptionListText);
    OptionCount = 0;
    ReleaseSRWLockExclusive(&OptionListLock);
}

// The option lists by flight phase come with the keyboard hints.
void BuildOptionList() {}

// The panel's drawing, dragging and key watching come with the keyboard hints; until then the
// window exists, draws nothing, and every key goes on to the simulator.
void DrawHints(XPLMWindowID, void*) {}

void HintsKeyHandler(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}

int HintsMouseClick(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 1; }

int HintsKeySniffer(char, XPLMKeyFlags, char, void*) { return 1; }
