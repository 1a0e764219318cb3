// Modern windows (XPLMCreateWindowEx with the 3.0 structure): layers, decoration, positioning
// modes, pop-out and VR; and the headset itself, turned on and off by the scenario.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>

#include "XPLMPlugin.h"
#include "areas.h"
#include "world.h"

namespace sim {

namespace {

constexpr const char* kVrDataref = "sim/graphics/VR/enabled";
constexpr int kVrVersion = 11200;  // XPLM301: VR positioning, the VR messages and dataref
// The structure up to refcon (SDK 2.x) and with decoration, layer and right-click (3.0 on).
constexpr int kSize200 = (int)offsetof(XPLMCreateWindow_t, refcon) + (int)sizeof(void*);
constexpr int kSize300 = (int)sizeof(XPLMCreateWindow_t);

Window* Checked(XPLMWindowID id, const char* api) {
    Window* w = LiveWindow(id);
    if (!w && id) Misuse(Format("%s: not a live window (%p)", api, id));
    WindowCall(api, w);
    return w;
}

void Trace(const Window* win, const std::string& what) {
    if (Tracing("windows")) Event(Format("window %d %s", win->index, what.c_str()));
}

// The one monitor of the stand-in: the screen, its origin at the bottom left of the desktop.
void MonitorRect(int* left, int* top, int* right, int* bottom) {
    *left = 0;
    *bottom = 0;
    *right = W().screenWidth;
    *top = W().screenHeight;
}

void Centre(Window* win) {
    int ml, mt, mr, mb;
    MonitorRect(&ml, &mt, &mr, &mb);
    const int width = win->right - win->left, height = win->top - win->bottom;
    win->left = (ml + mr - width) / 2;
    win->right = win->left + width;
    win->bottom = (mb + mt - height) / 2;
    win->top = win->bottom + height;
}

void FillMonitor(Window* win) { MonitorRect(&win->left, &win->top, &win->right, &win->bottom); }

}  // namespace

bool InVr(const Window* win) { return win->modern && win->positioning == xplm_WindowVR; }

bool ShownIn(const Window* win, bool headset) { return headset ? InVr(win) && W().vrOn : !InVr(win); }

void WindowRect(const Window* win, int* left, int* top, int* right, int* bottom) {
    *left = win->left;
    *top = win->top;
    *right = win->right;
    *bottom = win->bottom;
    if (InVr(win)) {
        // Any size a plug-in gives: kept within int, never wrapped.
        *right = (int)std::min<long long>(INT_MAX, (long long)win->left + win->vrWidth);
        *bottom = (int)std::max<long long>(INT_MIN, (long long)win->top - win->vrHeight);
    }
}

// Modern windows keep their mode as the screen changes size; free ones follow their gravity.
void ReflowModernWindows(int oldWidth, int oldHeight) {
    const int dx = W().screenWidth - oldWidth, dy = W().screenHeight - oldHeight;
    for (Window* win : W().windows) {
        if (win->dead || !win->modern) continue;
        if (win->positioning == xplm_WindowCenterOnMonitor) Centre(win);
        else if (win->positioning == xplm_WindowFullScreenOnMonitor ||
                 win->positioning == xplm_WindowFullScreenOnAllMonitors)
            FillMonitor(win);
        else if (win->positioning == xplm_WindowPositionFree) {
            win->left += (int)(win->gravity[0] * (float)dx);
            win->top += (int)(win->gravity[1] * (float)dy);
            win->right += (int)(win->gravity[2] * (float)dx);
            win->bottom += (int)(win->gravity[3] * (float)dy);
        }
    }
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t* inParams) {
    ApiCall("XPLMCreateWindowEx");
    if (!inParams || inParams->structSize < kSize200) {
        Misuse("XPLMCreateWindowEx: parameter block missing or too small");
        return nullptr;
    }
    // The header asks for every callback; a missing one is the plug-in's fault, not a crash.
    if (!inParams->drawWindowFunc || !inParams->handleMouseClickFunc || !inParams->handleKeyFunc ||
        !inParams->handleCursorFunc || !inParams->handleMouseWheelFunc) {
        Misuse("XPLMCreateWindowEx: a callback is missing");
        return nullptr;
    }
    const bool modern = inParams->structSize >= kSize300 && W().xplaneVersion >= 11100;
    if (modern && !inParams->handleRightClickFunc) {
        Misuse("XPLMCreateWindowEx: the right-click callback is missing");
        return nullptr;
    }
    if (modern && (inParams->layer < xplm_WindowLayerFlightOverlay ||
                   inParams->layer > xplm_WindowLayerGrowlNotifications ||
                   inParams->decorateAsFloatingWindow < xplm_WindowDecorationNone ||
                   inParams->decorateAsFloatingWindow > xplm_WindowDecorationSelfDecoratedResizable)) {
        Misuse(Format("XPLMCreateWindowEx: no layer %d or decoration %d", inParams->layer,
                      inParams->decorateAsFloatingWindow));
        return nullptr;
    }
    XPLMWindowID id = XPLMCreateWindow(inParams->left, inParams->top, inParams->right, inParams->bottom,
                                       inParams->visible, inParams->drawWindowFunc, inParams->handleKeyFunc,
                                       inParams->handleMouseClickFunc, inParams->refcon);
    Window* win = LiveWindow(id);
    if (!win) return id;
    win->cursor = inParams->handleCursorFunc;
    win->wheel = inParams->handleMouseWheelFunc;
    if (modern) {
        win->modern = true;
        win->layer = inParams->layer;
        win->decoration = inParams->decorateAsFloatingWindow;
        win->rightClick = inParams->handleRightClickFunc;
        Trace(win, Format("is modern, layer %d, decoration %d", win->layer, win->decoration));
    }
    return id;
}

XPLM_API void XPLMGetScreenBoundsGlobal(int* outLeft, int* outTop, int* outRight, int* outBottom) {
    ApiCall("XPLMGetScreenBoundsGlobal");
    int l, t, r, b;
    MonitorRect(&l, &t, &r, &b);
    if (outLeft) *outLeft = l;
    if (outTop) *outTop = t;
    if (outRight) *outRight = r;
    if (outBottom) *outBottom = b;
}

XPLM_API void XPLMGetAllMonitorBoundsGlobal(XPLMReceiveMonitorBoundsGlobal_f inMonitorBoundsCallback,
                                            void* inRefcon) {
    ApiCall("XPLMGetAllMonitorBoundsGlobal");
    if (!inMonitorBoundsCallback) return;
    int l, t, r, b;
    MonitorRect(&l, &t, &r, &b);
    inMonitorBoundsCallback(0, l, t, r, b, inRefcon);
}

XPLM_API void XPLMGetAllMonitorBoundsOS(XPLMReceiveMonitorBoundsOS_f inMonitorBoundsCallback, void* inRefcon) {
    ApiCall("XPLMGetAllMonitorBoundsOS");
    if (!inMonitorBoundsCallback) return;
    int l, t, r, b;
    MonitorRect(&l, &t, &r, &b);
    inMonitorBoundsCallback(0, l, t, r, b, inRefcon);
}

XPLM_API void XPLMGetMouseLocationGlobal(int* outX, int* outY) {
    ApiCall("XPLMGetMouseLocationGlobal");
    if (outX) *outX = W().mouseX;
    if (outY) *outY = W().mouseY;
}

XPLM_API void XPLMGetWindowGeometryOS(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight,
                                      int* outBottom) {
    ApiCall("XPLMGetWindowGeometryOS");
    Window* win = Checked(inWindowID, "XPLMGetWindowGeometryOS");
    if (!win) return;
    if (outLeft) *outLeft = win->osLeft;
    if (outTop) *outTop = win->osTop;
    if (outRight) *outRight = win->osRight;
    if (outBottom) *outBottom = win->osBottom;
}

XPLM_API void XPLMSetWindowGeometryOS(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    ApiCall("XPLMSetWindowGeometryOS");
    Window* win = Checked(inWindowID, "XPLMSetWindowGeometryOS");
    if (!win) return;
    // Only a popped-out window has an OS window; the caller is to make sure it is one.
    if (win->positioning != xplm_WindowPopOut) {
        LogOnce(Format("geometry-os %d", win->index),
                Format("XPLMSetWindowGeometryOS: window %d is not popped out, nothing changes", win->index));
        return;
    }
    win->osLeft = inLeft;
    win->osTop = inTop;
    win->osRight = inRight;
    win->osBottom = inBottom;
    Trace(win, Format("OS window moved to %d,%d,%d,%d", inLeft, inTop, inRight, inBottom));
}

XPLM_API void XPLMGetWindowGeometryVR(XPLMWindowID inWindowID, int* outWidthBoxels, int* outHeightBoxels) {
    ApiCall("XPLMGetWindowGeometryVR");
    Window* win = Checked(inWindowID, "XPLMGetWindowGeometryVR");
    if (!win) return;
    const bool vr = InVr(win);
    if (outWidthBoxels) *outWidthBoxels = vr ? win->vrWidth : 0;
    if (outHeightBoxels) *outHeightBoxels = vr ? win->vrHeight : 0;
}

XPLM_API void XPLMSetWindowGeometryVR(XPLMWindowID inWindowID, int widthBoxels, int heightBoxels) {
    ApiCall("XPLMSetWindowGeometryVR");
    Window* win = Checked(inWindowID, "XPLMSetWindowGeometryVR");
    if (!win) return;
    if (!InVr(win)) {
        LogOnce(Format("geometry-vr %d", win->index),
                Format("XPLMSetWindowGeometryVR: window %d is not in VR, nothing changes", win->index));
        return;
    }
    if (widthBoxels <= 0 || heightBoxels <= 0) {
        Misuse(Format("XPLMSetWindowGeometryVR: size %dx%d", widthBoxels, heightBoxels));
        return;
    }
    win->vrWidth = widthBoxels;
    win->vrHeight = heightBoxels;
    Trace(win, Format("VR panel %dx%d", widthBoxels, heightBoxels));
}

XPLM_API int XPLMWindowIsPoppedOut(XPLMWindowID inWindowID) {
    ApiCall("XPLMWindowIsPoppedOut");
    Window* win = Checked(inWindowID, "XPLMWindowIsPoppedOut");
    return win && win->modern && win->positioning == xplm_WindowPopOut ? 1 : 0;
}

XPLM_API int XPLMWindowIsInVR(XPLMWindowID inWindowID) {
    ApiCall("XPLMWindowIsInVR");
    Window* win = Checked(inWindowID, "XPLMWindowIsInVR");
    return win && InVr(win) ? 1 : 0;
}

XPLM_API void XPLMSetWindowGravity(XPLMWindowID inWindowID, float inLeftGravity, float inTopGravity,
                                   float inRightGravity, float inBottomGravity) {
    ApiCall("XPLMSetWindowGravity");
    Window* win = Checked(inWindowID, "XPLMSetWindowGravity");
    // Legacy windows keep the default gravity.
    if (!win || !win->modern) return;
    const float g[4] = {inLeftGravity, inTopGravity, inRightGravity, inBottomGravity};
    for (int i = 0; i < 4; ++i) win->gravity[i] = g[i] < 0 ? 0.0f : g[i] > 1 ? 1.0f : g[i];
}

XPLM_API void XPLMSetWindowResizingLimits(XPLMWindowID inWindowID, int inMinWidthBoxels, int inMinHeightBoxels,
                                          int inMaxWidthBoxels, int inMaxHeightBoxels) {
    ApiCall("XPLMSetWindowResizingLimits");
    Window* win = Checked(inWindowID, "XPLMSetWindowResizingLimits");
    // Legacy windows have no limits.
    if (!win || !win->modern) return;
    if (inMinWidthBoxels < 0 || inMinHeightBoxels < 0 || inMaxWidthBoxels < inMinWidthBoxels ||
        inMaxHeightBoxels < inMinHeightBoxels) {
        Misuse(Format("XPLMSetWindowResizingLimits: %d,%d,%d,%d", inMinWidthBoxels, inMinHeightBoxels,
                      inMaxWidthBoxels, inMaxHeightBoxels));
        return;
    }
    win->minWidth = inMinWidthBoxels;
    win->minHeight = inMinHeightBoxels;
    win->maxWidth = inMaxWidthBoxels;
    win->maxHeight = inMaxHeightBoxels;
}

XPLM_API void XPLMSetWindowPositioningMode(XPLMWindowID inWindowID, XPLMWindowPositioningMode inPositioningMode,
                                           int inMonitorIndex) {
    ApiCall("XPLMSetWindowPositioningMode");
    Window* win = Checked(inWindowID, "XPLMSetWindowPositioningMode");
    if (!win) return;
    const int last = W().xplaneVersion >= kVrVersion ? xplm_WindowVR : xplm_WindowPopOut;
    if (inPositioningMode < xplm_WindowPositionFree || inPositioningMode > last) {
        Misuse(Format("XPLMSetWindowPositioningMode: no mode %d", inPositioningMode));
        return;
    }
    // Legacy windows always stay free.
    if (!win->modern) return;
    const int before = win->positioning;
    win->positioning = inPositioningMode;
    // The stand-in has one monitor: a negative index or any other names it.
    win->monitor = inMonitorIndex < 0 ? -1 : 0;
    switch (inPositioningMode) {
    case xplm_WindowCenterOnMonitor:
        Centre(win);
        break;
    case xplm_WindowFullScreenOnMonitor:
    case xplm_WindowFullScreenOnAllMonitors:
        FillMonitor(win);
        break;
    case xplm_WindowPopOut:
        // Its own OS window opens where it was; boxels are pixels here.
        if (before != xplm_WindowPopOut) {
            win->osLeft = win->left;
            win->osTop = win->top;
            win->osRight = win->right;
            win->osBottom = win->bottom;
        }
        break;
    case xplm_WindowVR:
        // The panel starts at the window's size; its desktop place is kept for the way back.
        if (before != xplm_WindowVR) {
            win->vrWidth = std::max(1, win->right - win->left);
            win->vrHeight = std::max(1, win->top - win->bottom);
        }
        break;
    default:
        break;
    }
    static const char* const kModes[] = {"free", "centred", "full-screen", "full-screen-all", "popped-out", "vr"};
    Trace(win, Format("positioning %s", kModes[inPositioningMode]));
}

XPLM_API void XPLMSetWindowTitle(XPLMWindowID inWindowID, const char* inWindowTitle) {
    ApiCall("XPLMSetWindowTitle");
    Window* win = Checked(inWindowID, "XPLMSetWindowTitle");
    if (!win || !win->modern) return;
    // The frame shows what fits in a draw record; the rest is kept.
    win->title = inWindowTitle ? std::string(inWindowTitle).substr(0, 1024) : std::string();
}

SIM_API int SIM_SetVr(int on, char* error, int errorSize) {
    World& w = W();
    if (w.xplaneVersion < kVrVersion) {
        if (error && errorSize > 0)
            snprintf(error, (size_t)errorSize, "no VR before 11.20 (simulator version %d)", w.xplaneVersion);
        return 0;
    }
    if ((on != 0) == w.vrOn.load()) return 1;
    // Right before the change, to every plug-in: the windows are still where they were.
    SIM_SendMessage(-1, on ? XPLM_MSG_ENTERED_VR : XPLM_MSG_EXITING_VR, nullptr);
    w.vrOn = on != 0;
    SIM_SetDataref(kVrDataref, xplmType_Int, on ? 1 : 0);
    SIM_SetDatarefWritable(kVrDataref, 0);
    if (Tracing("windows")) Event(on ? "VR on" : "VR off");
    if (on) return 1;
    // The picture of a headset taken off is empty, not its last frame.
    w.lastHeadset.clear();
    // What a plug-in left in VR comes back to the desktop where it was before.
    for (Window* win : w.windows) {
        if (win->dead || !InVr(win)) continue;
        win->positioning = xplm_WindowPositionFree;
        Trace(win, Format("back on the desktop at %d,%d,%d,%d", win->left, win->top, win->right, win->bottom));
    }
    return 1;
}

SIM_API int SIM_VrOn(void) { return W().vrOn ? 1 : 0; }

SIM_API int SIM_HeadsetItemCount(void) { return (int)W().lastHeadset.size(); }

SIM_API const SimDrawItem* SIM_HeadsetItem(int index) {
    if (index < 0 || index >= (int)W().lastHeadset.size()) return nullptr;
    return &W().lastHeadset[index];
}

}  // extern "C"
