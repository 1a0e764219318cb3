#pragma once
// What the stand-in simulator records of one drawn frame. Plain data shared by the stand-in
// DLLs, the host and the frame renderer; no windows.h here.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum SimDrawKind {
    SimDraw_String = 1,        // XPLMDrawString: x,y = left, baseline; text; rgb
    SimDraw_DarkBox = 2,       // XPLMDrawTranslucentDarkBox: l,t,r,b
    SimDraw_WidgetWindow = 3,  // a widget main window: l,t,r,b; text = caption; state = 1 with close boxes
    SimDraw_WidgetButton = 4,  // a widget button: l,t,r,b; text = caption; state = button state,
                               // style = button type (0 push, 1 radio/check box)
    SimDraw_WidgetCaption = 5, // a widget caption: l,t,r,b; text
    SimDraw_WidgetBox = 6      // any other widget: l,t,r,b
};

#define SIM_DRAW_TEXT_MAX 512

// The simulator's basic font (xplmFont_Basic) is monospaced: every character advances 6 pixels
// and a line is 10 pixels high, as the simulator itself reports (XPLMGetFontDimensions gives
// 6, 10; XPLMMeasureString of "Hello World" gives 66). The stand-in reports and draws the same.
#define SIM_FONT_CHAR_WIDTH 6
#define SIM_FONT_CHAR_HEIGHT 10

typedef struct SimDrawItem {
    int kind;
    int left, top, right, bottom;  // for strings: left = x, bottom = top = y (baseline)
    float rgb[3];
    int state;
    int style;
    int window;                    // index of the stand-in window being drawn, -1 outside windows
    char text[SIM_DRAW_TEXT_MAX];  // NUL-terminated, cut to fit
} SimDrawItem;

#ifdef __cplusplus
}
#endif
