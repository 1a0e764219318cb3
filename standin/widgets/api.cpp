// The widget library's exported API. Every entry point is counted for the simulator's
// off-thread check, then checks its widget ids; an unknown or destroyed id is reported to the
// simulator as a misuse (the real library would follow a freed pointer), does nothing and reads
// as empty.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../common/sim_control.h"
#include "XPWidgets.h"
#include "widgets.h"

using namespace wid;

namespace {

Id IdOf(XPWidgetID handle) { return reinterpret_cast<Id>(handle); }

// The widget behind a handle the caller says is one; 0 ("no widget") is not a misuse here.
Widget* Live(XPWidgetID handle, const char* api) {
    if (!handle) return nullptr;
    Widget* w = Find(handle);
    if (!w) {
        char text[128];
        snprintf(text, sizeof text, "%s: not a live widget (%p)", api, handle);
        SIM_Misuse(text);
    }
    return w;
}

// The id when it names a live widget (or is 0), else 0 after reporting it.
Id Checked(XPWidgetID handle, const char* api) { return Live(handle, api) ? IdOf(handle) : 0; }

void Put(int* out, int value) {
    if (out) *out = value;
}

}  // namespace

extern "C" {

WIDGET_API XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                     const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                     XPWidgetClass inClass) {
    SIM_CountApiCallFrom("XPCreateWidget", __builtin_return_address(0));
    return Handle(Create(inLeft, inTop, inRight, inBottom, inVisible != 0, inDescriptor, inIsRoot != 0,
                         Checked(inContainer, "XPCreateWidget"), inClass, ClassFunction(inClass)));
}

WIDGET_API XPWidgetID XPCreateCustomWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                           const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                           XPWidgetFunc_t inCallback) {
    SIM_CountApiCallFrom("XPCreateCustomWidget", __builtin_return_address(0));
    return Handle(Create(inLeft, inTop, inRight, inBottom, inVisible != 0, inDescriptor, inIsRoot != 0,
                         Checked(inContainer, "XPCreateCustomWidget"), xpWidgetClass_None, inCallback));
}

WIDGET_API void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren) {
    SIM_CountApiCallFrom("XPDestroyWidget", __builtin_return_address(0));
    Destroy(Checked(inWidget, "XPDestroyWidget"), inDestroyChildren != 0, 0);
}

WIDGET_API int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage, XPDispatchMode inMode,
                                     intptr_t inParam1, intptr_t inParam2) {
    SIM_CountApiCallFrom("XPSendMessageToWidget", __builtin_return_address(0));
    return Send(Checked(inWidget, "XPSendMessageToWidget"), inMessage, inMode, inParam1, inParam2);
}

WIDGET_API void XPPlaceWidgetWithin(XPWidgetID inSubWidget, XPWidgetID inContainer) {
    SIM_CountApiCallFrom("XPPlaceWidgetWithin", __builtin_return_address(0));
    Id sub = Checked(inSubWidget, "XPPlaceWidgetWithin");
    // A dead container must not read as 0, which would take the widget out of its parent.
    if (inContainer && !Live(inContainer, "XPPlaceWidgetWithin")) return;
    PlaceWithin(sub, IdOf(inContainer));
}

WIDGET_API int XPCountChildWidgets(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPCountChildWidgets", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPCountChildWidgets");
    return w ? (int)w->children.size() : 0;
}

WIDGET_API XPWidgetID XPGetNthChildWidget(XPWidgetID inWidget, int inIndex) {
    SIM_CountApiCallFrom("XPGetNthChildWidget", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPGetNthChildWidget");
    if (!w || inIndex < 0 || inIndex >= (int)w->children.size()) return nullptr;
    return Handle(w->children[inIndex]);
}

WIDGET_API XPWidgetID XPGetParentWidget(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPGetParentWidget", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPGetParentWidget");
    return w ? Handle(w->parent) : nullptr;
}

WIDGET_API void XPShowWidget(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPShowWidget", __builtin_return_address(0));
    SetVisible(Checked(inWidget, "XPShowWidget"), true);
}

WIDGET_API void XPHideWidget(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPHideWidget", __builtin_return_address(0));
    SetVisible(Checked(inWidget, "XPHideWidget"), false);
}

WIDGET_API int XPIsWidgetVisible(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPIsWidgetVisible", __builtin_return_address(0));
    return IsVisible(Checked(inWidget, "XPIsWidgetVisible")) ? 1 : 0;
}

WIDGET_API XPWidgetID XPFindRootWidget(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPFindRootWidget", __builtin_return_address(0));
    return Handle(FindRoot(Checked(inWidget, "XPFindRootWidget")));
}

WIDGET_API void XPBringRootWidgetToFront(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPBringRootWidgetToFront", __builtin_return_address(0));
    Widget* root = Find(FindRoot(Checked(inWidget, "XPBringRootWidgetToFront")));
    if (XPLMWindowID window = root ? LiveWindow(*root) : nullptr) XPLMBringWindowToFront(window);
}

WIDGET_API int XPIsWidgetInFront(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPIsWidgetInFront", __builtin_return_address(0));
    Widget* root = Find(FindRoot(Checked(inWidget, "XPIsWidgetInFront")));
    XPLMWindowID window = root ? LiveWindow(*root) : nullptr;
    return window && XPLMIsWindowInFront(window) ? 1 : 0;
}

WIDGET_API void XPGetWidgetGeometry(XPWidgetID inWidget, int* outLeft, int* outTop, int* outRight,
                                    int* outBottom) {
    SIM_CountApiCallFrom("XPGetWidgetGeometry", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPGetWidgetGeometry");
    Put(outLeft, w ? w->left : 0);
    Put(outTop, w ? w->top : 0);
    Put(outRight, w ? w->right : 0);
    Put(outBottom, w ? w->bottom : 0);
}

WIDGET_API void XPSetWidgetGeometry(XPWidgetID inWidget, int inLeft, int inTop, int inRight, int inBottom) {
    SIM_CountApiCallFrom("XPSetWidgetGeometry", __builtin_return_address(0));
    SetGeometry(Checked(inWidget, "XPSetWidgetGeometry"), inLeft, inTop, inRight, inBottom);
}

WIDGET_API XPWidgetID XPGetWidgetForLocation(XPWidgetID inContainer, int inXOffset, int inYOffset,
                                             int inRecursive, int inVisibleOnly) {
    SIM_CountApiCallFrom("XPGetWidgetForLocation", __builtin_return_address(0));
    return Handle(WidgetForLocation(Checked(inContainer, "XPGetWidgetForLocation"), inXOffset, inYOffset,
                                    inRecursive != 0, inVisibleOnly != 0));
}

WIDGET_API void XPGetWidgetExposedGeometry(XPWidgetID inWidgetID, int* outLeft, int* outTop, int* outRight,
                                           int* outBottom) {
    SIM_CountApiCallFrom("XPGetWidgetExposedGeometry", __builtin_return_address(0));
    Widget* w = Live(inWidgetID, "XPGetWidgetExposedGeometry");
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
    SIM_CountApiCallFrom("XPSetWidgetDescriptor", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPSetWidgetDescriptor");
    if (!w) return;
    w->descriptor = inDescriptor ? inDescriptor : "";
    Deliver(w->id, xpMsg_DescriptorChanged, 0, 0);
}

WIDGET_API int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength) {
    SIM_CountApiCallFrom("XPGetWidgetDescriptor", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPGetWidgetDescriptor");
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
    SIM_CountApiCallFrom("XPGetWidgetUnderlyingWindow", __builtin_return_address(0));
    Widget* root = Find(FindRoot(Checked(inWidget, "XPGetWidgetUnderlyingWindow")));
    return root ? LiveWindow(*root) : nullptr;
}

WIDGET_API void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue) {
    SIM_CountApiCallFrom("XPSetWidgetProperty", __builtin_return_address(0));
    SetProperty(Checked(inWidget, "XPSetWidgetProperty"), inProperty, inValue);
}

WIDGET_API intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int* inExists) {
    SIM_CountApiCallFrom("XPGetWidgetProperty", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPGetWidgetProperty");
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
    SIM_CountApiCallFrom("XPSetKeyboardFocus", __builtin_return_address(0));
    // A dead widget must not read as 0, which would hand the keyboard back to the simulator.
    if (inWidget && !Live(inWidget, "XPSetKeyboardFocus")) return Handle(R().focus);
    return Handle(SetFocus(IdOf(inWidget)));
}

WIDGET_API void XPLoseKeyboardFocus(XPWidgetID inWidget) {
    SIM_CountApiCallFrom("XPLoseKeyboardFocus", __builtin_return_address(0));
    LoseFocus(Checked(inWidget, "XPLoseKeyboardFocus"));
}

WIDGET_API XPWidgetID XPGetWidgetWithFocus(void) {
    SIM_CountApiCallFrom("XPGetWidgetWithFocus", __builtin_return_address(0));
    return Handle(R().focus);
}

WIDGET_API void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback) {
    SIM_CountApiCallFrom("XPAddWidgetCallback", __builtin_return_address(0));
    Widget* w = Live(inWidget, "XPAddWidgetCallback");
    if (!w || !inNewCallback) return;
    w->callbacks.insert(w->callbacks.begin(), inNewCallback);
    // The new callback hears of its widget as a subclass being created (param1 = 1).
    inNewCallback(xpMsg_Create, inWidget, 1, 0);
}

WIDGET_API XPWidgetFunc_t XPGetWidgetClassFunc(XPWidgetClass inWidgetClass) {
    SIM_CountApiCallFrom("XPGetWidgetClassFunc", __builtin_return_address(0));
    return ClassFunction(inWidgetClass);
}

}  // extern "C"
