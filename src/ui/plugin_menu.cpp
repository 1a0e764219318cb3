#include "ui/plugin_menu.h"

namespace {
XPLMMenuID g_pluginMenu = nullptr;
}  // namespace

XPLMMenuID const& PluginMenu = g_pluginMenu;

void UsePluginMenu(XPLMMenuID menu) { g_pluginMenu = menu; }

void ResetPluginMenu() { g_pluginMenu = nullptr; }
