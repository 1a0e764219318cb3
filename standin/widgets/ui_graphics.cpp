// The simulator's user-interface drawing: backgrounds, elements and tracks, recorded into the
// frame like the standard widgets' drawing, with the stand-in's own element metrics.
#include <algorithm>
#include <cstring>

#include "../common/sim_control.h"
#include "XPUIGraphics.h"

namespace {

// Kinds of user-interface drawing, told apart by the recorded item's style.
enum { kUiWindow = 100, kUiElement = 200, kUiTrack = 300 };

void Record(int x1, int y1, int x2, int y2, int style, int state) {
    SimDrawItem item;
    memset(&item, 0, sizeof item);
    item.kind = SimDraw_WidgetBox;
    // Corners in any order: left/top is the upper left.
    item.left = std::min(x1, x2), item.right = std::max(x1, x2);
    item.top = std::max(y1, y2), item.bottom = std::min(y1, y2);
    item.style = style;
    item.state = state;
    item.window = -1;
    SIM_RecordDraw(&item);
}

struct Size {
    int style, width, height, canBeLit;
};
const Size kElements[] = {
    {xpElement_TextField, 100, 20, 0},       {xpElement_CheckBox, 16, 16, 1},
    {xpElement_CheckBoxLit, 16, 16, 1},      {xpElement_WindowCloseBox, 12, 12, 0},
    {xpElement_WindowCloseBoxPressed, 12, 12, 0}, {xpElement_PushButton, 60, 20, 1},
    {xpElement_PushButtonLit, 60, 20, 1},    {xpElement_ScrollBar, 16, 100, 0},
    {xpElement_TextFieldMiddle, 100, 20, 0}, {xpElement_LittleDownArrow, 12, 12, 0},
    {xpElement_LittleUpArrow, 12, 12, 0},    {xpElement_WindowDragBar, 100, 18, 0},
    {xpElement_WindowDragBarSmooth, 100, 18, 0}, {xpElement_CopyButtons, 40, 20, 0},
    {xpElement_CopyButtonsWithEditingGrid, 40, 20, 0}, {xpElement_EditingGrid, 20, 20, 0},
    {xpElement_Zoomer, 20, 20, 0},
};
const int kMapIconSize = 16;  // airports, navaids, objects of the map
const int kTitleBarHeight = 18;

}  // namespace

extern "C" {

WIDGET_API void XPDrawWindow(int inX1, int inY1, int inX2, int inY2, XPWindowStyle inStyle) {
    SIM_CountApiCallFrom("XPDrawWindow", __builtin_return_address(0));
    if (!SIM_DrawingCall("XPDrawWindow")) return;
    Record(inX1, inY1, inX2, inY2, kUiWindow + inStyle, 0);
}

WIDGET_API void XPGetWindowDefaultDimensions(XPWindowStyle inStyle, int* outWidth, int* outHeight) {
    SIM_CountApiCallFrom("XPGetWindowDefaultDimensions", __builtin_return_address(0));
    // The smallest window that still shows its frame: a title bar and room for a close box.
    int w = 3 * kTitleBarHeight, h = inStyle == xpWindow_MainWindow ? 2 * kTitleBarHeight : kTitleBarHeight;
    if (outWidth) *outWidth = w;
    if (outHeight) *outHeight = h;
}

WIDGET_API void XPDrawElement(int inX1, int inY1, int inX2, int inY2, XPElementStyle inStyle, int inLit) {
    SIM_CountApiCallFrom("XPDrawElement", __builtin_return_address(0));
    if (!SIM_DrawingCall("XPDrawElement")) return;
    Record(inX1, inY1, inX2, inY2, kUiElement + inStyle, inLit ? 1 : 0);
}

WIDGET_API void XPGetElementDefaultDimensions(XPElementStyle inStyle, int* outWidth, int* outHeight,
                                              int* outCanBeLit) {
    SIM_CountApiCallFrom("XPGetElementDefaultDimensions", __builtin_return_address(0));
    Size size = {inStyle, kMapIconSize, kMapIconSize, 0};
    for (const Size& s : kElements)
        if (s.style == inStyle) size = s;
    if (outWidth) *outWidth = size.width;
    if (outHeight) *outHeight = size.height;
    if (outCanBeLit) *outCanBeLit = size.canBeLit;
}

WIDGET_API void XPDrawTrack(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                            XPTrackStyle inTrackStyle, int inLit) {
    SIM_CountApiCallFrom("XPDrawTrack", __builtin_return_address(0));
    if (!SIM_DrawingCall("XPDrawTrack")) return;
    Record(inX1, inY1, inX2, inY2, kUiTrack + inTrackStyle, inValue);
}

WIDGET_API void XPGetTrackDefaultDimensions(XPTrackStyle inStyle, int* outWidth, int* outCanBeLit) {
    SIM_CountApiCallFrom("XPGetTrackDefaultDimensions", __builtin_return_address(0));
    if (outWidth) *outWidth = inStyle == xpTrack_Progress ? 12 : 16;
    if (outCanBeLit) *outCanBeLit = inStyle == xpTrack_Slider ? 1 : 0;
}

WIDGET_API void XPGetTrackMetrics(int inX1, int inY1, int inX2, int inY2, int inMin, int inMax, int inValue,
                                  XPTrackStyle inTrackStyle, int* outIsVertical, int* outDownBtnSize,
                                  int* outDownPageSize, int* outThumbSize, int* outUpPageSize,
                                  int* outUpBtnSize) {
    SIM_CountApiCallFrom("XPGetTrackMetrics", __builtin_return_address(0));
    long long width = std::llabs((long long)inX2 - inX1), height = std::llabs((long long)inY2 - inY1);
    bool vertical = height > width;
    long long length = vertical ? height : width, thickness = vertical ? width : height;
    // Scroll bars have an arrow button at each end, square as the bar is thick (a third of a
    // short bar each at most); sliders have a thumb; progress bars only fill.
    long long button = inTrackStyle == xpTrack_ScrollBar ? std::min(thickness, length / 3) : 0;
    long long space = length - 2 * button;
    long long thumb = inTrackStyle == xpTrack_Progress ? 0 : std::min(thickness, space);
    long long rest = space - thumb;
    long long lo = std::min(inMin, inMax), hi = std::max(inMin, inMax);
    long long value = std::min(std::max((long long)inValue, lo), hi);
    long long down = inMax == inMin ? 0 : rest * (value - inMin) / ((long long)inMax - inMin);
    if (outIsVertical) *outIsVertical = vertical ? 1 : 0;
    if (outDownBtnSize) *outDownBtnSize = (int)button;
    if (outDownPageSize) *outDownPageSize = (int)down;
    if (outThumbSize) *outThumbSize = (int)thumb;
    if (outUpPageSize) *outUpPageSize = (int)(rest - down);
    if (outUpBtnSize) *outUpBtnSize = (int)button;
}

}  // extern "C"
