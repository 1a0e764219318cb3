#include "bridge/atc_text.h"

XPLMWindowID AtcTextWindow = nullptr;
int AtcTextWindowFound = 0;
// The server's own strip on a 1024 x 768 screen.
ScreenRect AtcTextRect = {1, 748, 1024, 728};
int HideAtcText = 0;

bool CornerRect(int windowPosition, int w, int h, ScreenRect* out) {
    switch (windowPosition) {
        case 1: *out = {0, h, 180, h - 170}; return true;
        case 2: *out = {w - 180, h, w, h - 170}; return true;
        case 3: *out = {w - 180, 170, w, 0}; return true;
        case 4: *out = {0, 170, 180, 0}; return true;
        default: return false;
    }
}
