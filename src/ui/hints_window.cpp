#include "ui/hints_window.h"

#include <cstring>

#include "XPLMDataAccess.h"
#include "XPLMGraphics.h"
#include "XPLMMenus.h"
#include "airport/airport_data.h"
#include "airport/radio_refresh.h"
#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/plugin_state.h"
#include "bridge/monitor.h"
#include "config/options.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"
#include "ui/plugin_menu.h"

namespace {
XPLMWindowID g_hintsWindow = nullptr;
}  // namespace

XPLMWindowID HintsWindowNow() { return g_hintsWindow; }

void UseHintsWindow(XPLMWindowID window) { g_hintsWindow = window; }

void DestroyHintsWindow() {
    if (!g_hintsWindow) return;
    XPLMDestroyWindow(g_hintsWindow);
    g_hintsWindow = nullptr;
}

namespace {

constexpr int kEntryLineSize = 64;

// A refresh started by the panel is running: the next frame need not start another
// (RefreshAirportRadios admits one instance at a time; a second one would return at once).
std::atomic<int> g_panelRefreshRunning{0};
// When the panel's last refresh ended (timeGetTime). Over the sea no airport is ever found; the
// next search waits a little, so the panel does not keep a processor busy with back-to-back
// searches of the whole airport list.
std::atomic<DWORD> g_panelRefreshEnded{0};
constexpr DWORD kPanelRefreshRestMs = 250;
// The mouse button is held: flips on every press and release.
int g_mouseHeld = 0;

bool OnGroundNow() { return ReadDataref(Datarefs.onGround) > 0; }

void Draw(const float colour[3], int x, int y, const char* text) {
    float rgb[3] = {colour[0], colour[1], colour[2]};
    XPLMDrawString(rgb, x, y, const_cast<char*>(text), nullptr, xplmFont_Basic);
}

// Marked running by the job itself: a queued job dropped by a stop leaves no mark behind.
void PanelRadioRefresh() {
    g_panelRefreshRunning = 1;
    RefreshRadiosAndOptions(nullptr);  // guarded itself
    g_panelRefreshEnded = timeGetTime();
    g_panelRefreshRunning = 0;
}

// Runs on the simulator's thread from the draw callback, so it must cost next to nothing: the
// search goes to the plug-in's deferred-work thread (a thread created per search, or a work item
// of the system's pool, took the main thread from a quarter to several milliseconds).
void StartRadioRefresh() {
    if (g_panelRefreshRunning.load() == 1) return;
    if (timeGetTime() - g_panelRefreshEnded.load() < kPanelRefreshRestMs) return;
    SetLastCom1Frequency(0);
    // Queued once while pending; when it cannot be queued, the next frame tries again.
    (void)DeferredWork.Queue(PanelRadioRefresh);
}

// The entries of the list, each without its "*"; text after the last "*" is not drawn.
int DrawEntries(const OptionList& list, int x, int y) {
    const char* at = list.text;
    for (const char* end = strchr(at, '*'); end; at = end + 1, end = strchr(at, '*')) {
        char line[kEntryLineSize];
        size_t n = (size_t)(end - at);
        if (n > sizeof line - 1) n = sizeof line - 1;
        memcpy(line, at, n);
        line[n] = 0;
        Draw(PluginOptions.HintsColour, x, y, line);
        y -= 16;
    }
    return y;
}

void DrawFrequencies(const FrequencyEntry* table, int x, int y) {
    char lines[kMaxFrequencyLines][kFrequencyLineSize];
    int count = FrequencyLines(table, OnGroundNow(), lines);
    for (int i = 0; i < count; ++i, y -= 16) Draw(PluginOptions.HintsColour, x, y, lines[i]);
}

}  // namespace

void ShowKeyboardHintsCheckMark() {
    if (PluginMenu())
        XPLMCheckMenuItem(PluginMenu(), MenuKeyboardHints,
                          PluginOptions.EnableKeyboardHints ? xplm_Menu_Checked : xplm_Menu_Unchecked);
}

void SetKeyboardHints(int on) {
    PluginOptions.EnableKeyboardHints = on ? 1 : 0;
    ShowKeyboardHintsCheckMark();
    if (g_hintsWindow) XPLMSetWindowIsVisible(g_hintsWindow, PluginOptions.EnableKeyboardHints);
}

void ToggleKeyboardHints() { SetKeyboardHints(PluginOptions.EnableKeyboardHints ? 0 : 1); }

void DrawHints(XPLMWindowID window, void*) {
    GuardedVoid("DrawHints", [&] {
        if (!LinkIsUp() || !PluginOptions.EnableKeyboardHints || !window || window != g_hintsWindow)
            return;
        int left = 0, top = 0, right = 0, bottom = 0;
        XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
        const OptionList list = CurrentOptionList();
        const bool ready = OptionListReady(list.text);
        const bool showFrequencies = PluginOptions.ShowFrequencies != 0;
        XPLMDrawTranslucentDarkBox(left, top, left + kHintsWidth,
                                   HintsBoxBottom(top, showFrequencies, ready, list.count));
        const int x = left + 5;
        int y = top - 10;
        Draw(PluginOptions.TitleColour, x, y, "QV3 hints (CS 2 for CTRL+SHIFT+2) X");
        y -= 20;
        if (AtcAttachedNow()) {
            if (ready) y = DrawEntries(list, x, y);
            else Draw(PluginOptions.OptionsColour, x, y, "Getting last assigned Hotkeys");
        } else if (!DeferredWork.Queue(AttachToAtc)) {
            // The hot-key import reads the ATC program's files (1.5 to 3 ms): handed off while
            // the deferred-work thread runs; the panel says it is getting them meanwhile.
            AttachToAtc();
        }
        y -= ready ? 4 : 20;
        Draw(PluginOptions.TitleColour, x, y, "Use TAB key to show/hide the hints");
        if (!showFrequencies) return;
        y -= 32;
        FrequencyEntry table[kFrequencyTableSize];
        CopyFrequencyTable(table);
        if (table[0].Frequency > 0) {
            DrawFrequencies(table, x, y);
        } else {
            Draw(PluginOptions.HintsColour, x, y, "Retrieving radio frequencies...");
            StartRadioRefresh();
        }
    });
}

void HintsKeyHandler(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}

int HintsMouseClick(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void*) {
    return Guarded("HintsMouseClick", 1, [&] {
        if (status == xplm_MouseDown || status == xplm_MouseUp) g_mouseHeld ^= 1;
        if (!g_mouseHeld) return 1;
        int left = 0, top = 0, right = 0, bottom = 0;
        XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
        if (InHintsCloseBox(x, y, left, top)) SetKeyboardHints(0);
        if (status == xplm_MouseDrag)
            XPLMSetWindowGeometry(window, x - 50, y + 50, x - 50 + kHintsWidth, y + 50 - kHintsHeight);
        return 1;
    });
}

void ResetHintsWindowState() {
    g_hintsWindow = nullptr;
    g_panelRefreshRunning = 0;
    g_panelRefreshEnded = 0;
    g_mouseHeld = 0;
}
