#include "ui/plugin_menu.h"

XPLMMenuID PluginMenu = nullptr;

void ResetPluginMenu() { PluginMenu = nullptr; }
