#include "ui/plugin_menu.h"

XPLMMenuID PluginMenu = nullptr;
int PluginMenuEntry = -1;
