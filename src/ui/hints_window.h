#pragma once
// The keyboard hints panel and the key watcher.
#include <windows.h>

#include <atomic>

#include "XPLMDisplay.h"
#include "bridge/option_list.h"
#include "config/hotkeys.h"
#include "ui/hints_text.h"

// Made and destroyed by link start and stop, used by the panel's callbacks: simulator's thread only.
// Kept in hints_window.cpp; null while no link has it.
XPLMWindowID HintsWindowNow();
// The panel's window as link start made it (null when it could not be made).
void UseHintsWindow(XPLMWindowID window);
// Destroys the panel's window when there is one, and forgets it.
void DestroyHintsWindow();
// The panel's state as at load: no window (a live one is left to the simulator), no refresh of
// its own running or remembered, the mouse button up. Only while no panel refresh runs.
void ResetHintsWindowState();
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
