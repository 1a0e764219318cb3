#pragma once
// The IPC server's one-line text strip, as caught when it is created, and where it belongs.
#include "XPLMDisplay.h"

struct ScreenRect {
    int left, top, right, bottom;
};

// The strip's state, kept here and changed only through the calls below; simulator's thread
// only: caught and lost by the window interception, placed by link start and stop, the settings
// window and other plug-ins' messages.
XPLMWindowID AtcTextWindow();  // null until the server has shown text, and once forgotten
bool AtcTextWindowFound();     // the strip has been recognised once since load
ScreenRect AtcTextRect();      // where the strip belongs
bool HideAtcText();            // other plug-ins asked for it hidden

// The window interception saw the server create its strip: remembered, and moved to rect.
void CatchAtcStrip(XPLMWindowID window, const ScreenRect& rect);
// The window is destroyed: forgotten when it is the strip.
void AtcStripDestroyed(XPLMWindowID window);
// Unwatched from here on (the hooks that see it destroyed are off): the handle may die any time.
void ForgetAtcStrip();
// Where the strip belongs from now on; MoveAtcStrip takes it there.
void SetAtcStripRect(const ScreenRect& rect);
// The known strip to its rectangle.
void MoveAtcStrip();
// The known strip back on the server's own line across the top of a screen of that size (its
// rectangle is kept for the next link).
void ReturnAtcStripToServer(int screenWidth, int screenHeight);
// Shows or hides the known strip, leaving the other plug-ins' wish as it is.
void ShowAtcStrip(bool visible);
// Other plug-ins' wish: remembered for a strip caught later, and applied to the known one.
void SetHideAtcText(bool hide);
// All of it back to its values at load (no strip, the server's own place, shown). Only with no
// interception running.
void ResetAtcTextState();

// The rectangle of a box of the given size in the corner named by a window position (1 top left,
// 2 top right, 3 bottom right, 4 bottom left) on a screen of the given size; false for any other
// position.
bool CornerBox(int windowPosition, int screenWidth, int screenHeight, int boxWidth, int boxHeight, ScreenRect* out);
// The 180 x 170 box that other plug-ins' messages and the settings window place the text in.
bool CornerRect(int windowPosition, int screenWidth, int screenHeight, ScreenRect* out);
