#pragma once
// The interception of the simulator's window, string and hot-key functions.
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"

// Puts the interceptions in place; false when the engine could not start or a hook could not
// be armed (the functions after it stay as they are; each failure is logged).
[[nodiscard]] bool InstallHooks();
// Takes them out again, in the order that stops the string redraw first.
[[nodiscard]] bool RemoveHooks();
// Some interception is still in place (a start that failed after InstallHooks leaves them).
bool HooksInstalled();

// The replacements, with the signatures of the functions they stand in for.
XPLMWindowID CreateWindowDetour(int left, int top, int right, int bottom, int isVisible,
                                XPLMDrawWindow_f draw, XPLMHandleKey_f key, XPLMHandleMouseClick_f mouse,
                                void* refcon);
void DestroyWindowDetour(XPLMWindowID window);
void DrawStringDetour(float* colour, int x, int y, char* text, int* wordWrapWidth, XPLMFontID font);
XPLMHotKeyID RegisterHotKeyDetour(char virtualKey, XPLMKeyFlags flags, const char* description,
                                  XPLMHotKey_f callback, void* refcon);
void UnregisterHotKeyDetour(XPLMHotKeyID hotKey);

// The text redraw folds case as the system's code page does; once at plug-in start.
void UseSystemTextFolding();

// Forgets the ATC text source when the module it points into is unloaded, so nothing reads the
// server's memory after it is gone. From plug-in start to stop.
void WatchServerUnload();
void StopWatchingServerUnload();
