#pragma once
// The IPC server's one-line text strip, as caught when it is created, and where it belongs.
#include "XPLMDisplay.h"

struct ScreenRect {
    int left, top, right, bottom;
};

extern XPLMWindowID AtcTextWindow;  // null until the server has shown text
extern int AtcTextWindowFound;      // the strip has been recognised once since load
extern ScreenRect AtcTextRect;
extern int HideAtcText;

// The rectangle of a 180 x 170 box in the corner named by a window position (1-4) on a
// screen of the given size; false for any other position.
bool CornerRect(int windowPosition, int screenWidth, int screenHeight, ScreenRect* out);
