// Widget registry: creation, destruction, the tree, geometry, visibility, properties, focus.
#include <algorithm>

#include "widgets.h"

namespace wid {

namespace {

Registry* g_registry = nullptr;

void Detach(Widget& child) {
    Widget* parent = Find(child.parent);
    child.parent = 0;
    if (!parent) return;
    auto& kids = parent->children;
    kids.erase(std::remove(kids.begin(), kids.end(), child.id), kids.end());
}

bool IsAncestor(Id ancestor, Id id) {
    // Depth is bounded by the number of widgets, so a corrupt chain cannot loop forever.
    size_t steps = R().widgets.size() + 1;
    for (Widget* w = Find(id); w && steps--; w = Find(w->parent))
        if (w->id == ancestor) return true;
    return false;
}

bool InSubtree(Id top, Id id) { return id != 0 && IsAncestor(top, id); }

}  // namespace

Registry& R() {
    if (!g_registry) g_registry = new Registry();
    return *g_registry;
}

Widget* Find(Id id) {
    if (id == 0) return nullptr;
    auto it = R().widgets.find(id);
    return it == R().widgets.end() ? nullptr : it->second.get();
}

Id Create(int left, int top, int right, int bottom, bool visible, const char* descriptor, bool root,
          Id container, XPWidgetClass widgetClass, XPWidgetFunc_t function) {
    if (!function) return 0;
    auto owned = std::make_unique<Widget>();
    Widget& w = *owned;
    w.id = R().nextId++;
    w.left = left, w.top = top, w.right = right, w.bottom = bottom;
    w.visible = visible;
    w.root = root;
    w.descriptor = descriptor ? descriptor : "";
    w.widgetClass = widgetClass;
    w.callbacks.push_back(function);
    Id id = w.id;
    // A root has no container; an unknown container leaves the widget unplaced.
    Widget* parent = root ? nullptr : Find(container);
    if (parent && parent->dying) parent = nullptr;
    if (parent) {
        w.parent = parent->id;
        parent->children.push_back(id);
    }
    R().widgets.emplace(id, std::move(owned));
    if (root) AttachWindow(w);

    Deliver(id, xpMsg_Create, 0, 0);
    if (parent && Find(id) && Find(container)) {
        Deliver(container, xpMsg_AcceptChild, (intptr_t)id, 0);
        Deliver(id, xpMsg_AcceptParent, (intptr_t)container, 0);
    }
    return Find(id) ? id : 0;
}

void Destroy(Id id, bool children, intptr_t recursiveFlag) {
    Widget* w = Find(id);
    if (!w || w->dying) return;
    w->dying = true;

    // "The widget's children will be destroyed first, then this widget."
    std::vector<Id> kids = w->children;
    for (Id kid : kids) {
        Widget* k = Find(kid);
        if (!k || k->parent != id) continue;  // moved away by a callback meanwhile
        if (children) Destroy(kid, true, 1);
        else k->parent = 0;  // orphaned, as the caller asked to keep the children
    }
    if (Find(id)) Deliver(id, xpMsg_Destroy, recursiveFlag, 0, /*all=*/true);

    w = Find(id);
    if (!w) return;
    // Children a callback placed here meanwhile are orphaned with the rest.
    for (Id kid : w->children)
        if (Widget* k = Find(kid); k && k->parent == id) k->parent = 0;
    w->children.clear();
    Id parent = w->parent;
    Detach(*w);
    if (parent && Find(parent) && !Find(parent)->dying) Deliver(parent, xpMsg_LoseChild, (intptr_t)id, 0);

    Registry& r = R();
    if (r.focus == id) {
        r.focus = 0;
        XPLMTakeKeyboardFocus(nullptr);
    }
    if (r.mouseCapture == id) r.mouseCapture = 0;
    w = Find(id);
    if (!w) return;
    if (w->root) ReleaseWindow(*w);
    r.widgets.erase(id);
}

void PlaceWithin(Id sub, Id container) {
    Widget* w = Find(sub);
    if (!w || w->root || w->dying) return;
    if (container != 0) {
        Widget* c = Find(container);
        // A widget cannot go inside itself or its own descendants: the tree would become a loop.
        if (!c || c->dying || IsAncestor(sub, container)) return;
    }
    if (container != 0 && w->parent == container) {
        // "Placing a widget within its own parent simply makes it the last widget."
        auto& kids = Find(container)->children;
        kids.erase(std::remove(kids.begin(), kids.end(), sub), kids.end());
        kids.push_back(sub);
        return;
    }
    if (container == 0 && w->parent == 0) return;
    Id old = w->parent;
    Detach(*w);
    if (old && Find(old)) Deliver(old, xpMsg_LoseChild, (intptr_t)sub, 0);
    if (container == 0) {
        // Taken out of every container: it now has "no parent", and hears so.
        if (Find(sub)) Deliver(sub, xpMsg_AcceptParent, 0, 0);
        return;
    }
    w = Find(sub);
    Widget* c = Find(container);
    if (!w || !c) return;
    w->parent = container;
    c->children.push_back(sub);
    Deliver(container, xpMsg_AcceptChild, (intptr_t)sub, 0);
    if (Find(sub)) Deliver(sub, xpMsg_AcceptParent, (intptr_t)container, 0);
}

bool IsVisible(Id id) {
    size_t steps = R().widgets.size() + 1;
    Widget* w = Find(id);
    while (w && steps--) {
        if (!w->visible) return false;
        if (w->root) return true;
        w = Find(w->parent);
    }
    return false;
}

Id FindRoot(Id id) {
    size_t steps = R().widgets.size() + 1;
    for (Widget* w = Find(id); w && steps--; w = Find(w->parent))
        if (w->root) return w->id;
    return 0;
}

bool Contains(const Widget& w, int x, int y) {
    return x >= w.left && x < w.right && y >= w.bottom && y < w.top;
}

void SetGeometry(Id id, int left, int top, int right, int bottom) {
    Widget* w = Find(id);
    if (!w) return;
    // In 64 bits: absurd coordinates must not overflow; the change is reported cut to int.
    typedef long long L;
    XPWidgetGeometryChange_t change;
    change.dx = (int)((L)left - w->left);
    change.dy = (int)((L)top - w->top);
    change.dwidth = (int)(((L)right - left) - ((L)w->right - w->left));
    change.dheight = (int)(((L)top - bottom) - ((L)w->top - w->bottom));
    if (!change.dx && !change.dy && !change.dwidth && !change.dheight) return;
    w->left = left, w->top = top, w->right = right, w->bottom = bottom;
    if (w->root) SyncWindowGeometry(*w);
    // Coordinates are global, not relative to the parent: the children stay where they are.
    Send(id, xpMsg_Reshape, xpMode_UpChain, (intptr_t)id, (intptr_t)&change);
}

void MoveTree(Id id, int dx, int dy, int depth) {
    Widget* w = Find(id);
    if (!w || depth > 4096 || (!dx && !dy)) return;
    typedef long long L;
    std::vector<Id> kids = w->children;
    SetGeometry(id, (int)((L)w->left + dx), (int)((L)w->top + dy), (int)((L)w->right + dx), (int)((L)w->bottom + dy));
    for (Id kid : kids) {
        Widget* k = Find(kid);
        if (k && k->parent == id) MoveTree(kid, dx, dy, depth + 1);
    }
}

Id WidgetForLocation(Id container, int x, int y, bool recursive, bool visibleOnly) {
    Widget* w = Find(container);
    if (!w || (visibleOnly && !w->visible) || !Contains(*w, x, y)) return 0;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Widget* kid = Find(*it);
        if (!kid || (visibleOnly && !kid->visible) || !Contains(*kid, x, y)) continue;
        return recursive ? WidgetForLocation(kid->id, x, y, true, visibleOnly) : kid->id;
    }
    return container;
}

void SetVisible(Id id, bool visible) {
    Widget* w = Find(id);
    if (!w || w->visible == visible) return;
    w->visible = visible;
    if (w->root) SyncWindowVisibility(*w);
    if (!visible && InSubtree(id, R().focus)) LoseFocus(R().focus);
    if (Find(id)) Send(id, visible ? xpMsg_Shown : xpMsg_Hidden, xpMode_UpChain, (intptr_t)id, 0);
}

void SetProperty(Id id, XPWidgetPropertyID property, intptr_t value) {
    Widget* w = Find(id);
    if (!w) return;
    w->properties[property] = value;
    Deliver(id, xpMsg_PropertyChanged, property, value);
}

intptr_t GetProperty(const Widget& w, XPWidgetPropertyID property, intptr_t fallback) {
    auto it = w.properties.find(property);
    return it == w.properties.end() ? fallback : it->second;
}

void SetDefaultProperty(Widget& w, XPWidgetPropertyID property, intptr_t value) {
    w.properties.emplace(property, value);
}

Id SetFocus(Id id) {
    Registry& r = R();
    if (id == 0) {
        // Focus to the simulator is always accepted; no parent takes it over.
        Id old = r.focus;
        r.focus = 0;
        if (old) {
            if (Find(old)) Deliver(old, xpMsg_KeyLoseFocus, 0, 0);
            XPLMTakeKeyboardFocus(nullptr);
        }
        return r.focus;
    }
    if (!Find(id)) return r.focus;
    if (r.focus == id) return id;
    // Focus changes only when the widget accepts it.
    if (!Deliver(id, xpMsg_KeyTakeFocus, 0, 0) || !Find(id)) return r.focus;
    Id old = r.focus;
    r.focus = id;
    if (old && old != id && Find(old)) Deliver(old, xpMsg_KeyLoseFocus, 1, 0);
    if (r.focus == id) {
        Widget* root = Find(FindRoot(id));
        if (XPLMWindowID window = root ? LiveWindow(*root) : nullptr) XPLMTakeKeyboardFocus(window);
    }
    return r.focus;
}

void LoseFocus(Id id) {
    Registry& r = R();
    if (id == 0 || r.focus != id) return;
    r.focus = 0;
    if (Find(id)) Deliver(id, xpMsg_KeyLoseFocus, 0, 0);
    // Focus goes to the nearest parent that accepts it, else back to the simulator.
    size_t steps = r.widgets.size() + 1;
    Widget* w = Find(id);
    for (Id up = w ? w->parent : 0; up && steps-- && r.focus == 0;) {
        if (Deliver(up, xpMsg_KeyTakeFocus, 1, 0) && Find(up)) {
            r.focus = up;
            return;
        }
        Widget* p = Find(up);
        up = p ? p->parent : 0;
    }
    if (r.focus == 0) XPLMTakeKeyboardFocus(nullptr);
}

void Reset() {
    // Ids stay unique across resets, so an id kept from before never names a new widget.
    Id next = R().nextId;
    bool trace = R().trace;
    delete g_registry;
    g_registry = new Registry();
    g_registry->nextId = next;
    g_registry->trace = trace;
}

}  // namespace wid
