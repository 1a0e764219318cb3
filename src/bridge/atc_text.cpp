#include "bridge/atc_text.h"

namespace {
// The server's own strip on a 1024 x 768 screen.
constexpr ScreenRect kServerStrip = {1, 748, 1024, 728};
}  // namespace

XPLMWindowID AtcTextWindow = nullptr;
int AtcTextWindowFound = 0;
ScreenRect AtcTextRect = kServerStrip;
int HideAtcText = 0;

void ResetAtcTextState() {
    AtcTextWindow = nullptr;
    AtcTextWindowFound = 0;
    AtcTextRect = kServerStrip;
    HideAtcText = 0;
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
