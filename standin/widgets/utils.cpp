// Widget utilities: dialogs from a table, moving widgets, and the ready-made behaviours a
// widget's own callback hands messages to. Built on the library's public calls only.
#include <string>

#include "../common/sim_control.h"
#include "XPWidgetUtils.h"
#include "XPWidgets.h"

namespace {

const XPMouseState_t* Mouse(intptr_t param) { return reinterpret_cast<const XPMouseState_t*>(param); }


}  // namespace

extern "C" {

WIDGET_API void XPUCreateWidgets(const XPWidgetCreate_t* inWidgetDefs, int inCount, XPWidgetID inParamParent,
                                 XPWidgetID* ioWidgets) {
    SIM_CountApiCallFrom("XPUCreateWidgets", __builtin_return_address(0));
    if (inCount <= 0) return;
    if (!inWidgetDefs || !ioWidgets) {
        SIM_Misuse("XPUCreateWidgets: no table or no room for the widgets");
        return;
    }
    for (int i = 0; i < inCount; ++i) {
        const XPWidgetCreate_t& d = inWidgetDefs[i];
        XPWidgetID container = nullptr;
        if (d.containerIndex == PARAM_PARENT) {
            container = inParamParent;
        } else if (d.containerIndex >= 0 && d.containerIndex < i) {
            container = ioWidgets[d.containerIndex];
        } else if (d.containerIndex != NO_PARENT) {
            // A container must come earlier in the table.
            SIM_Misuse(("XPUCreateWidgets: row " + std::to_string(i) + " names container row " +
                        std::to_string(d.containerIndex))
                           .c_str());
        }
        ioWidgets[i] = XPCreateWidget(d.left, d.top, d.right, d.bottom, d.visible, d.descriptor, d.isRoot, container,
                                      d.widgetClass);
    }
}

WIDGET_API void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY) {
    SIM_CountApiCallFrom("XPUMoveWidgetBy", __builtin_return_address(0));
    int l, t, r, b;
    XPGetWidgetGeometry(inWidget, &l, &t, &r, &b);
    XPSetWidgetGeometry(inWidget, l + inDeltaX, t + inDeltaY, r + inDeltaX, b + inDeltaY);
}

WIDGET_API int XPUFixedLayout(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                              intptr_t inParam2) {
    SIM_CountApiCallFrom("XPUFixedLayout", __builtin_return_address(0));
    // Only the reshape of this widget itself; children hear of their own moves separately.
    if (inMessage != xpMsg_Reshape || reinterpret_cast<XPWidgetID>(inParam1) != inWidget || !inParam2) return 0;
    const XPWidgetGeometryChange_t* change = reinterpret_cast<const XPWidgetGeometryChange_t*>(inParam2);
    if (change->dx == 0 && change->dy == 0) return 0;
    int n = XPCountChildWidgets(inWidget);
    for (int i = 0; i < n; ++i) XPUMoveWidgetBy(XPGetNthChildWidget(inWidget, i), change->dx, change->dy);
    return 1;
}

WIDGET_API int XPUSelectIfNeeded(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                 intptr_t inParam2, int inEatClick) {
    SIM_CountApiCallFrom("XPUSelectIfNeeded", __builtin_return_address(0));
    if (inMessage != xpMsg_MouseDown || XPIsWidgetInFront(inWidget)) return 0;
    XPBringRootWidgetToFront(inWidget);
    return inEatClick ? 1 : 0;
}

WIDGET_API int XPUDefocusKeyboard(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                  intptr_t inParam2, int inEatClick) {
    SIM_CountApiCallFrom("XPUDefocusKeyboard", __builtin_return_address(0));
    if (inMessage != xpMsg_MouseDown) return 0;
    XPSetKeyboardFocus(nullptr);  // back to the simulator
    return inEatClick ? 1 : 0;
}

WIDGET_API int XPUDragWidget(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                             intptr_t inParam2, int inLeft, int inTop, int inRight, int inBottom) {
    SIM_CountApiCallFrom("XPUDragWidget", __builtin_return_address(0));
    if (inMessage != xpMsg_MouseDown && inMessage != xpMsg_MouseDrag && inMessage != xpMsg_MouseUp) return 0;
    const XPMouseState_t* m = Mouse(inParam1);
    if (!m) return 0;
    int l, t, r, b;
    XPGetWidgetGeometry(inWidget, &l, &t, &r, &b);
    if (inMessage == xpMsg_MouseDown) {
        if (m->x < inLeft || m->x >= inRight || m->y > inTop || m->y <= inBottom) return 0;
        XPSetWidgetProperty(inWidget, xpProperty_Dragging, 1);
        XPSetWidgetProperty(inWidget, xpProperty_DragXOff, m->x - l);
        XPSetWidgetProperty(inWidget, xpProperty_DragYOff, m->y - t);
        return 1;
    }
    if (!XPGetWidgetProperty(inWidget, xpProperty_Dragging, nullptr)) return 0;
    // The grabbed point stays under the mouse.
    int left = m->x - (int)XPGetWidgetProperty(inWidget, xpProperty_DragXOff, nullptr);
    int top = m->y - (int)XPGetWidgetProperty(inWidget, xpProperty_DragYOff, nullptr);
    XPUMoveWidgetBy(inWidget, left - l, top - t);
    if (inMessage == xpMsg_MouseUp) XPSetWidgetProperty(inWidget, xpProperty_Dragging, 0);
    return 1;
}

}  // extern "C"
