#pragma once
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef int XPLMFontID;
enum {
    xplmFont_Basic = 0,
    xplmFont_Proportional = 18
};

XPLM_API void XPLMDrawTranslucentDarkBox(int inLeft, int inTop, int inRight, int inBottom);
XPLM_API void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, char* inChar, int* inWordWrapWidth,
                             XPLMFontID inFontID);
XPLM_API void XPLMDrawNumber(float* inColorRGB, int inXOffset, int inYOffset, double inValue, int inDigits,
                             int inDecimals, int inShowSign, XPLMFontID inFontID);
XPLM_API void XPLMGetFontDimensions(XPLMFontID inFontID, int* outCharWidth, int* outCharHeight,
                                    int* outDigitsOnly);
XPLM_API float XPLMMeasureString(XPLMFontID inFontID, const char* inChar, int inNumChars);

#ifdef __cplusplus
}
#endif
