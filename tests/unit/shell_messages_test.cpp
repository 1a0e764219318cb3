// The messages other plug-ins send us act on the ATC text window as the sender expects.
#include <gtest/gtest.h>

#include "XPLMDisplay.h"
#include "bridge/atc_text.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "shell/link.h"

extern "C" void XPluginReceiveMessage(XPLMPluginID from, int message, void* param);

namespace {

struct Geometry {
    int left, top, right, bottom, visible;
    bool operator==(const Geometry& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom && visible == o.visible;
    }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.left << "," << g.top << "," << g.right << "," << g.bottom << (g.visible ? " visible" : " hidden");
}

class AtcTextMessages : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        SIM_SetScreenSize(1280, 800);
        // The server's strip as it is created, before anyone moved it.
        window = XPLMCreateWindow(1, 780, 1280, 760, 1, nullptr, nullptr, nullptr, nullptr);
        ResetAtcTextState();
        // Caught with a rectangle of its own, and put back where the server made it.
        CatchAtcStrip(window, {5, 6, 7, 8});
        XPLMSetWindowGeometry(window, 1, 780, 1280, 760);
        ResetOptions();
    }
    void TearDown() override { ResetAtcTextState(); }

    Geometry Window() const {
        Geometry g{};
        XPLMGetWindowGeometry(window, &g.left, &g.top, &g.right, &g.bottom);
        g.visible = XPLMGetWindowIsVisible(window);
        return g;
    }

    XPLMWindowID window = nullptr;
};

TEST_F(AtcTextMessages, PlaceMovesTheWindowIntoTheChosenCorner) {
    const Geometry expected[] = {
        {0, 800, 180, 630, 1}, {1100, 800, 1280, 630, 1}, {1100, 170, 1280, 0, 1}, {0, 170, 180, 0, 1}};
    for (int corner = 1; corner <= 4; ++corner) {
        PluginOptions.WindowPosition = corner;
        XPLMSetWindowIsVisible(window, 0);
        XPluginReceiveMessage(0, MsgPlaceAtcText, nullptr);
        EXPECT_EQ(Window(), expected[corner - 1]) << "corner " << corner;
    }
}

TEST_F(AtcTextMessages, PlaceWithNoCornerKeepsThePreviousRectangle) {
    PluginOptions.WindowPosition = 3;
    XPluginReceiveMessage(0, MsgPlaceAtcText, nullptr);
    for (int position : {5, 0, -1}) {
        PluginOptions.WindowPosition = position;
        XPluginReceiveMessage(0, MsgPlaceAtcText, nullptr);
        EXPECT_EQ(Window(), (Geometry{1100, 170, 1280, 0, 1})) << "position " << position;
    }
}

TEST_F(AtcTextMessages, HideAndShowFollowTheFlagAndPlacingLeavesItAlone) {
    XPluginReceiveMessage(0, MsgHideAtcText, nullptr);
    EXPECT_EQ(HideAtcText(), 1);
    EXPECT_EQ(Window().visible, 0);
    XPluginReceiveMessage(0, MsgPlaceAtcText, nullptr);
    EXPECT_EQ(HideAtcText(), 1);
    EXPECT_EQ(Window().visible, 1);
    XPluginReceiveMessage(0, MsgShowAtcText, nullptr);
    EXPECT_EQ(HideAtcText(), 0);
    EXPECT_EQ(Window().visible, 1);
}

TEST_F(AtcTextMessages, WithoutAWindowOnlyTheFlagAndRectangleChange) {
    ForgetAtcStrip();
    XPluginReceiveMessage(0, MsgHideAtcText, nullptr);
    EXPECT_EQ(HideAtcText(), 1);
    PluginOptions.WindowPosition = 2;
    XPluginReceiveMessage(0, MsgPlaceAtcText, nullptr);
    EXPECT_EQ(AtcTextRect().left, 1100);
    EXPECT_EQ(AtcTextRect().bottom, 630);
    // The strip itself was not touched.
    EXPECT_EQ(Window(), (Geometry{1, 780, 1280, 760, 1}));
}

TEST_F(AtcTextMessages, OtherMessagesChangeNothing) {
    for (int message : {0x1111110, 0x1111115, 102, 0}) XPluginReceiveMessage(0, message, nullptr);
    EXPECT_EQ(HideAtcText(), 0);
    EXPECT_EQ(Window(), (Geometry{1, 780, 1280, 760, 1}));
    EXPECT_EQ(AtcTextRect().left, 5);
}

}  // namespace
