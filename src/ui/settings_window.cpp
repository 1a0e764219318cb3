// The settings window (corner of the ATC text, three options, three colours) and the About
// window, built with the simulator's widget library.
#include "ui/settings_window.h"

#include <windows.h>
#include <shellapi.h>

#include <array>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPStandardWidgets.h"
#include "base/com_scope.h"
#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/plugin_state.h"
#include "bridge/atc_text.h"
#include "config/options.h"
#include "simlink/datarefs.h"
#include "simlink/native_atc.h"

// The maker's site; an address under the reserved ".example" domain until the real one is known.
const char* const MakerWebSite = "https://www.nordaviq.example/";

namespace {

// The two windows' handles and Open flags: the menu opens them, link stop and their close boxes
// close them; all on the simulator's thread.
XPWidgetID SettingsWindow = nullptr;
int SettingsWindowOpen = 0;
XPWidgetID AboutWindow = nullptr;
int AboutWindowOpen = 0;

// ---- the settings window's widgets

enum CheckBox { CheckDisableNativeAtc, CheckShowFrequencies, CheckAutoStart, CheckBoxCount };
constexpr int kCornerCount = 4;  // index + 1 = WindowPosition
constexpr int kColourCount = 3;  // index = ChooseColour's argument

struct SettingsWidgets {
    std::array<XPWidgetID, CheckBoxCount> checkBoxes{};
    XPWidgetID caption = nullptr;
    std::array<XPWidgetID, kCornerCount> corners{};
    XPWidgetID otherOptions = nullptr;
    std::array<XPWidgetID, kColourCount> colourButtons{};
};
SettingsWidgets g_settings;

struct AboutWidgets {
    std::array<XPWidgetID, 4> lines{};
    XPWidgetID link = nullptr;
};
AboutWidgets g_about;

const char* const kCheckBoxTexts[CheckBoxCount] = {" Disable Native ATC", " Show Freq in ATC window",
                                                   " Auto start with XPX"};
const char* const kCheckBoxKeys[CheckBoxCount] = {"DisableNativeAtc", "ShowFrequencies", "AutoStart"};
const char* const kCornerTexts[kCornerCount] = {" Top L", " Top R", " Bot R", " Bot L"};
const char* const kColourTexts[kColourCount] = {"   Set Title Colour", "    Set Options Colour",
                                                "    Set Hilight Colour"};
const char* const kAboutLines[4] = {"Qvestation to X-Plane", "Plugin brought to you by", "  ",
                                    "Nordaviq Simulations"};

int* OptionOf(int checkBox) {
    switch (checkBox) {
        case CheckDisableNativeAtc: return &PluginOptions.DisableNativeAtc;
        case CheckShowFrequencies: return &PluginOptions.ShowFrequencies;
        default: return &PluginOptions.AutoStart;
    }
}

XPWidgetID Button(int left, int top, int right, int bottom, bool visible, const char* text, XPWidgetID window,
                  int type, int behaviour, int state) {
    XPWidgetID button = XPCreateWidget(left, top, right, bottom, visible ? 1 : 0, text, 0, window,
                                       xpWidgetClass_Button);
    XPSetWidgetProperty(button, xpProperty_ButtonType, type);
    XPSetWidgetProperty(button, xpProperty_ButtonBehavior, behaviour);
    if (state >= 0) XPSetWidgetProperty(button, xpProperty_ButtonState, state);
    return button;
}

template <size_t N>
int IndexOf(const std::array<XPWidgetID, N>& widgets, XPWidgetID widget) {
    if (!widget) return -1;
    for (size_t i = 0; i < N; ++i)
        if (widgets[i] == widget) return static_cast<int>(i);
    return -1;
}

void ShowSecondPage() {
    for (XPWidgetID button : g_settings.colourButtons) XPShowWidget(button);
    for (int box : {CheckDisableNativeAtc, CheckAutoStart, CheckShowFrequencies})
        XPShowWidget(g_settings.checkBoxes[box]);
    for (XPWidgetID corner : g_settings.corners) XPHideWidget(corner);
    XPHideWidget(g_settings.caption);
    XPHideWidget(g_settings.otherOptions);
}

// The box's option flips, the box follows it and the file gets it at once.
void ToggleCheckBox(int box) {
    int* option = OptionOf(box);
    *option = *option ? 0 : 1;
    XPSetWidgetProperty(g_settings.checkBoxes[box], xpProperty_ButtonState, *option);
    if (box == CheckDisableNativeAtc) {
        WriteDataref(Datarefs.killAtc, *option ? 1.0 : 0.0);
        // 12's switches are held only while the link runs; turned off, they go back as found.
        if (!*option) RestoreNativeAtc();
        else if (LinkIsUp()) (void)QuietNativeAtc();
    }
    WriteOptionFlag(kCheckBoxKeys[box], *option);
}

// The ATC text goes into the chosen corner; WindowPosition is saved by the link stop only.
void ChooseCorner(int corner) {
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    for (XPWidgetID button : g_settings.corners) XPSetWidgetProperty(button, xpProperty_ButtonState, 0);
    XPSetWidgetProperty(g_settings.corners[corner], xpProperty_ButtonState, 1);
    ScreenRect rect;
    if (CornerRect(corner + 1, width, height, &rect)) SetAtcStripRect(rect);
    PluginOptions.WindowPosition = corner + 1;
    MoveAtcStrip();
}

// COM's start-up alone took the simulator's thread 5 to 6 ms under Wine, so the button hands
// this to the deferred-work thread, which has no other COM use.
void OpenMakerWebSite() {
    ComScope com;
    if (com.Ready()) ShellExecuteA(nullptr, "open", "explorer", MakerWebSite, nullptr, SW_SHOWNORMAL);
}

}  // namespace

namespace {

// The window and its widget ids are forgotten before it is destroyed: a callback the destruction
// sends finds the window already closed.
template <typename Widgets>
void CloseWindow(int& open, XPWidgetID& handle, Widgets& widgets) {
    if (open != 1) return;
    open = 0;
    XPWidgetID window = handle;
    handle = nullptr;
    widgets = Widgets();
    XPDestroyWidget(window, 1);
}

void OpenWidgetWindow(XPWidgetID window, int open, void (*create)(int, int, int, int), int width, int height) {
    if (!open) {
        int screenWidth = 0, screenHeight = 0;
        XPLMGetScreenSize(&screenWidth, &screenHeight);
        create(screenWidth / 2, screenHeight / 2, width, height);
    } else if (!XPIsWidgetVisible(window)) {
        XPShowWidget(window);
    }
}

}  // namespace

void OpenSettingsWindow(int width, int height) {
    OpenWidgetWindow(SettingsWindow, SettingsWindowOpen, CreateSettingsWindow, width, height);
}

void OpenAboutWindow(int width, int height) {
    OpenWidgetWindow(AboutWindow, AboutWindowOpen, CreateAboutWindow, width, height);
}

XPWidgetID SettingsWindowId() { return SettingsWindow; }

bool SettingsWindowIsOpen() { return SettingsWindowOpen == 1; }

XPWidgetID AboutWindowId() { return AboutWindow; }

bool AboutWindowIsOpen() { return AboutWindowOpen == 1; }

void CloseSettingsWindow() { CloseWindow(SettingsWindowOpen, SettingsWindow, g_settings); }

void CloseAboutWindow() { CloseWindow(AboutWindowOpen, AboutWindow, g_about); }

void ResetSettingsWindows() {
    SettingsWindow = nullptr;
    SettingsWindowOpen = 0;
    AboutWindow = nullptr;
    AboutWindowOpen = 0;
    g_settings = SettingsWidgets();
    g_about = AboutWidgets();
}

void CreateSettingsWindow(int left, int top, int width, int height) {
    const int L = left, T = top, R = left + width, B = top - height;
    g_settings = SettingsWidgets();
    SettingsWindow = XPCreateWidget(L, T, R, B, 1, "QVE ATC window settings", 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(SettingsWindow, xpProperty_MainWindowHasCloseBoxes, 1);

    // Second page: the three options.
    const int checkTops[CheckBoxCount] = {B + 60, B + 42, B + 24};
    for (int box = 0; box < CheckBoxCount; ++box)
        g_settings.checkBoxes[box] = Button(L + 40, checkTops[box], L + 60, checkTops[box] - 16, false,
                                            kCheckBoxTexts[box], SettingsWindow, xpRadioButton,
                                            xpButtonBehaviorCheckBox, *OptionOf(box) ? 1 : 0);

    // First page: the corner of the ATC text.
    g_settings.caption = XPCreateWidget(L + 50, T - 70, R - 50, T - 90, 1, "Window Position", 0, SettingsWindow,
                                        xpWidgetClass_Caption);
    const int cornerGeometry[kCornerCount][4] = {
        {L, T - 20, L + 20, T - 40}, {R - 40, T - 20, R - 20, T - 40}, {R - 40, B + 40, R - 20, B + 20},
        {L, B + 40, L + 20, B + 20}};
    for (int c = 0; c < kCornerCount; ++c) {
        const int* g = cornerGeometry[c];
        g_settings.corners[c] = Button(g[0], g[1], g[2], g[3], true, kCornerTexts[c], SettingsWindow, xpRadioButton,
                                       xpButtonBehaviorRadioButton, PluginOptions.WindowPosition == c + 1 ? 1 : 0);
    }
    g_settings.otherOptions = Button(L + 50, B + 20, R - 50, B, true, "   Other Options", SettingsWindow,
                                     xpPushButton, xpButtonBehaviorPushButton, -1);

    // Second page: the three colours.
    for (int i = 0; i < kColourCount; ++i)
        g_settings.colourButtons[i] = Button(L + 40, T - 30 - 20 * i, R - 40, T - 50 - 20 * i, false,
                                             kColourTexts[i], SettingsWindow, xpPushButton,
                                             xpButtonBehaviorPushButton, -1);

    XPAddWidgetCallback(SettingsWindow, SettingsWindowCallback);
    SettingsWindowOpen = 1;
}

int SettingsWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    return Guarded("SettingsWindowCallback", 0, [&] {
        XPWidgetID source = reinterpret_cast<XPWidgetID>(param1);
        switch (message) {
            case xpMessage_CloseButtonPushed:
                CloseSettingsWindow();
                return 1;
            case xpMsg_PushButtonPressed: {
                if (source && source == g_settings.otherOptions) {
                    ShowSecondPage();
                } else {
                    int colour = IndexOf(g_settings.colourButtons, source);
                    if (colour >= 0) ChooseColour(colour);
                }
                return 0;
            }
            case xpMsg_ButtonStateChanged: {
                int box = IndexOf(g_settings.checkBoxes, source);
                int corner = IndexOf(g_settings.corners, source);
                if (box >= 0) ToggleCheckBox(box);
                else if (corner >= 0) ChooseCorner(corner);
                return 0;
            }
            default:
                return 0;
        }
    });
}

void CreateAboutWindow(int left, int top, int width, int height) {
    const int L = left, T = top, R = left + width;
    g_about = AboutWidgets();
    AboutWindow = XPCreateWidget(L, T, R, T - height, 1, "About QVE to X-Plane", 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(AboutWindow, xpProperty_MainWindowHasCloseBoxes, 1);
    for (int i = 0; i < 4; ++i)
        g_about.lines[i] = XPCreateWidget(L + 10, T - 30 - 20 * i, R - 10, T - 42 - 20 * i, 1, kAboutLines[i], 0,
                                          AboutWindow, xpWidgetClass_Caption);
    g_about.link = Button(L + 40, T - 120, R - 40, T - 136, true, "      Go to Nordaviq website", AboutWindow,
                          xpPushButton, xpButtonBehaviorPushButton, -1);
    XPAddWidgetCallback(AboutWindow, AboutWindowCallback);
    AboutWindowOpen = 1;
}

int AboutWindowCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    return Guarded("AboutWindowCallback", 0, [&] {
        if (message == xpMessage_CloseButtonPushed) {
            CloseAboutWindow();
            return 1;
        }
        if (message == xpMsg_PushButtonPressed && g_about.link &&
            reinterpret_cast<XPWidgetID>(param1) == g_about.link) {
            // Made on the simulator's thread only when the deferred-work thread is not running.
            if (!DeferredWork.Queue(OpenMakerWebSite)) OpenMakerWebSite();
        }
        return 0;
    });
}
