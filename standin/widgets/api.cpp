// The widget library's exported API. Every entry point is counted for the simulator's
// off-thread check, then checks its widget ids; an unknown or destroyed id does nothing and
// reads as empty.
#include <algorithm>
#include <cstring>

#include "../common/sim_control.h"
#include "XPWidgets.h"
#include "widgets.h"

using namespace wid;

namespace {

Id IdOf(XPWidgetID handle) { return reinterpret_cast<Id>(handle); }

void Put(int* out, int value) {
    if (out) *out = value;
}

}  // namespace

extern "C" {

WIDGET_API XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                     const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                     XPWidgetClass inClass) {
    SIM_CountApiCall("XPCreateWidget");
    return Handle(Create(inLeft, inTop, inRight, inBottom, inVisible != 0, inDescriptor, inIsRoot != 0,
                         IdOf(inContainer), inClass, ClassFunction(inClass)));
}

WIDGET_API XPWidgetID XPCreateCustomWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                           const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                           XPWidgetFunc_t inCallback) {
    SIM_CountApiCall("XPCreateCustomWidget");
    return Handle(Create(inLeft, inTop, inRight, inBottom, inVisible != 0, inDescriptor, inIsRoot != 0,
                         IdOf(inContainer), xpWidgetClass_None, inCallback));
}

WIDGET_API void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren) {
    SIM_CountApiCall("XPDestroyWidget");
    Destroy(IdOf(inWidget), inDestroyChildren != 0, 0);
}

WIDGET_API int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage, XPDispatchMode inMode,
                                     intptr_t inParam1, intptr_t inParam2) {
    SIM_CountApiCall("XPSendMessageToWidget");
    return Send(IdOf(inWidget), inMessage, inMode, inParam1, inParam2);
}

WIDGET_API void XPPlaceWidgetWithin(XPWidgetID inSubWidget, XPWidgetID inContainer) {
    SIM_CountApiCall("XPPlaceWidgetWithin");
    PlaceWithin(IdOf(inSubWidget), IdOf(inContainer));
}

WIDGET_API int XPCountChildWidgets(XPWidgetID inWidget) {
    SIM_CountApiCall("XPCountChildWidgets");
    Widget* w = Find(inWidget);
    return w ? (int)w->children.size() : 0;
}

WIDGET_API XPWidgetID XPGetNthChildWidget(XPWidgetID inWidget, int inIndex) {
    SIM_CountApiCall("XPGetNthChildWidget");
    Widget* w = Find(inWidget);
    if (!w || inIndex < 0 || inIndex >= (int)w->children.size()) return nullptr;
    return Handle(w->children[inIndex]);
}

WIDGET_API XPWidgetID XPGetParentWidget(XPWidgetID inWidget) {
    SIM_CountApiCall("XPGetParentWidget");
    Widget* w = Find(inWidget);
    return w ? Handle(w->parent) : nullptr;
}

WIDGET_API void XPShowWidget(XPWidgetID inWidget) {
    SIM_CountApiCall("XPShowWidget");
    SetVisible(IdOf(inWidget), true);
}

WIDGET_API void XPHideWidget(XPWidgetID inWidget) {
    SIM_CountApiCall("XPHideWidget");
    SetVisible(IdOf(inWidget), false);
}

WIDGET_API int XPIsWidgetVisible(XPWidgetID inWidget) {
    SIM_CountApiCall("XPIsWidgetVisible");
    return IsVisible(IdOf(inWidget)) ? 1 : 0;
}

WIDGET_API XPWidgetID XPFindRootWidget(XPWidgetID inWidget) {
    SIM_CountApiCall("XPFindRootWidget");
    return Handle(FindRoot(IdOf(inWidget)));
}

WIDGET_API void XPBringRootWidgetToFront(XPWidgetID inWidget) {
    SIM_CountApiCall("XPBringRootWidgetToFront");
    Widget* root = Find(FindRoot(IdOf(inWidget)));
    if (XPLMWindowID window = root ? LiveWindow(*root) : nullptr) XPLMBringWindowToFront(window);
}

WIDGET_API int XPIsWidgetInFront(XPWidgetID inWidget) {
    SIM_CountApiCall("XPIsWidgetInFront");
    Widget* root = Find(FindRoot(IdOf(inWidget)));
    XPLMWindowID window = root ? LiveWindow(*root) : nullptr;
    return window && XPLMIsWindowInFront(window) ? 1 : 0;
}

WIDGET_API void XPGetWidgetGeometry(XPWidgetID inWidget, int* outLeft, int* outTop, int* outRight,
                                    int* outBottom) {
    SIM_CountApiCall("XPGetWidgetGeometry");
    Widget* w = Find(inWidget);
    Put(outLeft, w ? w->left : 0);
    Put(outTop, w ? w->top : 0);
    Put(outRight, w ? w->right : 0);
    Put(outBottom, w ? w->bottom : 0);
}

WIDGET_API void XPSetWidgetGeometry(XPWidgetID inWidget, int inLeft, int inTop, int inRight, int inBottom) {
    SIM_CountApiCall("XPSetWidgetGeometry");
    SetGeometry(IdOf(inWidget), inLeft, inTop, inRight, inBottom);
}

WIDGET_API XPWidgetID XPGetWidgetForLocation(XPWidgetID inContainer, int inXOffset, int inYOffset,
                                             int inRecursive, int inVisibleOnly) {
    SIM_CountApiCall("XPGetWidgetForLocation");
    return Handle(WidgetForLocation(IdOf(inContainer), inXOffset, inYOffset, inRecursive != 0, inVisibleOnly != 0));
}

WIDGET_API void XPGetWidgetExposedGeometry(XPWidgetID inWidgetID, int* outLeft, int* outTop, int* outRight,
                                           int* outBottom) {
    SIM_CountApiCall("XPGetWidgetExposedGeometry");
    Widget* w = Find(inWidgetID);
    int left = 0, top = 0, right = 0, bottom = 0;
    if (w) {
        // The part of the widget inside every one of its parents.
        left = w->left, top = w->top, right = w->right, bottom = w->bottom;
        size_t steps = R().widgets.size() + 1;
        for (Widget* p = Find(w->parent); p && steps--; p = Find(p->parent)) {
            left = std::max(left, p->left), right = std::min(right, p->right);
            top = std::min(top, p->top), bottom = std::max(bottom, p->bottom);
        }
        if (right < left) right = left;
        if (top < bottom) top = bottom;
    }
    Put(outLeft, left);
    Put(outTop, top);
    Put(outRight, right);
    Put(outBottom, bottom);
}

WIDGET_API void XPSetWidgetDescriptor(XPWidgetID inWidget, const char* inDescriptor) {
    SIM_CountApiCall("XPSetWidgetDescriptor");
    Widget* w = Find(inWidget);
    if (!w) return;
    w->descriptor = inDescriptor ? inDescriptor : "";
    Deliver(w->id, xpMsg_DescriptorChanged, 0, 0);
}

WIDGET_API int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength) {
    SIM_CountApiCall("XPGetWidgetDescriptor");
    Widget* w = Find(inWidget);
    const std::string empty;
    const std::string& text = w ? w->descriptor : empty;
    // strncpy semantics, as documented: terminated only when the buffer has room for it.
    if (outDescriptor && inMaxDescLength > 0) {
        size_t n = std::min(text.size(), (size_t)inMaxDescLength);
        memcpy(outDescriptor, text.data(), n);
        if (n < (size_t)inMaxDescLength) outDescriptor[n] = 0;
    }
    return (int)text.size();
}

WIDGET_API XPLMWindowID XPGetWidgetUnderlyingWindow(XPWidgetID inWidget) {
    SIM_CountApiCall("XPGetWidgetUnderlyingWindow");
    Widget* root = Find(FindRoot(IdOf(inWidget)));
    return root ? LiveWindow(*root) : nullptr;
}

WIDGET_API void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue) {
    SIM_CountApiCall("XPSetWidgetProperty");
    SetProperty(IdOf(inWidget), inProperty, inValue);
}

WIDGET_API intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int* inExists) {
    SIM_CountApiCall("XPGetWidgetProperty");
    Widget* w = Find(inWidget);
    if (w) {
        auto it = w->properties.find(inProperty);
        if (it != w->properties.end()) {
            Put(inExists, 1);
            return it->second;
        }
    }
    Put(inExists, 0);
    return 0;
}

WIDGET_API XPWidgetID XPSetKeyboardFocus(XPWidgetID inWidget) {
    SIM_CountApiCall("XPSetKeyboardFocus");
    return Handle(SetFocus(IdOf(inWidget)));
}

WIDGET_API void XPLoseKeyboardFocus(XPWidgetID inWidget) {
    SIM_CountApiCall("XPLoseKeyboardFocus");
    LoseFocus(IdOf(inWidget));
}

WIDGET_API XPWidgetID XPGetWidgetWithFocus(void) {
    SIM_CountApiCall("XPGetWidgetWithFocus");
    return Handle(R().focus);
}

WIDGET_API void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback) {
    SIM_CountApiCall("XPAddWidgetCallback");
    Widget* w = Find(inWidget);
    if (!w || !inNewCallback) return;
    w->callbacks.insert(w->callbacks.begin(), inNewCallback);
    // The new callback hears of its widget as a subclass being created (param1 = 1).
    inNewCallback(xpMsg_Create, inWidget, 1, 0);
}

WIDGET_API XPWidgetFunc_t XPGetWidgetClassFunc(XPWidgetClass inWidgetClass) {
    SIM_CountApiCall("XPGetWidgetClassFunc");
    return ClassFunction(inWidgetClass);
}

}  // extern "C"
