// Callback order, consumption, the five dispatch modes, and destroying from inside callbacks.
#include <string>

#include "fixture.h"

namespace {

class Dispatch : public WidgetTest {};

const int kMsg = xpMsg_UserStart + 1;

TEST_F(Dispatch, NewestCallbackFirstClassFunctionLastAndModes) {
    XPWidgetID w = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPAddWidgetCallback(w, Probe<1>);
    XPAddWidgetCallback(w, Probe<2>);
    EXPECT_EQ(Trail(xpMsg_Create), "0,1,2");  // creation, then each added callback as a subclass
    EXPECT_EQ(HeardOf(xpMsg_Create)[1].param1, 1);

    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(w, kMsg, xpMode_Direct, 7, 8), 0);
    EXPECT_EQ(Trail(kMsg), "2,1,0");
    EXPECT_EQ(g_heard[0].widget, w);
    EXPECT_EQ(g_heard[0].param1, 7);
    EXPECT_EQ(g_heard[0].param2, 8);

    g_consumes[1] = {kMsg};
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(w, kMsg, xpMode_Direct, 0, 0), 1);
    EXPECT_EQ(Trail(kMsg), "2,1");
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(w, kMsg, xpMode_DirectAllCallbacks, 0, 0), 1);
    EXPECT_EQ(Trail(kMsg), "2,1,0");
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(w, kMsg, xpMode_Once, 0, 0), 0);
    EXPECT_EQ(Trail(kMsg), "2");
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(w, kMsg, 99, 0, 0), 0);
    EXPECT_EQ(XPSendMessageToWidget(nullptr, kMsg, xpMode_Direct, 0, 0), 0);
    EXPECT_EQ(XPSendMessageToWidget((XPWidgetID)0x1234, kMsg, xpMode_Direct, 0, 0), 0);
    EXPECT_EQ(Trail(kMsg), "");
}

TEST_F(Dispatch, UpChainStopsAtConsumerAndRecursiveReachesEveryDescendant) {
    XPWidgetID top = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID mid = Custom(0, 100, 100, 0, top, Probe<1>);
    XPWidgetID leaf = Custom(0, 100, 100, 0, mid, Probe<2>);
    XPWidgetID other = Custom(0, 100, 100, 0, top, Probe<3>);
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(leaf, kMsg, xpMode_UpChain, 0, 0), 0);
    EXPECT_EQ(Trail(kMsg), "2,1,0");
    g_consumes[1] = {kMsg};
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(leaf, kMsg, xpMode_UpChain, 0, 0), 1);
    EXPECT_EQ(Trail(kMsg), "2,1");
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(top, kMsg, xpMode_Recursive, 0, 0), 1);
    EXPECT_EQ(Trail(kMsg), "0,1,2,3");  // depth first, children in order, consumption stops nothing
    (void)other;
}

TEST_F(Dispatch, CreateAndDestroyMessages) {
    XPWidgetID top = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID kid = Custom(0, 100, 100, 0, top, Probe<1>);
    EXPECT_EQ(Trail(xpMsg_AcceptChild, top), "0");
    EXPECT_EQ(HeardOf(xpMsg_AcceptChild)[0].param1, (intptr_t)kid);
    EXPECT_EQ(Trail(xpMsg_AcceptParent, kid), "1");
    XPAddWidgetCallback(top, Probe<2>);
    g_consumes[2] = {xpMsg_Destroy};
    g_heard.clear();
    XPDestroyWidget(top, 1);
    // The children go first, then the widget; every callback hears it, consumed or not.
    EXPECT_EQ(Trail(xpMsg_Destroy), "1,2,0");
    auto destroys = HeardOf(xpMsg_Destroy);
    EXPECT_EQ(destroys[0].param1, 1);  // through its parent
    EXPECT_EQ(destroys[1].param1, 0);  // explicit
    EXPECT_EQ(SIMW_WidgetCount(), 0);

    // Taken out of its container, a widget hears that it has no parent.
    XPWidgetID box = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID item = Custom(0, 100, 100, 0, box, Probe<1>);
    g_heard.clear();
    XPPlaceWidgetWithin(item, nullptr);
    EXPECT_EQ(Trail(xpMsg_LoseChild, box), "0");
    auto parents = HeardOf(xpMsg_AcceptParent);
    ASSERT_EQ(parents.size(), 1u);
    EXPECT_EQ(parents[0].widget, item);
    EXPECT_EQ(parents[0].param1, 0);
    g_heard.clear();
    XPPlaceWidgetWithin(item, nullptr);  // already without one: nothing to tell
    EXPECT_TRUE(g_heard.empty());
}

TEST_F(Dispatch, DestroyingFromInsideCallbacksIsSafe) {
    XPWidgetID top = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID a = Custom(0, 100, 100, 0, top, Probe<1>);
    XPWidgetID b = Custom(0, 100, 100, 0, top, Probe<2>);
    XPWidgetID c = Custom(0, 100, 100, 0, top, Probe<3>);
    XPAddWidgetCallback(b, Probe<4>);

    // A newer callback destroys its own widget: the older ones never hear the message.
    g_actions[4] = [](XPWidgetMessage m, XPWidgetID w, intptr_t, intptr_t) {
        if (m == kMsg) XPDestroyWidget(w, 1);
        return 0;
    };
    g_heard.clear();
    EXPECT_EQ(XPSendMessageToWidget(b, kMsg, xpMode_UpChain, 0, 0), 0);
    EXPECT_EQ(Trail(kMsg), "4,0");  // the chain goes on from the old parent
    EXPECT_EQ(XPCountChildWidgets(top), 2);

    // Recursive dispatch skips a sibling destroyed on the way.
    g_actions[1] = [c](XPWidgetMessage m, XPWidgetID, intptr_t, intptr_t) {
        if (m == kMsg) XPDestroyWidget(c, 1);
        return 0;
    };
    g_heard.clear();
    XPSendMessageToWidget(top, kMsg, xpMode_Recursive, 0, 0);
    EXPECT_EQ(Trail(kMsg), "0,1");

    // Destroying again from the destroy message is ignored; the parent hears it last, with its
    // children gone already.
    g_actions[1] = [](XPWidgetMessage m, XPWidgetID w, intptr_t, intptr_t) {
        if (m == xpMsg_Destroy) XPDestroyWidget(w, 1);
        return 0;
    };
    int childrenLeft = -1;
    g_actions[0] = [&childrenLeft](XPWidgetMessage m, XPWidgetID w, intptr_t, intptr_t) {
        if (m == xpMsg_Destroy) childrenLeft = XPCountChildWidgets(w);
        return 0;
    };
    g_heard.clear();
    XPDestroyWidget(top, 1);
    EXPECT_EQ(Trail(xpMsg_Destroy), "1,0");
    EXPECT_EQ(childrenLeft, 0);
    EXPECT_EQ(SIMW_WidgetCount(), 0);
    EXPECT_EQ(SIM_Misuses(), 0);

    // A destroyed id reads as empty everywhere, and every use of it is a misuse.
    int l = 5, exists = 5;
    char text[4] = "xyz";
    XPGetWidgetGeometry(a, &l, nullptr, nullptr, nullptr);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(XPGetWidgetProperty(a, xpProperty_Refcon, &exists), 0);
    EXPECT_EQ(exists, 0);
    EXPECT_EQ(XPGetWidgetDescriptor(a, text, 4), 0);
    EXPECT_EQ(XPGetParentWidget(a), nullptr);
    EXPECT_EQ(XPIsWidgetVisible(a), 0);
    g_heard.clear();
    XPAddWidgetCallback(a, Probe<5>);
    XPDestroyWidget(a, 1);
    XPShowWidget(a);
    XPPlaceWidgetWithin(a, nullptr);
    EXPECT_TRUE(g_heard.empty());
    EXPECT_EQ(SIM_Misuses(), 9);
    EXPECT_NE(std::string(SIM_FirstMisuse()).find("XPGetWidgetGeometry: not a live widget"), std::string::npos);
    // 0 is "no widget", not a dead one.
    XPSetKeyboardFocus(nullptr);
    XPGetWidgetGeometry(nullptr, &l, nullptr, nullptr, nullptr);
    EXPECT_EQ(SIM_Misuses(), 9);
}

TEST_F(Dispatch, DeadHandlesChangeNothingElse) {
    XPWidgetID root = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID field = Custom(10, 90, 90, 10, root, Probe<1>);
    XPWidgetID gone = Custom(10, 90, 90, 10, root, Probe<2>);
    XPDestroyWidget(gone, 1);
    g_consumes[1] = {xpMsg_KeyTakeFocus};
    ASSERT_EQ(XPSetKeyboardFocus(field), field);
    // A dead container or focus target is not "none": the widget stays put, the focus stays.
    XPPlaceWidgetWithin(field, gone);
    EXPECT_EQ(XPGetParentWidget(field), root);
    EXPECT_EQ(XPSetKeyboardFocus(gone), field);
    EXPECT_EQ(XPGetWidgetWithFocus(), field);
    EXPECT_EQ(XPCreateCustomWidget(0, 10, 10, 0, 1, "x", 0, gone, Probe<3>) != nullptr, true);
    EXPECT_EQ(SIM_Misuses(), 3);
}

}  // namespace
