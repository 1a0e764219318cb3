// Windows, key sniffers, hot keys, keyboard and mouse delivery, and the screen.
#include <algorithm>
#include <cstdio>

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

std::vector<Window*> WindowsByLayer() {
    std::vector<Window*> order = W().windows;
    std::stable_sort(order.begin(), order.end(), [](const Window* a, const Window* b) { return a->layer < b->layer; });
    return order;
}

// A decorated window's frame, drawn by the simulator under the window's own drawing.
static void DrawDecoration(const Window* win) {
    if (!win->modern || win->decoration != xplm_WindowDecorationRoundRectangle) return;
    SimDrawItem item = {};
    item.kind = SimDraw_WidgetWindow;
    WindowRect(win, &item.left, &item.top, &item.right, &item.bottom);
    item.window = win->index;
    snprintf(item.text, sizeof item.text, "%s", win->title.c_str());
    W().drawing.push_back(item);
}

void DrawWindows() {
    World& w = W();
    w.drawing.clear();
    w.headsetDrawing.clear();
    DrawPhasesBeforeWindows();
    // Windows created while drawing are drawn from the next frame on.
    std::vector<Window*> order = WindowsByLayer();
    for (Window* win : order) {
        if (win->dead || !win->visible || !win->draw) continue;
        const bool headset = InVr(win);
        // A window in VR is seen only in the headset, and nowhere while the headset is off.
        if (headset && !w.vrOn) continue;
        const size_t first = w.drawing.size();
        DrawDecoration(win);
        w.drawingWindow = win->index;
        {
            PluginScope scope(win->owner, "draw");
            DrawScope drawing;
            win->draw(win, win->refcon);
        }
        if (headset) {
            w.headsetDrawing.insert(w.headsetDrawing.end(), w.drawing.begin() + (long)first, w.drawing.end());
            w.drawing.resize(first);
        }
    }
    w.drawingWindow = -1;
    DrawPhasesAfterWindows();
    w.lastFrame.swap(w.drawing);
    w.drawing.clear();
    w.lastHeadset.swap(w.headsetDrawing);
    w.headsetDrawing.clear();
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

static std::string DescribeModern(const Window* win) {
    if (!win->modern) return "";
    static const char* const kModes[] = {"free", "centred", "full-screen", "full-screen-all", "popped-out", "vr"};
    std::string out = Format(" modern layer=%d decoration=%d mode=%s", win->layer, win->decoration,
                             win->positioning >= 0 && win->positioning <= 5 ? kModes[win->positioning] : "?");
    if (win->positioning == xplm_WindowPopOut)
        out += Format(" os=%d,%d,%d,%d", win->osLeft, win->osTop, win->osRight, win->osBottom);
    if (win->positioning == xplm_WindowVR) out += Format(" vr=%dx%d", win->vrWidth, win->vrHeight);
    if (!win->title.empty()) out += " title=\"" + win->title + "\"";
    if (win->minWidth || win->minHeight || win->maxWidth || win->maxHeight)
        out += Format(" limits=%d,%d,%d,%d", win->minWidth, win->minHeight, win->maxWidth, win->maxHeight);
    return out;
}

std::string DescribeWindows() {
    std::string out;
    for (Window* win : W().windows) {
        if (win->dead) continue;
        out += Format("window %d of %s %d,%d,%d,%d %s%s%s\n", win->index, PluginName(win->owner).c_str(), win->left,
                      win->top, win->right, win->bottom, win->visible ? "visible" : "hidden",
                      win == W().focus ? " focus" : "", DescribeModern(win).c_str());
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
        const int oldWidth = W().screenWidth, oldHeight = W().screenHeight;
        W().screenWidth = width;
        W().screenHeight = height;
        ReflowModernWindows(oldWidth, oldHeight);
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

static bool Under(const Window* win, int x, int y) {
    int left, top, right, bottom;
    WindowRect(win, &left, &top, &right, &bottom);
    return x >= left && x <= right && y >= bottom && y <= top;
}

// A decorated modern window stops clicks at its bounds even when its handler passes them on.
static bool StopsClicks(const Window* win) { return win->modern && win->decoration != xplm_WindowDecorationNone; }

static bool g_captureIsRight = false;

SIM_API int SIM_MouseEx(int x, int y, int status, int rightButton, int headset) {
    World& w = W();
    w.mouseX = x;
    w.mouseY = y;
    if (status == xplm_MouseDown) {
        w.mouseCapture = nullptr;
        std::vector<Window*> order = WindowsByLayer();
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            Window* win = *it;
            if (!LiveWindow(win) || !win->visible || !ShownIn(win, headset != 0) || !Under(win, x, y)) continue;
            XPLMHandleMouseClick_f handler = rightButton ? win->rightClick : win->mouse;
            int taken = 0;
            if (handler) {
                PluginScope scope(win->owner, "window mouse");
                taken = handler(win, x, y, xplm_MouseDown, win->refcon);
            }
            if (taken && handler) {
                if (LiveWindow(win)) w.mouseCapture = win;
                g_captureIsRight = rightButton != 0;
                return 1;
            }
            if (StopsClicks(win)) return 1;
        }
        return 0;
    }
    Window* win = w.mouseCapture;
    if (!win || !LiveWindow(win) || g_captureIsRight != (rightButton != 0)) {
        if (win && !LiveWindow(win)) w.mouseCapture = nullptr;
        return 0;
    }
    if (status == xplm_MouseUp) w.mouseCapture = nullptr;
    XPLMHandleMouseClick_f handler = rightButton ? win->rightClick : win->mouse;
    PluginScope scope(win->owner, "window mouse");
    handler(win, x, y, status, win->refcon);
    return 1;
}

SIM_API int SIM_Mouse(int x, int y, int status) { return SIM_MouseEx(x, y, status, 0, 0); }

SIM_API int SIM_Wheel(int x, int y, int wheel, int clicks, int headset) {
    World& w = W();
    w.mouseX = x;
    w.mouseY = y;
    std::vector<Window*> order = WindowsByLayer();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Window* win = *it;
        if (!LiveWindow(win) || !win->visible || !ShownIn(win, headset != 0) || !Under(win, x, y)) continue;
        int taken = 0;
        if (win->wheel) {
            PluginScope scope(win->owner, "window wheel");
            taken = win->wheel(win, x, y, wheel, clicks, win->refcon);
        }
        if (taken || StopsClicks(win)) return 1;
    }
    return 0;
}

SIM_API int SIM_Cursor(int x, int y, int headset) {
    World& w = W();
    w.mouseX = x;
    w.mouseY = y;
    // xplm_CursorDefault from a window asks the windows under it, then the simulator.
    std::vector<Window*> order = WindowsByLayer();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Window* win = *it;
        if (!LiveWindow(win) || !win->visible || !ShownIn(win, headset != 0) || !Under(win, x, y) || !win->cursor)
            continue;
        XPLMCursorStatus status;
        {
            PluginScope scope(win->owner, "window cursor");
            status = win->cursor(win, x, y, win->refcon);
        }
        if (status != xplm_CursorDefault) return status;
    }
    return xplm_CursorDefault;
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
    int left, top, right, bottom;
    WindowRect(win, &left, &top, &right, &bottom);
    if (outLeft) *outLeft = left;
    if (outTop) *outTop = top;
    if (outRight) *outRight = right;
    if (outBottom) *outBottom = bottom;
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
