#pragma once
// The keyboard hints panel and the key watcher.
#include <windows.h>

#include "XPLMDisplay.h"

extern XPLMWindowID HintsWindow;
constexpr int kOptionListSize = 700;
extern char OptionListText[kOptionListSize];
extern int OptionCount;
extern int EmergencyMode;
// The key characters of the ATC program's 21 hotkeys, in table order.
extern char HotkeyKeys[21];

// OptionListText is rebuilt and cleared on worker threads while the simulator's thread draws
// it: every access holds this lock.
extern SRWLOCK OptionListLock;
void ClearOptionList();
// Rebuilds OptionListText and OptionCount for the current radios, ground state and hotkeys.
void BuildOptionList();

void DrawHints(XPLMWindowID window, void* refcon);
void HintsKeyHandler(XPLMWindowID window, char key, XPLMKeyFlags flags, char virtualKey, void* refcon,
                     int losingFocus);
int HintsMouseClick(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon);
int HintsKeySniffer(char key, XPLMKeyFlags flags, char virtualKey, void* refcon);
