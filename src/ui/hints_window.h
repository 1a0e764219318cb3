#pragma once
// The keyboard hints panel and the key watcher.
#include <windows.h>

#include <atomic>

#include "XPLMDisplay.h"
#include "config/hotkeys.h"
#include "ui/hints_text.h"

extern XPLMWindowID HintsWindow;
extern char OptionListText[kOptionListSize];
extern int OptionCount;
// 1 while the option list is the emergency answer list.
extern std::atomic<int> EmergencyMode;

// OptionListText and OptionCount are rebuilt and cleared on worker threads while the simulator's
// thread draws them. They are published whole: a list is built apart and copied in under this
// lock, and readers copy it out under the same lock, so nobody sees a half-built list.
extern SRWLOCK OptionListLock;
void ClearOptionList();
void PublishOptionList(const OptionList& list);
OptionList CurrentOptionList();
// Rebuilds the list for the current COM1, ground state, EmergencyMode, radios and hotkeys. Any
// thread: on the simulator's thread it reads the two datarefs, elsewhere the values that the
// simulator's thread samples every second.
void BuildOptionList();

// EnableKeyboardHints and what mirrors it: menu item 5's check mark and the window's visibility.
// Every change of the option goes through here (TAB, the close box, the menu's item 5).
void SetKeyboardHints(int on);
void ToggleKeyboardHints();
// Sets menu item 5's check mark from EnableKeyboardHints.
void ShowKeyboardHintsCheckMark();

void DrawHints(XPLMWindowID window, void* refcon);
void HintsKeyHandler(XPLMWindowID window, char key, XPLMKeyFlags flags, char virtualKey, void* refcon,
                     int losingFocus);
int HintsMouseClick(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon);
// The key watcher (ui/key_watcher.cpp).
int HintsKeySniffer(char key, XPLMKeyFlags flags, char virtualKey, void* refcon);
