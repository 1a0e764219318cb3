// Widget utilities and user-interface drawing: tables of widgets, moving with the children,
// dragging, and the parts of a track.
#include "XPUIGraphics.h"
#include "XPWidgetUtils.h"
#include "fixture.h"

namespace {

class Utils : public WidgetTest {};

int g_layoutCalls = 0;
int Layout(XPWidgetMessage message, XPWidgetID widget, intptr_t p1, intptr_t p2) {
    g_layoutCalls++;
    return XPUFixedLayout(message, widget, p1, p2);
}

int Dragger(XPWidgetMessage message, XPWidgetID widget, intptr_t p1, intptr_t p2) {
    int l, t, r, b;
    XPGetWidgetGeometry(widget, &l, &t, &r, &b);
    return XPUDragWidget(message, widget, p1, p2, l, t, r, t - 20);  // the top 20 pixels
}

TEST_F(Utils, TablesNameContainersByRow) {
    XPWidgetID parent = XPCreateWidget(0, 500, 500, 0, 1, "P", 1, nullptr, xpWidgetClass_MainWindow);
    const XPWidgetCreate_t table[] = {
        {10, 400, 200, 300, 1, "Box", 0, PARAM_PARENT, xpWidgetClass_SubWindow},
        {20, 390, 100, 370, 1, "Ok", 0, 0, xpWidgetClass_Button},
        {20, 360, 100, 340, 1, "Loose", 0, NO_PARENT, xpWidgetClass_Caption},
        {20, 330, 100, 310, 1, "Ahead", 0, 5, xpWidgetClass_Caption},  // names a later row
    };
    XPWidgetID made[WIDGET_COUNT(table)] = {};
    XPUCreateWidgets(table, WIDGET_COUNT(table), parent, made);
    EXPECT_EQ(XPGetParentWidget(made[0]), parent);
    EXPECT_EQ(XPGetParentWidget(made[1]), made[0]);
    EXPECT_EQ(XPGetParentWidget(made[2]), nullptr);
    EXPECT_EQ(XPGetParentWidget(made[3]), nullptr);
    EXPECT_EQ(SIM_Misuses(), 1);
}

TEST_F(Utils, FixedLayoutCarriesTheChildrenAlong) {
    XPWidgetID root = XPCreateCustomWidget(100, 400, 300, 200, 1, "W", 1, nullptr, Layout);
    XPWidgetID kid = XPCreateWidget(110, 380, 150, 360, 1, "K", 0, root, xpWidgetClass_Button);
    XPWidgetID other = XPCreateWidget(110, 380, 150, 360, 1, "O", 1, nullptr, xpWidgetClass_Button);
    // The reshape of the widget itself moves its children by as much as it moved.
    XPWidgetGeometryChange_t moved = {15, -5, 0, 0};
    EXPECT_EQ(XPSendMessageToWidget(root, xpMsg_Reshape, xpMode_Direct, (intptr_t)root, (intptr_t)&moved), 1);
    int l, t, r, b;
    XPGetWidgetGeometry(kid, &l, &t, &r, &b);
    EXPECT_EQ(l, 125);
    EXPECT_EQ(t, 375);
    EXPECT_EQ(r, 165);
    EXPECT_EQ(b, 355);
    // Another widget's reshape passing up the chain, or a resize in place: nothing moves.
    EXPECT_EQ(XPSendMessageToWidget(root, xpMsg_Reshape, xpMode_Direct, (intptr_t)other, (intptr_t)&moved), 0);
    XPWidgetGeometryChange_t resized = {0, 0, 30, 10};
    EXPECT_EQ(XPSendMessageToWidget(root, xpMsg_Reshape, xpMode_Direct, (intptr_t)root, (intptr_t)&resized), 0);
    XPGetWidgetGeometry(kid, &l, &t, &r, &b);
    EXPECT_EQ(l, 125);
    EXPECT_GT(g_layoutCalls, 0);
}

TEST_F(Utils, DraggingKeepsTheGrabbedPointUnderTheMouse) {
    XPWidgetID root = XPCreateCustomWidget(100, 400, 300, 200, 1, "D", 1, nullptr, Dragger);
    XPMouseState_t m = {150, 390, 0, 0};
    EXPECT_EQ(XPSendMessageToWidget(root, xpMsg_MouseDown, xpMode_Direct, (intptr_t)&m, 0), 1);
    m.x = 170;
    m.y = 350;
    XPSendMessageToWidget(root, xpMsg_MouseDrag, xpMode_Direct, (intptr_t)&m, 0);
    int l, t, r, b;
    XPGetWidgetGeometry(root, &l, &t, &r, &b);
    EXPECT_EQ(l, 120);
    EXPECT_EQ(t, 360);
    EXPECT_EQ(r, 320);
    XPSendMessageToWidget(root, xpMsg_MouseUp, xpMode_Direct, (intptr_t)&m, 0);
    EXPECT_EQ(XPGetWidgetProperty(root, xpProperty_Dragging, nullptr), 0);
    // A press below the drag strip is not a drag.
    m.y = 250;
    EXPECT_EQ(XPSendMessageToWidget(root, xpMsg_MouseDown, xpMode_Direct, (intptr_t)&m, 0), 0);
}

TEST_F(Utils, TrackPartsFillTheTrack) {
    struct Case {
        int x1, y1, x2, y2, min, max, value;
        XPTrackStyle style;
    };
    const Case cases[] = {
        {0, 200, 16, 0, 0, 100, 50, xpTrack_ScrollBar},   {0, 16, 300, 0, 0, 10, 10, xpTrack_Slider},
        {0, 12, 200, 0, 0, 4, 1, xpTrack_Progress},       {0, 0, 16, 20, 5, 5, 5, xpTrack_ScrollBar},
        {300, 0, 0, 16, 100, 0, 200, xpTrack_Slider},     {0, 100, 16, 0, 0, 100, -50, xpTrack_ScrollBar},
    };
    for (const Case& c : cases) {
        int vertical, downBtn, downPage, thumb, upPage, upBtn;
        XPGetTrackMetrics(c.x1, c.y1, c.x2, c.y2, c.min, c.max, c.value, c.style, &vertical, &downBtn, &downPage,
                          &thumb, &upPage, &upBtn);
        int length = vertical ? std::abs(c.y2 - c.y1) : std::abs(c.x2 - c.x1);
        EXPECT_EQ(downBtn + downPage + thumb + upPage + upBtn, length) << c.x2 << "," << c.y1;
        EXPECT_GE(downPage, 0);
        EXPECT_GE(upPage, 0);
    }
    int vertical, downBtn, downPage, thumb, upPage, upBtn;
    XPGetTrackMetrics(0, 200, 16, 0, 0, 100, 50, xpTrack_ScrollBar, &vertical, &downBtn, &downPage, &thumb, &upPage,
                      &upBtn);
    EXPECT_EQ(vertical, 1);
    EXPECT_EQ(downBtn, 16);
    EXPECT_EQ(downPage, upPage);  // halfway
    XPGetTrackMetrics(0, 12, 200, 0, 0, 4, 1, xpTrack_Progress, &vertical, &downBtn, &downPage, &thumb, &upPage,
                      &upBtn);
    EXPECT_EQ(vertical, 0);
    EXPECT_EQ(downPage, 50);  // a quarter filled
}

}  // namespace
