// The tree, visibility, geometry, hit testing, descriptors, properties and keyboard focus.
#include <cstring>

#include "fixture.h"

namespace {

class Tree : public WidgetTest {};

TEST_F(Tree, PlacingKeepsTheTreeALoopFreeHierarchy) {
    XPWidgetID root = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID a = Custom(0, 100, 100, 0, root, Probe<1>);
    XPWidgetID b = Custom(0, 100, 100, 0, root, Probe<2>);
    XPWidgetID a1 = Custom(0, 100, 100, 0, a, Probe<3>);
    XPPlaceWidgetWithin(a, a1);    // inside its own child: refused
    XPPlaceWidgetWithin(root, b);  // a root never goes inside anything
    EXPECT_EQ(XPGetParentWidget(a), root);
    EXPECT_EQ(XPGetParentWidget(root), nullptr);
    g_heard.clear();
    XPPlaceWidgetWithin(a1, b);
    EXPECT_EQ(Trail(xpMsg_LoseChild), "1");
    EXPECT_EQ(Trail(xpMsg_AcceptChild), "2");
    EXPECT_EQ(XPGetNthChildWidget(b, 0), a1);
    EXPECT_EQ(XPGetNthChildWidget(b, 1), nullptr);
    EXPECT_EQ(XPGetNthChildWidget(b, -1), nullptr);
    EXPECT_EQ(XPFindRootWidget(a1), root);

    // Placing a widget within its own parent makes it the last, front-most child, quietly.
    g_heard.clear();
    XPPlaceWidgetWithin(a, root);
    EXPECT_EQ(XPGetNthChildWidget(root, 0), b);
    EXPECT_EQ(XPGetNthChildWidget(root, 1), a);
    EXPECT_EQ(XPCountChildWidgets(root), 2);
    EXPECT_TRUE(g_heard.empty());

    // Destroying without children leaves them alive but out of the rooted tree.
    XPDestroyWidget(b, 0);
    EXPECT_EQ(XPGetParentWidget(a1), nullptr);
    EXPECT_EQ(XPFindRootWidget(a1), nullptr);
    EXPECT_EQ(XPIsWidgetVisible(a1), 0);
    EXPECT_EQ(SIMW_WidgetCount(), 3);
}

TEST_F(Tree, VisibilityFollowsParentsAndDrivesTheSimulatorWindow) {
    XPWidgetID root = XPCreateWidget(10, 200, 210, 50, 0, "W", 1, nullptr, xpWidgetClass_MainWindow);
    XPWidgetID kid = XPCreateWidget(20, 180, 60, 160, 1, "B", 0, root, xpWidgetClass_Button);
    XPAddWidgetCallback(root, Probe<0>);
    int l, t, r, b, visible = -1;
    ASSERT_TRUE(SIM_WindowInfo(0, &l, &t, &r, &b, &visible));
    EXPECT_EQ(visible, 0);
    EXPECT_EQ(XPIsWidgetVisible(kid), 0);
    XPShowWidget(root);
    XPShowWidget(root);
    EXPECT_EQ(XPIsWidgetVisible(kid), 1);
    SIM_WindowInfo(0, &l, &t, &r, &b, &visible);
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(Trail(xpMsg_Shown), "0");  // once: the second show changed nothing
    XPHideWidget(kid);
    EXPECT_EQ(Trail(xpMsg_Hidden), "0");  // up the chain from the child
    EXPECT_EQ(XPIsWidgetVisible(root), 1);
    EXPECT_EQ(XPGetWidgetUnderlyingWindow(kid), XPGetWidgetUnderlyingWindow(root));
    EXPECT_NE(XPGetWidgetUnderlyingWindow(root), nullptr);
}

TEST_F(Tree, GeometryMovesTheWidgetAndItsWindowButNotItsChildren) {
    XPWidgetID root = XPCreateWidget(10, 200, 210, 50, 1, "W", 1, nullptr, xpWidgetClass_MainWindow);
    XPWidgetID kid = Custom(20, 180, 60, 160, root, Probe<1>);
    XPAddWidgetCallback(root, Probe<0>);
    XPWidgetGeometryChange_t change = {};
    g_actions[0] = [&change](XPWidgetMessage m, XPWidgetID w, intptr_t p1, intptr_t p2) {
        if (m == xpMsg_Reshape && (XPWidgetID)p1 == w) change = *(XPWidgetGeometryChange_t*)p2;
        return 0;
    };
    XPSetWidgetGeometry(root, 110, 150, 330, 0);
    EXPECT_EQ(change.dx, 100);
    EXPECT_EQ(change.dy, -50);
    EXPECT_EQ(change.dwidth, 20);
    EXPECT_EQ(change.dheight, 0);
    int l, t, r, b, v;
    // Coordinates are global: the child keeps its own and hears of no change.
    XPGetWidgetGeometry(kid, &l, &t, &r, &b);
    EXPECT_EQ(l, 20); EXPECT_EQ(t, 180); EXPECT_EQ(r, 60); EXPECT_EQ(b, 160);
    EXPECT_EQ(HeardOf(xpMsg_Reshape).size(), 1u);
    SIM_WindowInfo(0, &l, &t, &r, &b, &v);
    EXPECT_EQ(l, 110); EXPECT_EQ(t, 150); EXPECT_EQ(r, 330); EXPECT_EQ(b, 0);
    XPSetWidgetGeometry(root, 110, 150, 400, -20);
    // The exposed part is clipped by the parent.
    XPSetWidgetGeometry(kid, 300, 200, 500, 100);
    XPGetWidgetExposedGeometry(kid, &l, &t, &r, &b);
    EXPECT_EQ(l, 300); EXPECT_EQ(t, 150); EXPECT_EQ(r, 400); EXPECT_EQ(b, 100);
}

TEST_F(Tree, WidgetForLocationFindsTheTopmostDeepestChild) {
    XPWidgetID root = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID under = Custom(10, 90, 60, 40, root, Probe<1>);
    XPWidgetID over = Custom(40, 60, 90, 10, root, Probe<2>);
    XPWidgetID deep = Custom(45, 55, 55, 45, over, Probe<3>);
    EXPECT_EQ(XPGetWidgetForLocation(root, 50, 50, 0, 1), over);  // later children lie on top
    EXPECT_EQ(XPGetWidgetForLocation(root, 50, 50, 1, 1), deep);
    EXPECT_EQ(XPGetWidgetForLocation(root, 20, 80, 1, 1), under);
    EXPECT_EQ(XPGetWidgetForLocation(root, 95, 95, 1, 1), root);
    EXPECT_EQ(XPGetWidgetForLocation(root, 150, 50, 1, 1), nullptr);
    XPHideWidget(over);
    EXPECT_EQ(XPGetWidgetForLocation(root, 50, 50, 1, 1), under);
    EXPECT_EQ(XPGetWidgetForLocation(root, 50, 50, 1, 0), deep);
}

TEST_F(Tree, DescriptorsAndProperties) {
    XPWidgetID w = XPCreateWidget(0, 10, 10, 0, 1, "Hello", 1, nullptr, xpWidgetClass_Button);
    XPAddWidgetCallback(w, Probe<0>);
    char buf[8];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(XPGetWidgetDescriptor(w, buf, 5), 5);  // strncpy: exactly full, not terminated
    EXPECT_EQ(std::string(buf, 6), "Hello#");
    EXPECT_EQ(XPGetWidgetDescriptor(w, buf, 8), 5);
    EXPECT_STREQ(buf, "Hello");
    EXPECT_EQ(XPGetWidgetDescriptor(w, nullptr, 0), 5);
    XPSetWidgetDescriptor(w, nullptr);
    EXPECT_EQ(XPGetWidgetDescriptor(w, buf, 8), 0);
    EXPECT_EQ(Trail(xpMsg_DescriptorChanged), "0");

    int exists = -1;
    EXPECT_EQ(XPGetWidgetProperty(w, xpProperty_ButtonBehavior, &exists), xpButtonBehaviorPushButton);
    EXPECT_EQ(exists, 1);  // buttons start with their class's properties
    EXPECT_EQ(XPGetWidgetProperty(w, xpProperty_UserStart + 5, &exists), 0);
    EXPECT_EQ(exists, 0);
    XPSetWidgetProperty(w, xpProperty_UserStart + 5, -42);
    EXPECT_EQ(XPGetWidgetProperty(w, xpProperty_UserStart + 5, nullptr), -42);
    auto changed = HeardOf(xpMsg_PropertyChanged);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].param1, xpProperty_UserStart + 5);
    EXPECT_EQ(changed[0].param2, -42);

    EXPECT_EQ(XPCreateWidget(0, 10, 10, 0, 1, "x", 1, nullptr, 99), nullptr);
    EXPECT_EQ(XPCreateCustomWidget(0, 10, 10, 0, 1, "x", 1, nullptr, nullptr), nullptr);
    EXPECT_EQ(XPGetWidgetClassFunc(99), nullptr);
}

TEST_F(Tree, KeyboardFocusGoesToWidgetsThatAcceptIt) {
    XPWidgetID root = Custom(0, 100, 100, 0, nullptr, Probe<0>);
    XPWidgetID field = Custom(10, 90, 90, 10, root, Probe<1>);
    g_consumes[1] = {xpMsg_KeyTakeFocus};
    EXPECT_EQ(XPSetKeyboardFocus(root), nullptr);  // refused: focus stays with the simulator
    EXPECT_EQ(XPSetKeyboardFocus(field), field);
    XPKeyState_t key = {};
    g_actions[1] = [&key](XPWidgetMessage m, XPWidgetID, intptr_t p1, intptr_t) {
        if (m == xpMsg_KeyPress) key = *(XPKeyState_t*)p1;
        return 0;
    };
    g_heard.clear();
    SIM_Key('a', xplm_DownFlag, 'A');
    EXPECT_EQ(Trail(xpMsg_KeyPress), "1,0");  // up the chain: nobody consumed it
    EXPECT_EQ(key.key, 'a');
    EXPECT_EQ(key.vkey, 'A');
    EXPECT_EQ(key.flags, xplm_DownFlag);
    g_consumes[0] = {xpMsg_KeyTakeFocus};
    XPLoseKeyboardFocus(field);
    EXPECT_EQ(XPGetWidgetWithFocus(), root);  // the parent accepted it
    EXPECT_EQ(XPSetKeyboardFocus(nullptr), nullptr);
    EXPECT_EQ(Trail(xpMsg_KeyLoseFocus), "1,0");
}

}  // namespace
