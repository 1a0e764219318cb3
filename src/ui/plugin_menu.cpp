#include "ui/plugin_menu.h"

namespace {
XPLMMenuID g_pluginMenu = nullptr;
}  // namespace

XPLMMenuID PluginMenu() { return g_pluginMenu; }

void UsePluginMenu(XPLMMenuID menu) { g_pluginMenu = menu; }

void ResetPluginMenu() { g_pluginMenu = nullptr; }
