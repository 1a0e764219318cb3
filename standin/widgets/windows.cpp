// Each root widget is shown through a simulator window, as the real library does: the window's
// draw callback draws the tree and its mouse and key callbacks feed the widgets.
#include "XPLMPlugin.h"
#include "widgets.h"

namespace wid {

namespace {

Widget* RootOf(XPLMWindowID window, void* refcon) {
    Widget* w = Find(reinterpret_cast<Id>(refcon));
    return w && w->root && w->window == window ? w : nullptr;
}

void Paint(Id id, int depth) {
    Widget* w = Find(id);
    if (!w || !w->visible || depth > 4096) return;
    // A widget that paints itself also paints its children; otherwise it draws and we go on.
    if (Deliver(id, xpMsg_Paint, 0, 0) || !Find(id)) return;
    Deliver(id, xpMsg_Draw, 0, 0);
    w = Find(id);
    if (!w) return;
    std::vector<Id> kids = w->children;
    for (Id kid : kids) {
        Widget* k = Find(kid);
        if (k && k->parent == id) Paint(kid, depth + 1);
    }
}

void DrawWindow(XPLMWindowID window, void* refcon) {
    try {
        if (Widget* root = RootOf(window, refcon)) Paint(root->id, 0);
    } catch (...) {
    }
}

int MouseWindow(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon) {
    try {
        Widget* root = RootOf(window, refcon);
        if (!root) return 0;
        XPMouseState_t mouse = {x, y, 0, 0};
        Registry& r = R();
        if (status == xplm_MouseDown) {
            Id target = WidgetForLocation(root->id, x, y, true, true);
            if (!target) return 0;
            r.mouseCapture = 0;
            r.mouseCapture = SendUpChain(target, xpMsg_MouseDown, (intptr_t)&mouse, 0);
            return 1;
        }
        Id capture = r.mouseCapture;
        if (status == xplm_MouseUp) r.mouseCapture = 0;
        if (capture && Find(capture))
            Deliver(capture, status == xplm_MouseUp ? xpMsg_MouseUp : xpMsg_MouseDrag, (intptr_t)&mouse, 0);
        return 1;
    } catch (...) {
        return 1;
    }
}

void KeyWindow(XPLMWindowID window, char key, XPLMKeyFlags flags, char virtualKey, void* refcon, int losingFocus) {
    try {
        // On losing focus the window id is the one taking focus (or 0), not ours.
        Widget* root = losingFocus ? Find(reinterpret_cast<Id>(refcon)) : RootOf(window, refcon);
        Registry& r = R();
        if (!root || !root->root || !r.focus || FindRoot(r.focus) != root->id) return;
        if (losingFocus) {
            Id had = r.focus;
            r.focus = 0;
            Deliver(had, xpMsg_KeyLoseFocus, 0, 0);
            return;
        }
        XPKeyState_t state;
        state.key = key;
        state.flags = flags;
        state.vkey = virtualKey;
        SendUpChain(r.focus, xpMsg_KeyPress, (intptr_t)&state, 0);
    } catch (...) {
    }
}

XPLMCursorStatus CursorWindow(XPLMWindowID, int, int, void*) { return xplm_CursorDefault; }
int WheelWindow(XPLMWindowID, int, int, int, int, void*) { return 0; }
int RightClickWindow(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 0; }

}  // namespace

void AttachWindow(Widget& root) {
    // A plug-in that asked for native widget windows gets a modern window under each root it makes:
    // it can pop out or go to VR. The widgets draw their own frame.
    if (XPLMIsFeatureEnabled("XPLM_USE_NATIVE_WIDGET_WINDOWS")) {
        XPLMCreateWindow_t params = {};
        params.structSize = sizeof params;
        params.left = root.left;
        params.top = root.top;
        params.right = root.right;
        params.bottom = root.bottom;
        params.visible = root.visible ? 1 : 0;
        params.drawWindowFunc = DrawWindow;
        params.handleMouseClickFunc = MouseWindow;
        params.handleKeyFunc = KeyWindow;
        params.handleCursorFunc = CursorWindow;
        params.handleMouseWheelFunc = WheelWindow;
        params.refcon = reinterpret_cast<void*>(root.id);
        params.decorateAsFloatingWindow = xplm_WindowDecorationSelfDecorated;
        params.layer = xplm_WindowLayerFloatingWindows;
        params.handleRightClickFunc = RightClickWindow;
        root.window = XPLMCreateWindowEx(&params);
        return;
    }
    root.window = XPLMCreateWindow(root.left, root.top, root.right, root.bottom, root.visible ? 1 : 0, DrawWindow,
                                   KeyWindow, MouseWindow, reinterpret_cast<void*>(root.id));
}

void ReleaseWindow(Widget& root) {
    XPLMWindowID window = LiveWindow(root);
    root.window = nullptr;
    // The simulator allows this from the window's own callbacks (a close box does it).
    if (window) XPLMDestroyWindow(window);
}

XPLMWindowID LiveWindow(const Widget& root) {
    // The simulator drops a plug-in's windows when it unloads it; ours then answers for nothing.
    if (!root.window || XPLMGetWindowRefCon(root.window) != reinterpret_cast<void*>(root.id)) return nullptr;
    return root.window;
}

void SyncWindowGeometry(const Widget& root) {
    if (XPLMWindowID window = LiveWindow(root))
        XPLMSetWindowGeometry(window, root.left, root.top, root.right, root.bottom);
}

void SyncWindowVisibility(const Widget& root) {
    if (XPLMWindowID window = LiveWindow(root)) XPLMSetWindowIsVisible(window, root.visible ? 1 : 0);
}

}  // namespace wid
