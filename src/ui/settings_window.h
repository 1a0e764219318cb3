#pragma once
// The settings and About windows.
#include <cstdint>

#include "XPWidgets.h"

// The two windows' handles and Open flags: the menu opens them, link stop and their close boxes
// close them; all on the simulator's thread.
extern XPWidgetID SettingsWindow;
extern int SettingsWindowOpen;
extern XPWidgetID AboutWindow;
extern int AboutWindowOpen;
// Both windows forgotten (handles, Open flags, their widgets), as at load; live widgets are left
// to the simulator. Simulator's thread only.
void ResetSettingsWindows();

// The maker's web site that the About window's button opens.
extern const char* const MakerWebSite;

// Build the window with its top-left corner at (left, top), width wide and height high (screen
// coordinates, y up) and keep its handles. The caller sets the matching Open flag.
void CreateSettingsWindow(int left, int top, int width, int height);
void CreateAboutWindow(int left, int top, int width, int height);

// Destroy the window and clear its handles and Open flag; nothing when it is not open.
void CloseSettingsWindow();
void CloseAboutWindow();

int SettingsWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);
int AboutWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);
