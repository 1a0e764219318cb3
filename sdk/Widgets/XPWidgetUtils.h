#pragma once
// Helpers for building widget dialogs: creation from a table, moving, and ready-made behaviours
// to call from a widget's own callback.
#include "XPWidgetDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

// One row of a widget table. containerIndex: the row of the container (earlier in the table),
// NO_PARENT or PARAM_PARENT.
typedef struct {
    int left;
    int top;
    int right;
    int bottom;
    int visible;
    const char* descriptor;
    int isRoot;
    int containerIndex;
    XPWidgetClass widgetClass;
} XPWidgetCreate_t;

#define NO_PARENT -1
#define PARAM_PARENT -2
#define WIDGET_COUNT(x) ((sizeof(x) / sizeof(XPWidgetCreate_t)))

WIDGET_API void XPUCreateWidgets(const XPWidgetCreate_t* inWidgetDefs, int inCount, XPWidgetID inParamParent,
                                 XPWidgetID* ioWidgets);
WIDGET_API void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY);
// Keeps the children in place relative to the widget when it moves.
WIDGET_API int XPUFixedLayout(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                              intptr_t inParam2);
// A click brings the widget's window to the front; inEatClick: the click is consumed then.
WIDGET_API int XPUSelectIfNeeded(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                 intptr_t inParam2, int inEatClick);
// A click takes keyboard focus away from widgets, back to the simulator.
WIDGET_API int XPUDefocusKeyboard(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                  intptr_t inParam2, int inEatClick);
// A press inside the given screen rectangle drags the widget.
WIDGET_API int XPUDragWidget(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                             intptr_t inParam2, int inLeft, int inTop, int inRight, int inBottom);

#ifdef __cplusplus
}
#endif
