#pragma once
// The IPC server's one-line text strip, as caught when it is created, and where it belongs.
#include "XPLMDisplay.h"

struct ScreenRect {
    int left, top, right, bottom;
};

// The strip's state, on the simulator's thread only: caught by the window interception, placed
// by link start and stop, the settings window and other plug-ins' messages (the entry points).
extern XPLMWindowID AtcTextWindow;  // null until the server has shown text
extern int AtcTextWindowFound;      // the strip has been recognised once since load
extern ScreenRect AtcTextRect;
extern int HideAtcText;
// All four back to their values at load (no strip, the server's own place, shown). Only on the
// simulator's thread, with no interception running.
void ResetAtcTextState();

// The rectangle of a box of the given size in the corner named by a window position (1 top left,
// 2 top right, 3 bottom right, 4 bottom left) on a screen of the given size; false for any other
// position.
bool CornerBox(int windowPosition, int screenWidth, int screenHeight, int boxWidth, int boxHeight, ScreenRect* out);
// The 180 x 170 box that other plug-ins' messages and the settings window place the text in.
bool CornerRect(int windowPosition, int screenWidth, int screenHeight, ScreenRect* out);
