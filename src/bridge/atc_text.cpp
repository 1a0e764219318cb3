#include "bridge/atc_text.h"

namespace {
// The server's own strip on a 1024 x 768 screen.
constexpr ScreenRect kServerStrip = {1, 748, 1024, 728};
}  // namespace

namespace {
XPLMWindowID g_window = nullptr;
bool g_found = false;
ScreenRect g_rect = kServerStrip;
bool g_hidden = false;
}  // namespace

XPLMWindowID AtcTextWindow() { return g_window; }
bool AtcTextWindowFound() { return g_found; }
ScreenRect AtcTextRect() { return g_rect; }
bool HideAtcText() { return g_hidden; }

void CatchAtcStrip(XPLMWindowID window, const ScreenRect& rect) {
    g_found = true;
    g_window = window;
    g_rect = rect;
    MoveAtcStrip();
}

void AtcStripDestroyed(XPLMWindowID window) {
    if (window && window == g_window) g_window = nullptr;
}

void ForgetAtcStrip() { g_window = nullptr; }

void SetAtcStripRect(const ScreenRect& rect) { g_rect = rect; }

void MoveAtcStrip() {
    if (g_window) XPLMSetWindowGeometry(g_window, g_rect.left, g_rect.top, g_rect.right, g_rect.bottom);
}

void ReturnAtcStripToServer(int width, int height) {
    if (g_window) XPLMSetWindowGeometry(g_window, 1, height - 20, width, height - 40);
}

void ShowAtcStrip(bool visible) {
    if (g_window) XPLMSetWindowIsVisible(g_window, visible ? 1 : 0);
}

void SetHideAtcText(bool hide) {
    g_hidden = hide;
    ShowAtcStrip(!hide);
}

void ResetAtcTextState() {
    g_window = nullptr;
    g_found = false;
    g_rect = kServerStrip;
    g_hidden = false;
}

bool CornerBox(int windowPosition, int w, int h, int boxWidth, int boxHeight, ScreenRect* out) {
    switch (windowPosition) {
        case 1: *out = {0, h, boxWidth, h - boxHeight}; return true;
        case 2: *out = {w - boxWidth, h, w, h - boxHeight}; return true;
        case 3: *out = {w - boxWidth, boxHeight, w, 0}; return true;
        case 4: *out = {0, boxHeight, boxWidth, 0}; return true;
        default: return false;
    }
}

bool CornerRect(int windowPosition, int w, int h, ScreenRect* out) {
    return CornerBox(windowPosition, w, h, 180, 170, out);
}
