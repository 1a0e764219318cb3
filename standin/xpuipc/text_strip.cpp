// The one-line message strip: the text written at 0x3380 is shown for the seconds written at
// 0x32FA in a window at (1, H-20, W, H-40), drawn every frame from a buffer inside this module's
// image, and taken down on the simulated clock.
#include <cstdio>
#include <cstring>

#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMProcessing.h"
#include "xpuipc.h"

namespace xpuipc {
namespace {

constexpr uint32_t kFirstRva = 0x4EBE0, kSecondRva = 0xC1F60;  // the real 64-bit build's places
constexpr size_t kTextBuffer = kMessageTextSize + 1;          // 128 characters and a NUL

// Zero-filled (.bss), so it costs address space only; one object, so its parts keep their order.
// The mirror is sized to reach both places while .bss starts anywhere from RVA 0x30000 to
// 0x4EBE0 (checked at run time). The filler makes the image larger than 1 MiB, also without
// debug sections, and puts message-like text without any ATC phrase in front of the ordinary
// buffer, so a scan for that buffer has more than a megabyte to cover.
struct ImageArea {
    alignas(16) char mirror[0x92000];
    char filler[0x48000];
    char ownText[kTextBuffer];
};
ImageArea g_image;
char* const g_ownText = g_image.ownText;
char* g_text = g_ownText;  // what the strip draws
const char* g_placement = "own";

XPLMWindowID g_strip = nullptr;
float g_until = 0;
int g_seconds = 0;
bool g_pending = false, g_enabled = false;
bool g_looping = false;
std::string g_pendingText;
int g_pendingSeconds = 0;

// Outside the image, as an open-source server keeps its message: no scan of the image finds it.
// Made once and kept for the process's life (the strip may draw from it until the stop).
char* HeapText() {
    static char* const text = new char[kTextBuffer]();
    return text;
}

char* MirrorAt(uint32_t rva) {
    uintptr_t start = reinterpret_cast<uintptr_t>(g_image.mirror) - ModuleBase();
    if (rva < start || rva + kTextBuffer > start + sizeof g_image.mirror) return nullptr;
    return g_image.mirror + (rva - start);
}

// Pieces of text, each ended by a NUL, none holding a phrase the plug-in looks for (near misses
// on purpose); one runs longer than a 128-byte window.
void FillFiller() {
    static const char* const kPieces[] = {
        "Loaded F", "ComFre", "You are no", "virtual Co-pilo", "P.I.", "Loaded AD", "Initialisin",
        "Tower, cleared to land runway 27 left, wind two seven zero at eight knots",
        "Contact departure on one two four decimal three five, good day",
        "Radar contact, climb and maintain flight level one two zero, proceed direct to the fix, expect "
        "higher in ten miles; traffic at your two o'clock, five miles, opposite direction, a heavy jet "
        "descending through flight level one three zero; report the traffic in sight",
        "QV3 not connected to XPlane", "Com Freq", "loaded  fp", "You  are not",
    };
    size_t at = 0, piece = 0;
    while (at < sizeof g_image.filler) {
        const char* text = kPieces[piece++ % (sizeof kPieces / sizeof kPieces[0])];
        size_t n = strlen(text) + 1;
        if (at + n > sizeof g_image.filler) n = sizeof g_image.filler - at;
        memcpy(g_image.filler + at, text, n);
        at += n;
    }
    g_image.filler[sizeof g_image.filler - 1] = 0;
}

void Draw(XPLMWindowID window, void*) {
    int left, top, right, bottom;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    float white[3] = {1.0f, 1.0f, 1.0f};
    // Baseline 14 below the top edge: inside the 20-pixel strip, and at the top of a moved box.
    XPLMDrawString(white, left + 8, top - 14, g_text, nullptr, xplmFont_Basic);
}

void Key(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}
int Mouse(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 0; }

void TakeDown() {
    if (!g_strip) return;
    XPLMDestroyWindow(g_strip);
    g_strip = nullptr;
}

void Show(const std::string& text, int seconds, float now) {
    memset(g_text, 0, kTextBuffer);
    memcpy(g_text, text.data(), text.size() < kMessageTextSize ? text.size() : kMessageTextSize);
    g_seconds = seconds;
    g_until = now + float(seconds);
    // New text while shown keeps the window and restarts the time.
    if (!g_strip) {
        int width = 0, height = 0;
        XPLMGetScreenSize(&width, &height);
        g_strip = XPLMCreateWindow(1, height - 20, width, height - 40, 1, Draw, Key, Mouse, nullptr);
    }
}

float StripLoop(float, float, int, void*) {
    float now = XPLMGetElapsedTime();
    if (g_pending) {
        g_pending = false;
        if (g_pendingText.empty() || g_pendingSeconds <= 0)
            TakeDown();
        else
            Show(g_pendingText, g_pendingSeconds, now);
    }
    if (g_strip && now + 1e-4f >= g_until) TakeDown();
    // Every frame while enabled: a client's message is latched outside any callback (the window
    // procedure serves IPC), where no SDK call is allowed, and waits here to be shown.
    return g_enabled ? -1.0f : 0.0f;
}

}  // namespace

void TextStripStart() {
    FillFiller();
    memset(g_text, 0, kTextBuffer);
    // Registered here, in our own name: windows made from the loop are then ours, whoever wrote
    // the message (a client's batch arrives through the host's message pump, outside any plug-in).
    XPLMRegisterFlightLoopCallback(StripLoop, 0.0f, nullptr);
    g_looping = true;
    if (!MirrorAt(kFirstRva) || !SetTextPlacement("first", nullptr)) SetTextPlacement("own", nullptr);
}

void TextStripEnable(bool on) {
    g_enabled = on;
    if (g_looping) XPLMSetFlightLoopCallbackInterval(StripLoop, on ? -1.0f : 0.0f, 1, nullptr);
    if (on) return;
    TakeDown();
    g_pending = false;
}

void TextStripStop() {
    TakeDown();
    g_pending = false;
    g_enabled = false;
    if (g_looping) XPLMUnregisterFlightLoopCallback(StripLoop, nullptr);
    g_looping = false;
}

void MessageTimeWritten() {
    if (!g_enabled) return;
    // Latched now, shown from the next flight loop on, where the window is made in our own name.
    uint8_t text[kMessageTextSize];
    int16_t seconds;
    TableRead(kMessageText, sizeof text, text);
    TableRead(kMessageTime, 2, reinterpret_cast<uint8_t*>(&seconds));
    g_pendingText.assign(reinterpret_cast<char*>(text), strnlen(reinterpret_cast<char*>(text), sizeof text));
    g_pendingSeconds = seconds;
    g_pending = true;
}

std::string DescribeMessage() {
    char line[400];
    if (!g_strip) {
        snprintf(line, sizeof line, "message none, last text \"%s\"\n", g_text);
        return line;
    }
    int left, top, right, bottom;
    XPLMGetWindowGeometry(g_strip, &left, &top, &right, &bottom);
    snprintf(line, sizeof line, "message \"%s\" for %d s, %.0f s left, window at %d,%d,%d,%d\n", g_text, g_seconds,
             double(g_until - XPLMGetElapsedTime()), left, top, right, bottom);
    return line;
}

bool SetTextPlacement(const std::string& which, std::string* error) {
    char* target = nullptr;
    if (which == "first")
        target = MirrorAt(kFirstRva);
    else if (which == "second")
        target = MirrorAt(kSecondRva);
    else if (which == "own")
        target = g_ownText;
    else if (which == "heap")
        target = HeapText();
    else {
        if (error) *error = "text-buffer: first, second, own or heap";
        return false;
    }
    if (!target) {
        if (error) *error = "text-buffer: this build's image does not reach that place";
        return false;
    }
    if (target != g_text) {
        memcpy(target, g_text, kTextBuffer);
        memset(g_text, 0, kTextBuffer);  // no stale copy for a scan to find
        g_text = target;
    }
    g_placement = which == "first" ? "first" : which == "second" ? "second" : which == "heap" ? "heap" : "own";
    return true;
}

std::string DescribeTextBuffer() {
    char line[120];
    if (g_text == HeapText()) return "text buffer heap, outside the image\n";
    snprintf(line, sizeof line, "text buffer %s at RVA 0x%llX\n", g_placement,
             (unsigned long long)(reinterpret_cast<uintptr_t>(g_text) - ModuleBase()));
    return line;
}

}  // namespace xpuipc
