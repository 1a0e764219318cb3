// The test-equipment interface: listing, finding, click points, tracing, off-thread counting.
#include <thread>

#include "fixture.h"

namespace {

class Control : public WidgetTest {};

TEST_F(Control, DescribeListsEveryTreeStably) {
    XPWidgetID win = XPCreateWidget(10, 200, 210, 50, 1, "Say \"hi\"", 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(win, xpProperty_MainWindowHasCloseBoxes, 1);
    XPWidgetID sub = XPCreateWidget(20, 190, 200, 60, 0, "", 0, win, xpWidgetClass_SubWindow);
    XPWidgetID box = XPCreateWidget(30, 180, 50, 160, 1, " Box", 0, sub, xpWidgetClass_Button);
    XPSetWidgetProperty(box, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(box, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    XPCreateWidget(20, 40, 100, 30, 1, "Line", 0, win, xpWidgetClass_Caption);
    Custom(0, 10, 10, 0, nullptr, Probe<0>, "odd\n");
    const std::string expected =
        "main-window \"Say \\\"hi\\\"\" 10,200,210,50 visible root close-box\n"
        "  sub-window \"\" 20,190,200,60 hidden\n"
        "    button \" Box\" 30,180,50,160 visible type=1 behavior=1 state=0\n"
        "  caption \"Line\" 20,40,100,30 visible\n"
        "custom \"odd\\n\" 0,10,10,0 visible root\n";
    EXPECT_EQ(Describe(), expected);
    char small[12];
    EXPECT_EQ(SIMW_Describe(small, sizeof small), (int)expected.size());
    EXPECT_EQ(std::string(small), expected.substr(0, 11));
}

TEST_F(Control, FindAndClickPointsAimAtWhatTheUserSees) {
    XPWidgetID win = XPCreateWidget(0, 300, 300, 0, 1, "Same", 1, nullptr, xpWidgetClass_MainWindow);
    XPWidgetID hidden = XPCreateWidget(10, 280, 90, 260, 0, "Same", 0, win, xpWidgetClass_Button);
    XPWidgetID under = XPCreateWidget(100, 100, 200, 50, 1, "Under", 0, win, xpWidgetClass_Button);
    XPWidgetID over = XPCreateWidget(100, 100, 180, 50, 1, "Over", 0, win, xpWidgetClass_Button);
    EXPECT_EQ(SIMW_FindWidget("Same"), win);
    XPHideWidget(win);
    EXPECT_EQ(SIMW_FindWidget("Same"), win);  // none visible: the first one
    XPShowWidget(win);
    EXPECT_EQ(SIMW_FindWidget("None"), nullptr);
    EXPECT_EQ(SIMW_FindWidget(nullptr), nullptr);

    int x = 0, y = 0;
    ASSERT_TRUE(SIMW_ClickPoint(under, &x, &y));
    EXPECT_GE(x, 180);  // the part not covered by the later sibling
    EXPECT_EQ(XPGetWidgetForLocation(win, x, y, 1, 1), under);
    XPSetWidgetGeometry(over, 100, 100, 200, 50);
    EXPECT_FALSE(SIMW_ClickPoint(under, &x, &y));
    EXPECT_FALSE(SIMW_ClickPoint(hidden, &x, &y));
    EXPECT_FALSE(SIMW_ClickPoint(nullptr, &x, &y));
    XPSetWidgetProperty(win, xpProperty_MainWindowHasCloseBoxes, 1);
    ASSERT_TRUE(SIMW_ClickPoint(win, &x, &y));
    EXPECT_EQ(XPGetWidgetForLocation(win, x, y, 1, 1), win);
    int cx = 0, cy = 0;
    ASSERT_TRUE(SIMW_CloseBoxPoint(win, &cx, &cy));
    EXPECT_FALSE(x == cx && y == cy);
    EXPECT_FALSE(SIMW_CloseBoxPoint(over, &cx, &cy));
}

TEST_F(Control, TraceAndOffThreadCalls) {
    XPWidgetID win = XPCreateWidget(0, 300, 300, 0, 1, "W", 1, nullptr, xpWidgetClass_MainWindow);
    XPWidgetID ok = Button(100, 100, 200, 50, win, xpPushButton, xpButtonBehaviorPushButton, "OK");
    XPWidgetID box = Button(10, 40, 30, 20, win, xpRadioButton, xpButtonBehaviorCheckBox, "Box");
    ClickOn(ok);
    EXPECT_TRUE(g_events.empty());
    SIMW_Trace(1);
    ClickOn(ok);
    ClickOn(box);
    SIMW_Trace(0);
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0], "widgets: push button \"OK\"");
    EXPECT_EQ(g_events[1], "widgets: check box \"Box\" 0 -> 1");

    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    std::thread([win] { XPIsWidgetVisible(win); }).join();
    EXPECT_EQ(SIM_OffThreadCalls(), 1);
    EXPECT_STREQ(SIM_FirstOffThreadCall(), "XPIsWidgetVisible");
}

}  // namespace
