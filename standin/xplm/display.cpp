// Windows, key sniffers, hot keys, keyboard and mouse delivery, and the screen.
#include <algorithm>

#include "world.h"

namespace sim {

Window* LiveWindow(XPLMWindowID id) {
    for (Window* w : W().windows)
        if (w == id && !w->dead) return w;
    return nullptr;
}

static Window* CheckedWindow(XPLMWindowID id, const char* api) {
    Window* w = LiveWindow(id);
    if (!w && id) Misuse(Format("%s: not a live window (%p)", api, id));
    WindowCall(api, w);
    return w;
}

static void SweepWindows() {
    World& w = W();
    std::vector<Window*> keep;
    for (Window* win : w.windows) {
        if (win->dead) delete win;
        else keep.push_back(win);
    }
    w.windows.swap(keep);
}

void DrawWindows() {
    World& w = W();
    w.drawing.clear();
    DrawPhasesBeforeWindows();
    // Windows created while drawing are drawn from the next frame on.
    std::vector<Window*> order = w.windows;
    for (Window* win : order) {
        if (win->dead || !win->visible || !win->draw) continue;
        w.drawingWindow = win->index;
        PluginScope scope(win->owner, "draw");
        DrawScope drawing;
        win->draw(win, win->refcon);
    }
    w.drawingWindow = -1;
    DrawPhasesAfterWindows();
    w.lastFrame.swap(w.drawing);
    w.drawing.clear();
    SweepWindows();
    if (Tracing("draw")) {
        std::string text = DescribeFrame(w.lastFrame);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            Event("draw " + text.substr(start, end - start));
            start = end + 1;
        }
    }
}

void ForgetPluginObjects(int pluginId) {
    World& w = W();
    for (Window* win : w.windows)
        if (win->owner == pluginId) win->dead = true;
    if (w.focus && w.focus->dead) w.focus = nullptr;
    if (w.mouseCapture && w.mouseCapture->dead) w.mouseCapture = nullptr;
    if (w.drawingWindow < 0) SweepWindows();
    for (FlightLoop& loop : w.loops)
        if (loop.owner == pluginId) loop.dead = true;
    if (w.loopDepth == 0)
        w.loops.erase(std::remove_if(w.loops.begin(), w.loops.end(), [](const FlightLoop& l) { return l.dead; }),
                      w.loops.end());
    for (KeySniffer& s : w.sniffers)
        if (s.owner == pluginId) s.dead = true;
    for (auto& h : w.hotKeys)
        if (h->owner == pluginId) h->dead = true;
    ForgetPluginExtras(pluginId);
}

std::string DescribeWindows() {
    std::string out;
    for (Window* win : W().windows) {
        if (win->dead) continue;
        out += Format("window %d of %s %d,%d,%d,%d %s%s\n", win->index, PluginName(win->owner).c_str(), win->left,
                      win->top, win->right, win->bottom, win->visible ? "visible" : "hidden",
                      win == W().focus ? " focus" : "");
    }
    return out;
}

std::string DescribeHotKeys() {
    std::string out;
    for (auto& h : W().hotKeys) {
        if (h->dead) continue;
        // A key code from 128 up that arrives sign-extended shows its raw value too.
        std::string raw = h->rawVirtualKey == (unsigned char)h->virtualKey ? "" : Format(" raw=%d", h->rawVirtualKey);
        out += Format("hotkey of %s vkey=0x%02X%s flags=%d \"%s\"\n", PluginName(h->owner).c_str(),
                      (unsigned char)h->virtualKey, raw.c_str(), h->flags, h->description.c_str());
    }
    return out;
}

std::string DescribeSniffers() {
    std::string out;
    for (const KeySniffer& s : W().sniffers) {
        if (s.dead) continue;
        out += Format("keysniffer of %s %s refcon=%p\n", PluginName(s.owner).c_str(),
                      s.before ? "before-windows" : "after-windows", s.refcon);
    }
    return out;
}

static bool RunSniffers(int before, char key, int flags, char vkey) {
    World& w = W();
    size_t count = w.sniffers.size();
    for (size_t i = 0; i < count; ++i) {
        KeySniffer s = w.sniffers[i];
        if (s.dead || s.before != before) continue;
        int pass;
        {
            PluginScope scope(s.owner, "key sniffer");
            pass = s.fn(key, flags, vkey, s.refcon);
        }
        if (!pass) return true;
    }
    return false;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_SetScreenSize(int width, int height) {
    if (width > 0 && height > 0 && width <= 16384 && height <= 16384) {
        W().screenWidth = width;
        W().screenHeight = height;
    }
}

SIM_API int SIM_WindowCount(void) { return W().nextWindowIndex; }

SIM_API int SIM_WindowInfo(int index, int* left, int* top, int* right, int* bottom, int* visible) {
    for (Window* win : W().windows) {
        if (win->dead || win->index != index) continue;
        if (left) *left = win->left;
        if (top) *top = win->top;
        if (right) *right = win->right;
        if (bottom) *bottom = win->bottom;
        if (visible) *visible = win->visible;
        return 1;
    }
    return 0;
}

SIM_API void SIM_Key(char key, int flags, char virtualKey) {
    World& w = W();
    if (Tracing("keys"))
        Event(Format("key '%c' vkey=0x%02X flags=%d", key >= 32 && key < 127 ? key : '?', (unsigned char)virtualKey,
                     flags));
    if (RunSniffers(1, key, flags, virtualKey)) return;
    if (w.focus && !w.focus->dead && w.focus->key) {
        Window* win = w.focus;
        PluginScope scope(win->owner, "window key");
        win->key(win, key, flags, virtualKey, win->refcon, 0);
        return;
    }
    // A hot key names a whole key stroke, "virtual key/flag combination": its modifiers and
    // whether it is the press or the release. One registered with neither never fires.
    int stroke = flags & (xplm_ShiftFlag | xplm_OptionAltFlag | xplm_ControlFlag | xplm_DownFlag | xplm_UpFlag);
    for (size_t i = 0; i < w.hotKeys.size(); ++i) {
        HotKey* h = w.hotKeys[i].get();
        if (h->dead || h->virtualKey != virtualKey || h->flags != stroke) continue;
        if (Tracing("keys")) Event(Format("hotkey \"%s\" of %s", h->description.c_str(), PluginName(h->owner).c_str()));
        PluginScope scope(h->owner, "hot key");
        h->fn(h->refcon);
        return;
    }
    RunSniffers(0, key, flags, virtualKey);
}

SIM_API int SIM_Mouse(int x, int y, int status) {
    World& w = W();
    w.mouseX = x;
    w.mouseY = y;
    if (status == xplm_MouseDown) {
        w.mouseCapture = nullptr;
        std::vector<Window*> order = w.windows;
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            Window* win = *it;
            if (!LiveWindow(win) || !win->visible || !win->mouse) continue;
            if (x < win->left || x > win->right || y < win->bottom || y > win->top) continue;
            int taken;
            {
                PluginScope scope(win->owner, "window mouse");
                taken = win->mouse(win, x, y, xplm_MouseDown, win->refcon);
            }
            if (taken) {
                if (LiveWindow(win)) w.mouseCapture = win;
                return 1;
            }
        }
        return 0;
    }
    Window* win = w.mouseCapture;
    if (!win || !LiveWindow(win)) {
        w.mouseCapture = nullptr;
        return 0;
    }
    if (status == xplm_MouseUp) w.mouseCapture = nullptr;
    PluginScope scope(win->owner, "window mouse");
    win->mouse(win, x, y, status, win->refcon);
    return 1;
}

XPLM_API XPLMWindowID XPLMCreateWindow(int inLeft, int inTop, int inRight, int inBottom, int inIsVisible,
                                       XPLMDrawWindow_f inDrawCallback, XPLMHandleKey_f inKeyCallback,
                                       XPLMHandleMouseClick_f inMouseCallback, void* inRefcon) {
    ApiCall("XPLMCreateWindow");
    Window* win = new Window();
    win->index = W().nextWindowIndex++;
    win->left = inLeft;
    win->top = inTop;
    win->right = inRight;
    win->bottom = inBottom;
    win->visible = inIsVisible != 0;
    win->draw = inDrawCallback;
    win->key = inKeyCallback;
    win->mouse = inMouseCallback;
    win->refcon = inRefcon;
    win->owner = CurrentPlugin();
    W().windows.push_back(win);
    if (Tracing("windows"))
        Event(Format("window %d created by %s at %d,%d,%d,%d %s", win->index, PluginName(win->owner).c_str(), inLeft,
                     inTop, inRight, inBottom, win->visible ? "visible" : "hidden"));
    return win;
}

XPLM_API void XPLMDestroyWindow(XPLMWindowID inWindowID) {
    ApiCall("XPLMDestroyWindow");
    Window* win = CheckedWindow(inWindowID, "XPLMDestroyWindow");
    if (!win) return;
    win->dead = true;
    if (W().focus == win) W().focus = nullptr;
    if (W().mouseCapture == win) W().mouseCapture = nullptr;
    if (Tracing("windows")) Event(Format("window %d destroyed", win->index));
    // Freed at the end of the frame: it may be destroying itself from its own callback.
}

XPLM_API void XPLMGetScreenSize(int* outWidth, int* outHeight) {
    ApiCall("XPLMGetScreenSize");
    if (outWidth) *outWidth = W().screenWidth;
    if (outHeight) *outHeight = W().screenHeight;
}

XPLM_API void XPLMGetMouseLocation(int* outX, int* outY) {
    ApiCall("XPLMGetMouseLocation");
    if (outX) *outX = W().mouseX;
    if (outY) *outY = W().mouseY;
}

XPLM_API void XPLMGetWindowGeometry(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight,
                                    int* outBottom) {
    ApiCall("XPLMGetWindowGeometry");
    Window* win = CheckedWindow(inWindowID, "XPLMGetWindowGeometry");
    if (!win) return;
    if (outLeft) *outLeft = win->left;
    if (outTop) *outTop = win->top;
    if (outRight) *outRight = win->right;
    if (outBottom) *outBottom = win->bottom;
}

XPLM_API void XPLMSetWindowGeometry(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    ApiCall("XPLMSetWindowGeometry");
    Window* win = CheckedWindow(inWindowID, "XPLMSetWindowGeometry");
    if (!win) return;
    win->left = inLeft;
    win->top = inTop;
    win->right = inRight;
    win->bottom = inBottom;
    if (Tracing("windows"))
        Event(Format("window %d moved to %d,%d,%d,%d", win->index, inLeft, inTop, inRight, inBottom));
}

XPLM_API int XPLMGetWindowIsVisible(XPLMWindowID inWindowID) {
    ApiCall("XPLMGetWindowIsVisible");
    Window* win = CheckedWindow(inWindowID, "XPLMGetWindowIsVisible");
    return win && win->visible ? 1 : 0;
}

XPLM_API void XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible) {
    ApiCall("XPLMSetWindowIsVisible");
    Window* win = CheckedWindow(inWindowID, "XPLMSetWindowIsVisible");
    if (!win) return;
    win->visible = inIsVisible != 0;
    if (Tracing("windows")) Event(Format("window %d %s", win->index, win->visible ? "shown" : "hidden"));
}

XPLM_API void* XPLMGetWindowRefCon(XPLMWindowID inWindowID) {
    ApiCall("XPLMGetWindowRefCon");
    Window* win = CheckedWindow(inWindowID, "XPLMGetWindowRefCon");
    return win ? win->refcon : nullptr;
}

XPLM_API void XPLMSetWindowRefCon(XPLMWindowID inWindowID, void* inRefcon) {
    ApiCall("XPLMSetWindowRefCon");
    Window* win = CheckedWindow(inWindowID, "XPLMSetWindowRefCon");
    if (win) win->refcon = inRefcon;
}

XPLM_API void XPLMTakeKeyboardFocus(XPLMWindowID inWindow) {
    ApiCall("XPLMTakeKeyboardFocus");
    Window* previous = W().focus;
    if (inWindow && !CheckedWindow(inWindow, "XPLMTakeKeyboardFocus")) return;
    W().focus = static_cast<Window*>(inWindow);
    // The losing window hears of it with "the other window taking focus" as the window id
    // (0 when the simulator takes it back).
    if (previous && previous != W().focus && LiveWindow(previous) && previous->key) {
        PluginScope scope(previous->owner, "window key");
        previous->key(W().focus, 0, 0, 0, previous->refcon, 1);
    }
}

XPLM_API void XPLMBringWindowToFront(XPLMWindowID inWindow) {
    ApiCall("XPLMBringWindowToFront");
    Window* win = CheckedWindow(inWindow, "XPLMBringWindowToFront");
    if (!win) return;
    auto& ws = W().windows;
    ws.erase(std::find(ws.begin(), ws.end(), win));
    ws.push_back(win);
}

XPLM_API int XPLMIsWindowInFront(XPLMWindowID inWindow) {
    ApiCall("XPLMIsWindowInFront");
    if (!CheckedWindow(inWindow, "XPLMIsWindowInFront")) return 0;
    for (auto it = W().windows.rbegin(); it != W().windows.rend(); ++it)
        if (!(*it)->dead) return *it == inWindow ? 1 : 0;
    return 0;
}

XPLM_API int XPLMRegisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    ApiCall("XPLMRegisterKeySniffer");
    if (!inCallback) return 0;
    W().sniffers.push_back({inCallback, inBeforeWindows ? 1 : 0, inRefcon, CurrentPlugin(), false});
    return 1;
}

XPLM_API int XPLMUnregisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    ApiCall("XPLMUnregisterKeySniffer");
    for (KeySniffer& s : W().sniffers) {
        if (!s.dead && s.fn == inCallback && s.before == (inBeforeWindows ? 1 : 0) && s.refcon == inRefcon) {
            s.dead = true;  // kept in place: a key may be on its way through the list
            return 1;
        }
    }
    return 0;
}

// The export itself lives in hotkey_export.cpp, which sees the key code as the whole register.
XPLMHotKeyID RegisterHotKeyRaw(int rawVirtualKey, XPLMKeyFlags inFlags, const char* inDescription,
                               XPLMHotKey_f inCallback, void* inRefcon) {
    ApiCall("XPLMRegisterHotKey");
    if (!inCallback) return nullptr;
    auto h = std::make_unique<HotKey>();
    h->virtualKey = (char)rawVirtualKey;
    h->rawVirtualKey = rawVirtualKey;
    h->flags = inFlags;
    h->description = inDescription ? inDescription : "";
    h->fn = inCallback;
    h->refcon = inRefcon;
    h->owner = CurrentPlugin();
    h->dead = false;
    HotKey* id = h.get();
    W().hotKeys.push_back(std::move(h));
    return id;
}

XPLM_API void XPLMUnregisterHotKey(XPLMHotKeyID inHotKey) {
    ApiCall("XPLMUnregisterHotKey");
    for (auto& h : W().hotKeys)
        if (h.get() == inHotKey) h->dead = true;
}

XPLM_API int XPLMCountHotKeys(void) {
    ApiCall("XPLMCountHotKeys");
    int n = 0;
    for (auto& h : W().hotKeys) n += h->dead ? 0 : 1;
    return n;
}

XPLM_API XPLMHotKeyID XPLMGetNthHotKey(int inIndex) {
    ApiCall("XPLMGetNthHotKey");
    for (auto& h : W().hotKeys)
        if (!h->dead && inIndex-- == 0) return h.get();
    return nullptr;
}

}  // extern "C"
