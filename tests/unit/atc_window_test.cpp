// Recognising the ATC program's main form and its connect button among the desktop's windows.
#include <gtest/gtest.h>

#include "bridge/atc_window.h"
#include "config/options.h"

namespace {

HWND Make(const char* cls, const char* caption, HWND parent) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, caption, parent ? WS_CHILD : 0, 0, 0, 10, 10, parent, nullptr, wc.hInstance,
                           nullptr);
}

class AtcWindow : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND w : made) DestroyWindow(w);
    }
    HWND Form(const char* caption) { return Keep(Make("ThunderRT6FormDC", caption, nullptr)); }
    HWND Button(HWND parent, const char* caption) { return Keep(Make("ThunderRT6CommandButton", caption, parent)); }
    HWND Keep(HWND w) {
        made.push_back(w);
        return w;
    }
    std::vector<HWND> made;
};

TEST_F(AtcWindow, ConnectedOnlyWithAnEnabledDirectChildButton) {
    PluginOptions.BoostQVEProcessPriority = 0;
    EXPECT_FALSE(AtcProgramConnected());
    HWND form = Form("    QV3 - Aeravox - VCP Mode 2");
    EXPECT_FALSE(AtcProgramConnected());
    HWND panel = Keep(Make("ThunderRT6Frame", "", form));
    Button(panel, "&Disconnect  from FS");  // a grandchild does not count
    EXPECT_FALSE(AtcProgramConnected());
    HWND wrong = Button(form, "&Disconnect from FS");
    EXPECT_FALSE(AtcProgramConnected());
    DestroyWindow(wrong);
    HWND button = Button(form, "&Disconnect  from FS");
    EXPECT_TRUE(AtcProgramConnected());
    EnableWindow(button, FALSE);
    EXPECT_FALSE(AtcProgramConnected());
}

TEST_F(AtcWindow, CaptionsMustMatchWholeAndCloseAlsoKnowsTheBareOne) {
    Button(Form("QV Station"), "&Disconnect  from FS");
    EXPECT_FALSE(AtcProgramConnected());
    EXPECT_EQ(FindAtcMainForm(6), nullptr);
    EXPECT_NE(FindAtcMainForm(7), nullptr);
    HWND earlier = Form("    QV3 - Aeravox");
    Form("    QV Station");
    EXPECT_EQ(FindAtcMainForm(6), earlier);
}

TEST_F(AtcWindow, ANormalPriorityIsRaisedOnlyWhenAsked) {
    // The form's process is this one: its priority class shows the boost.
    HWND form = Form("    QV Station");
    Button(form, "&Disconnect  from FS");
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    PluginOptions.BoostQVEProcessPriority = 0;
    EXPECT_TRUE(AtcProgramConnected());
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), (DWORD)NORMAL_PRIORITY_CLASS);
    PluginOptions.BoostQVEProcessPriority = 1;
    EXPECT_TRUE(AtcProgramConnected());
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), (DWORD)ABOVE_NORMAL_PRIORITY_CLASS);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    EXPECT_TRUE(AtcProgramConnected());
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), (DWORD)HIGH_PRIORITY_CLASS);
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    ResetOptions();
}

}  // namespace
