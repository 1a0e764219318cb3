#pragma once
// The plug-in's submenu under the simulator's Plugins menu: made in XPluginStart (shell), its
// check marks and enables set by the shell's menu code and by the hints window (item 5).
#include "XPLMMenus.h"

// Made once in XPluginStart and handed over (UsePluginMenu); null before. Simulator's thread only.
XPLMMenuID PluginMenu();
void UsePluginMenu(XPLMMenuID menu);
// Forgets the menu (as at load); the simulator's own menu is left as it is.
void ResetPluginMenu();

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
