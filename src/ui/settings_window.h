#pragma once
// The settings and About windows.
#include <cstdint>

#include "XPWidgets.h"

// Items 2 and 8 of the menu: one window at most. A closed one is built with its top-left corner
// at the screen's centre, width wide and height high; a hidden one is shown again, a visible one
// left as it is. Simulator's thread, like everything below.
void OpenSettingsWindow(int width, int height);
void OpenAboutWindow(int width, int height);
// The window while it is open, else null; open or not.
XPWidgetID SettingsWindowId();
bool SettingsWindowIsOpen();
XPWidgetID AboutWindowId();
bool AboutWindowIsOpen();
// Both windows forgotten (handles, Open flags, their widgets), as at load; live widgets are left
// to the simulator. Simulator's thread only.
void ResetSettingsWindows();

// The maker's web site that the About window's button opens.
extern const char* const MakerWebSite;

// Build the window with its top-left corner at (left, top), width wide and height high (screen
// coordinates, y up), keep its handles and count it open. Only while it is closed: the menu goes
// through OpenSettingsWindow / OpenAboutWindow.
void CreateSettingsWindow(int left, int top, int width, int height);
void CreateAboutWindow(int left, int top, int width, int height);

// Destroy the window and clear its handles and Open flag; nothing when it is not open.
void CloseSettingsWindow();
void CloseAboutWindow();

int SettingsWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);
int AboutWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);
