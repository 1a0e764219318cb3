#pragma once
// The simulator's user-interface drawing: window backgrounds, elements and tracks.
#include "XPWidgetDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef int XPWindowStyle;
enum { xpWindow_Help = 0, xpWindow_MainWindow = 1, xpWindow_SubWindow = 2, xpWindow_Screen = 4,
       xpWindow_ListView = 5 };

WIDGET_API void XPDrawWindow(int inX1, int inY1, int inX2, int inY2, XPWindowStyle inStyle);
WIDGET_API void XPGetWindowDefaultDimensions(XPWindowStyle inStyle, int* outWidth, int* outHeight);

typedef int XPElementStyle;
enum {
    xpElement_TextField = 6,
    xpElement_CheckBox = 9,
    xpElement_CheckBoxLit = 10,
    xpElement_WindowCloseBox = 14,
    xpElement_WindowCloseBoxPressed = 15,
    xpElement_PushButton = 16,
    xpElement_PushButtonLit = 17,
    xpElement_OilPlatform = 24,
    xpElement_OilPlatformSmall = 29,
    xpElement_Ship = 31,
    xpElement_ILSGlideScope = 32,
    xpElement_MarkerLeft = 33,
    xpElement_Airport = 34,
    xpElement_Waypoint = 35,
    xpElement_NDB = 36,
    xpElement_VOR = 37,
    xpElement_RadioTower = 38,
    xpElement_AircraftCarrier = 39,
    xpElement_Fire = 40,
    xpElement_MarkerRight = 41,
    xpElement_CustomObject = 42,
    xpElement_CoolingTower = 43,
    xpElement_SmokeStack = 44,
    xpElement_Building = 45,
    xpElement_PowerLine = 46,
    xpElement_CopyButtons = 47,
    xpElement_CopyButtonsWithEditingGrid = 48,
    xpElement_EditingGrid = 49,
    xpElement_ScrollBar = 50,
    xpElement_VORWithCompassRose = 51,
    xpElement_Zoomer = 53,
    xpElement_TextFieldMiddle = 54,
    xpElement_LittleDownArrow = 55,
    xpElement_LittleUpArrow = 56,
    xpElement_WindowDragBar = 61,
    xpElement_WindowDragBarSmooth = 62
};

WIDGET_API void XPDrawElement(int inX1, int inY1, int inX2, int inY2, XPElementStyle inStyle, int inLit);
WIDGET_API void XPGetElementDefaultDimensions(XPElementStyle inStyle, int* outWidth, int* outHeight,
                                              int* outCanBeLit);

typedef int XPTrackStyle;
enum { xpTrack_ScrollBar = 0, xpTrack_Slider = 1, xpTrack_Progress = 2 };

WIDGET_API void XPDrawTrack(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                            XPTrackStyle inTrackStyle, int inLit);
WIDGET_API void XPGetTrackDefaultDimensions(XPTrackStyle inStyle, int* outWidth, int* outCanBeLit);
// The parts of a track along its length, bottom (or left) to top (or right).
WIDGET_API void XPGetTrackMetrics(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                                  XPTrackStyle inTrackStyle, int* outIsVertical, int* outDownBtnSize,
                                  int* outDownPageSize, int* outThumbSize, int* outUpPageSize,
                                  int* outUpBtnSize);

#ifdef __cplusplus
}
#endif
