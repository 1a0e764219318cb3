#pragma once
// The stand-in widget library's test interface, reached through the loaded XPWidgets_64.dll
// (the plug-in's code links the library's import names only), and clicks as a user makes them.
#include <windows.h>

#include <string>
#include <vector>

#include "XPLMDisplay.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "common/sim_control.h"

namespace widgets {

template <typename Fn>
Fn Lookup(const char* name) {
    HMODULE module = GetModuleHandleA("XPWidgets_64.dll");
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Forgets every widget (after SIM_Init, whose fresh world no longer has their windows).
inline void Reset() {
    if (auto reset = Lookup<void (*)()>("SIMW_Reset")) reset();
}

inline int Count() {
    auto count = Lookup<int (*)()>("SIMW_WidgetCount");
    return count ? count() : -1;
}

// Every widget tree, one line a widget, as the scenarios print it.
inline std::string Describe() {
    auto describe = Lookup<int (*)(char*, int)>("SIMW_Describe");
    if (!describe) return "no widget library";
    std::vector<char> buf(describe(nullptr, 0) + 1);
    describe(buf.data(), (int)buf.size());
    return buf.data();
}

// The live widget with this descriptor that the user can see (else a hidden one), or null.
inline XPWidgetID Find(const char* descriptor) {
    auto find = Lookup<void* (*)(const char*)>("SIMW_FindWidget");
    return find ? static_cast<XPWidgetID>(find(descriptor)) : nullptr;
}

// A mouse click where it reaches the widget itself; false when it cannot be reached.
inline bool Click(XPWidgetID widget) {
    auto point = Lookup<int (*)(void*, int*, int*)>("SIMW_ClickPoint");
    int x = 0, y = 0;
    if (!point || !point(widget, &x, &y)) return false;
    SIM_Mouse(x, y, xplm_MouseDown);
    SIM_Mouse(x, y, xplm_MouseUp);
    return true;
}

inline bool Click(const char* descriptor) { return Click(Find(descriptor)); }

inline bool CloseBox(XPWidgetID window) {
    auto point = Lookup<int (*)(void*, int*, int*)>("SIMW_CloseBoxPoint");
    int x = 0, y = 0;
    if (!point || !point(window, &x, &y)) return false;
    SIM_Mouse(x, y, xplm_MouseDown);
    SIM_Mouse(x, y, xplm_MouseUp);
    return true;
}

inline intptr_t State(XPWidgetID button) { return XPGetWidgetProperty(button, xpProperty_ButtonState, nullptr); }

}  // namespace widgets
