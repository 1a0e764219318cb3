#pragma once
// A fresh simulated world per test, and probe callbacks that record what they hear.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "sim_control.h"
#include "widgets_control.h"

struct Heard {
    int probe;
    XPWidgetMessage message;
    XPWidgetID widget;
    intptr_t param1, param2;
};

inline std::vector<Heard> g_heard;
inline std::vector<std::string> g_events;
// Per probe: messages it consumes, and an action run when it hears any message.
inline std::map<int, std::set<int>> g_consumes;
inline std::map<int, std::function<int(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t)>> g_actions;

template <int N>
int Probe(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    g_heard.push_back({N, message, widget, param1, param2});
    int consumed = g_consumes[N].count(message) ? 1 : 0;
    if (g_actions.count(N)) consumed |= g_actions[N](message, widget, param1, param2);
    return consumed;
}

// Which probes heard the message, in order, as "2,1,0"; optionally only for one widget.
inline std::string Trail(int message, XPWidgetID widget = nullptr) {
    std::string out;
    for (const Heard& h : g_heard) {
        if (h.message != message || (widget && h.widget != widget)) continue;
        out += (out.empty() ? "" : ",") + std::to_string(h.probe);
    }
    return out;
}

inline std::vector<Heard> HeardOf(int message) {
    std::vector<Heard> out;
    for (const Heard& h : g_heard)
        if (h.message == message) out.push_back(h);
    return out;
}

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_heard.clear();
        g_events.clear();
        g_consumes.clear();
        g_actions.clear();
        SIM_Init([](const char* line) { g_events.push_back(line); });
        SIMW_Reset();
        SIM_SetScreenSize(1024, 768);
    }
    static XPWidgetID Custom(int l, int t, int r, int b, XPWidgetID parent, XPWidgetFunc_t fn,
                             const char* text = "") {
        return XPCreateCustomWidget(l, t, r, b, 1, text, parent ? 0 : 1, parent, fn);
    }
    static XPWidgetID Button(int l, int t, int r, int b, XPWidgetID parent, int type, int behaviour,
                             const char* text) {
        XPWidgetID w = XPCreateWidget(l, t, r, b, 1, text, 0, parent, xpWidgetClass_Button);
        XPSetWidgetProperty(w, xpProperty_ButtonType, type);
        XPSetWidgetProperty(w, xpProperty_ButtonBehavior, behaviour);
        return w;
    }
    static void Click(int x, int y) {
        SIM_Mouse(x, y, xplm_MouseDown);
        SIM_Mouse(x, y, xplm_MouseUp);
    }
    static void ClickOn(XPWidgetID w) {
        int x = 0, y = 0;
        ASSERT_TRUE(SIMW_ClickPoint(w, &x, &y));
        Click(x, y);
    }
    static std::string Describe() {
        std::string text(SIMW_Describe(nullptr, 0) + 1, '\0');
        SIMW_Describe(&text[0], (int)text.size());
        text.pop_back();
        return text;
    }
};
