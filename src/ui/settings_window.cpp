#include "ui/settings_window.h"

XPWidgetID SettingsWindow = nullptr;
int SettingsWindowOpen = 0;
XPWidgetID AboutWindow = nullptr;
int AboutWindowOpen = 0;
