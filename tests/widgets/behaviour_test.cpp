// The standard classes under the simulator's mouse, and what they draw each frame.
#include "fixture.h"

namespace {

class Behaviour : public WidgetTest {
protected:
    XPWidgetID win, box, push, radio, caption;
    void SetUp() override {
        WidgetTest::SetUp();
        win = XPCreateWidget(100, 400, 300, 250, 1, "Dialog", 1, nullptr, xpWidgetClass_MainWindow);
        XPSetWidgetProperty(win, xpProperty_MainWindowHasCloseBoxes, 1);
        box = Button(140, 270, 160, 250, win, xpRadioButton, xpButtonBehaviorCheckBox, " Remember");
        push = Button(150, 330, 250, 310, win, xpPushButton, xpButtonBehaviorPushButton, "OK");
        radio = Button(110, 380, 130, 360, win, xpRadioButton, xpButtonBehaviorRadioButton, "R1");
        caption = XPCreateWidget(110, 350, 290, 338, 1, "Line", 0, win, xpWidgetClass_Caption);
        XPAddWidgetCallback(win, Probe<0>);
        XPAddWidgetCallback(push, Probe<1>);
        g_heard.clear();
    }
    static intptr_t State(XPWidgetID w) { return XPGetWidgetProperty(w, xpProperty_ButtonState, nullptr); }
};

TEST_F(Behaviour, CheckBoxesAndRadioButtonsChangeOnTheClickItself) {
    int x, y;
    ASSERT_TRUE(SIMW_ClickPoint(box, &x, &y));
    SIM_Mouse(x, y, xplm_MouseDown);
    EXPECT_EQ(State(box), 1);
    EXPECT_EQ(HeardOf(xpMsg_ButtonStateChanged).size(), 1u);
    SIM_Mouse(x + 500, y, xplm_MouseUp);  // released far away: the change stands
    EXPECT_EQ(State(box), 1);
    EXPECT_EQ(HeardOf(xpMsg_ButtonStateChanged).size(), 1u);

    ASSERT_TRUE(SIMW_ClickPoint(radio, &x, &y));
    SIM_Mouse(x, y, xplm_MouseDown);
    EXPECT_EQ(State(radio), 1);
    SIM_Mouse(x, y, xplm_MouseUp);
    EXPECT_EQ(HeardOf(xpMsg_ButtonStateChanged).size(), 2u);

    // A disabled one does not change.
    XPSetWidgetProperty(box, xpProperty_Enabled, 0);
    ClickOn(box);
    EXPECT_EQ(State(box), 1);
}

TEST_F(Behaviour, PushButtonsActOnReleaseAndSendUpTheChain) {
    ClickOn(push);
    EXPECT_EQ(Trail(xpMsg_PushButtonPressed), "1,0");
    EXPECT_EQ(HeardOf(xpMsg_PushButtonPressed)[0].param1, (intptr_t)push);

    ClickOn(box);
    ClickOn(box);
    auto changes = HeardOf(xpMsg_ButtonStateChanged);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].param1, (intptr_t)box);
    EXPECT_EQ(changes[0].param2, 1);
    EXPECT_EQ(changes[1].param2, 0);
    EXPECT_EQ(State(box), 0);

    ClickOn(radio);
    ClickOn(radio);  // already on: nothing changes
    EXPECT_EQ(HeardOf(xpMsg_ButtonStateChanged).size(), 3u);
    EXPECT_EQ(State(radio), 1);

    // Released outside: no press; dragged back in before the release: a press.
    g_heard.clear();
    SIM_Mouse(200, 320, xplm_MouseDown);
    SIM_Mouse(200, 300, xplm_MouseDrag);
    SIM_Mouse(200, 300, xplm_MouseUp);
    EXPECT_EQ(Trail(xpMsg_PushButtonPressed), "");
    SIM_Mouse(200, 320, xplm_MouseDown);
    SIM_Mouse(200, 300, xplm_MouseDrag);
    SIM_Mouse(201, 321, xplm_MouseUp);
    EXPECT_EQ(Trail(xpMsg_PushButtonPressed), "1,0");

    // Disabled, or a callback taking the mouse first: the class function never acts.
    g_heard.clear();
    XPSetWidgetProperty(push, xpProperty_Enabled, 0);
    ClickOn(push);
    XPSetWidgetProperty(push, xpProperty_Enabled, 1);
    g_consumes[1] = {xpMsg_MouseDown};
    ClickOn(push);
    EXPECT_EQ(Trail(xpMsg_PushButtonPressed), "");
    // A hidden button is not there for the mouse: the click lands on the window.
    XPHideWidget(box);
    g_heard.clear();
    Click(150, 260);
    EXPECT_EQ(Trail(xpMsg_MouseDown), "0");
}

TEST_F(Behaviour, CloseBoxClosesFromInsideTheMouseCallback) {
    int x = 0, y = 0;
    ASSERT_TRUE(SIMW_CloseBoxPoint(win, &x, &y));
    XPSetWidgetProperty(win, xpProperty_MainWindowHasCloseBoxes, 0);
    EXPECT_FALSE(SIMW_CloseBoxPoint(win, nullptr, nullptr));
    Click(x, y);
    EXPECT_EQ(Trail(xpMessage_CloseButtonPushed), "");

    XPSetWidgetProperty(win, xpProperty_MainWindowHasCloseBoxes, 1);
    g_actions[0] = [](XPWidgetMessage m, XPWidgetID w, intptr_t p1, intptr_t) {
        if (m != xpMessage_CloseButtonPushed || (XPWidgetID)p1 != w) return 0;
        XPDestroyWidget(w, 1);
        return 1;
    };
    Click(x, y);
    EXPECT_EQ(Trail(xpMessage_CloseButtonPushed), "0");
    EXPECT_EQ(SIMW_WidgetCount(), 0);
    SIM_RunFrames(2);
    EXPECT_EQ(SIM_FrameItemCount(), 0);
    EXPECT_EQ(SIM_Describe("windows", nullptr, 0), 0);
}

TEST_F(Behaviour, DraggingTheTitleBarMovesWindowChildrenAndSimulatorWindow) {
    SIM_Mouse(160, 395, xplm_MouseDown);
    SIM_Mouse(180, 380, xplm_MouseDrag);
    SIM_Mouse(190, 355, xplm_MouseUp);
    int l, t, r, b, v;
    XPGetWidgetGeometry(win, &l, &t, &r, &b);
    EXPECT_EQ(l, 130); EXPECT_EQ(t, 360); EXPECT_EQ(r, 330); EXPECT_EQ(b, 210);
    XPGetWidgetGeometry(caption, &l, &t, &r, &b);
    EXPECT_EQ(l, 140); EXPECT_EQ(t, 310); EXPECT_EQ(r, 320); EXPECT_EQ(b, 298);
    ASSERT_TRUE(SIM_WindowInfo(0, &l, &t, &r, &b, &v));
    EXPECT_EQ(l, 130); EXPECT_EQ(t, 360);
    // A drag that starts on the body moves nothing.
    SIM_Mouse(200, 300, xplm_MouseDown);
    SIM_Mouse(260, 200, xplm_MouseDrag);
    SIM_Mouse(260, 200, xplm_MouseUp);
    XPGetWidgetGeometry(win, &l, nullptr, nullptr, nullptr);
    EXPECT_EQ(l, 130);
}

TEST_F(Behaviour, EachFrameRecordsTheVisibleTree) {
    ClickOn(box);
    XPHideWidget(caption);
    SIM_RunFrames(1);
    ASSERT_EQ(SIM_FrameItemCount(), 4);
    const SimDrawItem* w = SIM_FrameItem(0);
    EXPECT_EQ(w->kind, SimDraw_WidgetWindow);
    EXPECT_STREQ(w->text, "Dialog");
    EXPECT_EQ(w->left, 100); EXPECT_EQ(w->top, 400); EXPECT_EQ(w->right, 300); EXPECT_EQ(w->bottom, 250);
    EXPECT_EQ(w->window, 0);
    const SimDrawItem* check = SIM_FrameItem(1);
    EXPECT_EQ(check->kind, SimDraw_WidgetButton);
    EXPECT_STREQ(check->text, " Remember");
    EXPECT_EQ(check->state, 1);
    EXPECT_EQ(check->style, xpRadioButton);
    EXPECT_EQ(SIM_FrameItem(2)->style, xpPushButton);
    EXPECT_STREQ(SIM_FrameItem(3)->text, "R1");

    XPShowWidget(caption);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_FrameItem(4)->kind, SimDraw_WidgetCaption);
    g_consumes[1] = {xpMsg_Draw};  // the push button draws itself
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_FrameItemCount(), 4);
    g_consumes[0] = {xpMsg_Paint};  // the window paints itself and its children
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_FrameItemCount(), 0);
    g_consumes.clear();
    XPHideWidget(win);
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_FrameItemCount(), 0);
}

TEST_F(Behaviour, TheFrontRootTakesTheClick) {
    XPWidgetID other = XPCreateWidget(100, 400, 300, 250, 1, "Other", 1, nullptr, xpWidgetClass_MainWindow);
    XPAddWidgetCallback(other, Probe<2>);
    EXPECT_TRUE(XPIsWidgetInFront(other));
    Click(200, 300);
    EXPECT_EQ(Trail(xpMsg_MouseDown), "2");
    XPBringRootWidgetToFront(caption);
    EXPECT_TRUE(XPIsWidgetInFront(push));
    Click(200, 300);
    EXPECT_EQ(Trail(xpMsg_MouseDown), "2,0");
}

}  // namespace
