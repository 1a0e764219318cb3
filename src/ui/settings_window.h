#pragma once
// The settings and About windows.
#include "XPWidgets.h"

extern XPWidgetID SettingsWindow;
extern int SettingsWindowOpen;
extern XPWidgetID AboutWindow;
extern int AboutWindowOpen;
