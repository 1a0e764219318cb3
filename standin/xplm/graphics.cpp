// String and box drawing: recorded into the frame being drawn.
#include <cstring>

#include "XPLMGraphics.h"
#include "world.h"

namespace sim {
// The stand-in has one font, the basic one, and draws every font id with it.
constexpr int kCharWidth = SIM_FONT_CHAR_WIDTH;
constexpr int kCharHeight = SIM_FONT_CHAR_HEIGHT;
}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API void XPLMDrawTranslucentDarkBox(int inLeft, int inTop, int inRight, int inBottom) {
    ApiCall("XPLMDrawTranslucentDarkBox");
    if (!DrawingCall("XPLMDrawTranslucentDarkBox")) return;
    SimDrawItem item{};
    item.kind = SimDraw_DarkBox;
    item.left = inLeft;
    item.top = inTop;
    item.right = inRight;
    item.bottom = inBottom;
    item.window = W().drawingWindow;
    W().drawing.push_back(item);
}

static bool g_recordDraws = true;

SIM_API void SIM_SetDrawRecording(int on) { g_recordDraws = on != 0; }

static void RecordString(float* inColorRGB, int inXOffset, int inYOffset, const char* inChar, int* inWordWrapWidth,
                         XPLMFontID inFontID) {
    if (!g_recordDraws) return;
    SimDrawItem item{};
    item.kind = SimDraw_String;
    item.left = item.right = inXOffset;
    item.top = item.bottom = inYOffset;
    if (inColorRGB) memcpy(item.rgb, inColorRGB, sizeof item.rgb);
    item.style = inFontID;
    item.state = inWordWrapWidth ? *inWordWrapWidth : 0;
    if (inChar) strncpy(item.text, inChar, SIM_DRAW_TEXT_MAX - 1);
    item.window = W().drawingWindow;
    W().drawing.push_back(item);
}

XPLM_API void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, char* inChar, int* inWordWrapWidth,
                             XPLMFontID inFontID) {
    ApiCall("XPLMDrawString");
    if (!DrawingCall("XPLMDrawString")) return;
    RecordString(inColorRGB, inXOffset, inYOffset, inChar, inWordWrapWidth, inFontID);
}

XPLM_API void XPLMDrawNumber(float* inColorRGB, int inXOffset, int inYOffset, double inValue, int inDigits,
                             int inDecimals, int inShowSign, XPLMFontID inFontID) {
    ApiCall("XPLMDrawNumber");
    if (!DrawingCall("XPLMDrawNumber")) return;
    char text[64];
    snprintf(text, sizeof text, inShowSign ? "%+*.*f" : "%*.*f", inDigits, inDecimals, inValue);
    RecordString(inColorRGB, inXOffset, inYOffset, text, nullptr, inFontID);
}

XPLM_API void XPLMGetFontDimensions(XPLMFontID inFontID, int* outCharWidth, int* outCharHeight,
                                    int* outDigitsOnly) {
    ApiCall("XPLMGetFontDimensions");
    if (outCharWidth) *outCharWidth = kCharWidth;
    if (outCharHeight) *outCharHeight = kCharHeight;
    if (outDigitsOnly) *outDigitsOnly = 0;
}

XPLM_API float XPLMMeasureString(XPLMFontID inFontID, const char* inChar, int inNumChars) {
    ApiCall("XPLMMeasureString");
    return inChar && inNumChars > 0 ? (float)(inNumChars * kCharWidth) : 0.0f;
}

}  // extern "C"
