// Menus: the menu bar with its Plugins menu, plug-in submenus, picking items.
#include <algorithm>
#include <cstring>

#include "world.h"

namespace sim {

void ResetMenus() {
    World& w = W();
    w.menus.clear();
    w.menuBar = std::make_unique<Menu>();
    w.menuBar->name = "menubar";
    auto plugins = std::make_unique<Menu>();
    plugins->name = "Plugins";
    w.pluginsMenu = plugins.get();
    MenuItem entry;
    entry.name = "Plugins";
    entry.submenu = plugins.get();
    w.menuBar->items.push_back(entry);
    w.menus.push_back(std::move(plugins));
}

static Menu* LiveMenu(XPLMMenuID id, const char* api) {
    for (auto& m : W().menus)
        if (m.get() == id && !m->dead) return m.get();
    if (id) Misuse(Format("%s: not a live menu (%p)", api, id));
    return nullptr;
}

// Menu indices are "relative to your plugin's menus only": in a menu shared by several
// plug-ins (the Plugins menu) the caller's n-th item is its n-th own one. Gives the position in
// the menu's list, or -1.
static int Position(const Menu& m, int index) {
    int owner = CurrentPlugin();
    if (index < 0) return -1;
    for (size_t i = 0; i < m.items.size(); ++i)
        if (m.items[i].owner == owner && index-- == 0) return (int)i;
    return -1;
}

static int OwnItemCount(const Menu& m) {
    int owner = CurrentPlugin(), n = 0;
    for (const MenuItem& item : m.items) n += item.owner == owner ? 1 : 0;
    return n;
}

static MenuItem* Item(XPLMMenuID menu, int index, const char* api) {
    Menu* m = LiveMenu(menu, api);
    if (!m) return nullptr;
    int at = Position(*m, index);
    if (at < 0) {
        Misuse(Format("%s: no item %d of %s in menu \"%s\"", api, index, PluginName(CurrentPlugin()).c_str(),
                      m->name.c_str()));
        return nullptr;
    }
    return &m->items[at];
}

static void Describe(const Menu* menu, const std::string& prefix, std::string& out) {
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& item = menu->items[i];
        if (item.separator) continue;
        std::string path = prefix.empty() ? item.name : prefix + "|" + item.name;
        const char* check = item.check == xplm_Menu_Checked     ? " checked"
                            : item.check == xplm_Menu_Unchecked ? " unchecked"
                                                                : "";
        out += Format("menu [%d] \"%s\" ref=%lld %s%s%s\n", (int)i, path.c_str(), (long long)(intptr_t)item.itemRef,
                      item.enabled ? "enabled" : "disabled", check, item.submenu ? " submenu" : "");
        if (item.submenu && !item.submenu->dead) Describe(item.submenu, path, out);
    }
}

std::string DescribeMenus() {
    std::string out;
    Describe(W().menuBar.get(), "", out);
    return out;
}

// Finds the item at a '|'-separated path of item texts; its menu comes back through *owner.
static MenuItem* FindPath(const char* path, Menu** owner) {
    Menu* menu = W().menuBar.get();
    std::string rest = path ? path : "";
    while (menu) {
        size_t bar = rest.find('|');
        std::string name = rest.substr(0, bar);
        MenuItem* found = nullptr;
        for (MenuItem& item : menu->items)
            if (!item.separator && item.name == name) {
                found = &item;
                break;
            }
        if (!found) return nullptr;
        if (bar == std::string::npos) {
            *owner = menu;
            return found;
        }
        rest = rest.substr(bar + 1);
        menu = found->submenu && !found->submenu->dead ? found->submenu : nullptr;
    }
    return nullptr;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API int SIM_PickMenuItem(const char* path) {
    Menu* menu = nullptr;
    MenuItem* item = FindPath(path, &menu);
    if (!item) return 0;
    if (!item->enabled || item->submenu || !menu->handler) return 1;
    XPLMMenuHandler_f handler = menu->handler;
    void* menuRef = menu->menuRef;
    void* itemRef = item->itemRef;
    PluginScope scope(menu->owner, "menu");
    handler(menuRef, itemRef);
    return 1;
}

SIM_API int SIM_MenuItemState(const char* path) {
    Menu* menu = nullptr;
    MenuItem* item = FindPath(path, &menu);
    if (!item) return -1;
    return (item->enabled ? 1 : 0) | (item->check << 1);
}

XPLM_API XPLMMenuID XPLMFindPluginsMenu(void) {
    ApiCall("XPLMFindPluginsMenu");
    return W().pluginsMenu;
}

XPLM_API XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                                   XPLMMenuHandler_f inHandler, void* inMenuRef) {
    ApiCall("XPLMCreateMenu");
    auto menu = std::make_unique<Menu>();
    menu->name = inName ? inName : "";
    menu->handler = inHandler;
    menu->menuRef = inMenuRef;
    menu->owner = CurrentPlugin();
    Menu* id = menu.get();
    if (inParentMenu) {
        MenuItem* parent = Item(inParentMenu, inParentItem, "XPLMCreateMenu");
        if (!parent) return nullptr;
        parent->submenu = id;
    } else {
        MenuItem entry;
        entry.name = menu->name;
        entry.submenu = id;
        W().menuBar->items.push_back(entry);
    }
    W().menus.push_back(std::move(menu));
    return id;
}

XPLM_API void XPLMDestroyMenu(XPLMMenuID inMenuID) {
    ApiCall("XPLMDestroyMenu");
    if (Menu* m = LiveMenu(inMenuID, "XPLMDestroyMenu")) m->dead = true;
}

XPLM_API void XPLMClearAllMenuItems(XPLMMenuID inMenuID) {
    ApiCall("XPLMClearAllMenuItems");
    // Only the caller's own items: the others belong to other plug-ins.
    if (Menu* m = LiveMenu(inMenuID, "XPLMClearAllMenuItems")) {
        int owner = CurrentPlugin();
        m->items.erase(std::remove_if(m->items.begin(), m->items.end(),
                                      [owner](const MenuItem& item) { return item.owner == owner; }),
                       m->items.end());
    }
}

XPLM_API int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef,
                                int inDeprecatedAndIgnored) {
    ApiCall("XPLMAppendMenuItem");
    Menu* m = LiveMenu(inMenu, "XPLMAppendMenuItem");
    if (!m) return -1;
    MenuItem item;
    item.name = inItemName ? inItemName : "";
    item.itemRef = inItemRef;
    item.owner = CurrentPlugin();
    m->items.push_back(item);
    return OwnItemCount(*m) - 1;
}

XPLM_API void XPLMAppendMenuSeparator(XPLMMenuID inMenu) {
    ApiCall("XPLMAppendMenuSeparator");
    if (Menu* m = LiveMenu(inMenu, "XPLMAppendMenuSeparator")) {
        MenuItem item;
        item.separator = true;
        item.owner = CurrentPlugin();
        m->items.push_back(item);
    }
}

XPLM_API void XPLMSetMenuItemName(XPLMMenuID inMenu, int inIndex, const char* inItemName,
                                  int inDeprecatedAndIgnored) {
    ApiCall("XPLMSetMenuItemName");
    if (MenuItem* item = Item(inMenu, inIndex, "XPLMSetMenuItemName")) item->name = inItemName ? inItemName : "";
}

XPLM_API void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck) {
    ApiCall("XPLMCheckMenuItem");
    if (MenuItem* item = Item(inMenu, index, "XPLMCheckMenuItem")) item->check = inCheck;
}

XPLM_API void XPLMCheckMenuItemState(XPLMMenuID inMenu, int index, XPLMMenuCheck* outCheck) {
    ApiCall("XPLMCheckMenuItemState");
    MenuItem* item = Item(inMenu, index, "XPLMCheckMenuItemState");
    if (outCheck) *outCheck = item ? item->check : xplm_Menu_NoCheck;
}

XPLM_API void XPLMEnableMenuItem(XPLMMenuID inMenu, int index, int enabled) {
    ApiCall("XPLMEnableMenuItem");
    if (MenuItem* item = Item(inMenu, index, "XPLMEnableMenuItem")) item->enabled = enabled != 0;
}

XPLM_API void XPLMRemoveMenuItem(XPLMMenuID inMenu, int inIndex) {
    ApiCall("XPLMRemoveMenuItem");
    if (!Item(inMenu, inIndex, "XPLMRemoveMenuItem")) return;
    Menu* m = LiveMenu(inMenu, "XPLMRemoveMenuItem");
    m->items.erase(m->items.begin() + Position(*m, inIndex));
}

}  // extern "C"
