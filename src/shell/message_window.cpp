#include "shell/message_window.h"

#include <cstring>

#include "XPLMDisplay.h"
#include "XPStandardWidgets.h"
#include "base/guard.h"
#include "config/options.h"

namespace {

// The simulator's thread only.
XPWidgetID MessageWindow = nullptr;
int MessageWindowOpen = 0;

constexpr int kLineLength = 40;
char g_lines[4][kLineLength + 1];
XPWidgetID g_checkBox = nullptr;

struct MessageText {
    const char* lines[4];
};

const MessageText& TextOf(LinkMessage message) {
    static const MessageText kReminder = {{"If you intend to use QVE ATC", "please do NOT start the latter",
                                           "until you have manually relocated", "to intended departure airport"}};
    static const MessageText kXpuipc = {{"XPUIPC free plugin is required", "Make sure you have a folder XPUIPC",
                                         "inside XPX plugins folder", "Run this plugin istallation again"}};
    static const MessageText kHints = {{"", "         Failed to create", "      Keyboard hints window", ""}};
    switch (message) {
        case LinkMessage::RelocationReminder: return kReminder;
        case LinkMessage::XpuipcMissing: return kXpuipc;
        default: return kHints;
    }
}

int MessageWindowHandler(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    return Guarded("MessageWindowHandler", 0, [&] {
        if (message == xpMessage_CloseButtonPushed) {
            CloseMessageWindow();
            return 1;
        }
        if (message == xpMsg_ButtonStateChanged && reinterpret_cast<XPWidgetID>(param1) == g_checkBox) {
            PluginOptions.DisableReminder = PluginOptions.DisableReminder == 0 ? 1 : 0;
            XPSetWidgetProperty(g_checkBox, xpProperty_ButtonState, PluginOptions.DisableReminder);
            WriteOptionFlag("DisableReminder", PluginOptions.DisableReminder);
            return 1;
        }
        return 0;
    });
}

}  // namespace

void CloseMessageWindow() {
    if (!MessageWindowOpen) return;
    XPDestroyWidget(MessageWindow, 1);
    MessageWindow = nullptr;
    g_checkBox = nullptr;
    MessageWindowOpen = 0;
}

bool MessageWindowIsOpen() { return MessageWindowOpen != 0; }

void ResetMessageWindow() {
    MessageWindow = nullptr;
    MessageWindowOpen = 0;
    g_checkBox = nullptr;
    memset(g_lines, 0, sizeof g_lines);
}

void ShowMessage(LinkMessage message) {
    CloseMessageWindow();
    const MessageText& text = TextOf(message);
    for (int i = 0; i < 4; ++i) {
        memset(g_lines[i], 0, sizeof g_lines[i]);
        strncpy(g_lines[i], text.lines[i], kLineLength);
    }

    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    int left = width / 2, top = height / 2, right = left + 200, bottom = top - 150;
    MessageWindow = XPCreateWidget(left, top, right, bottom, 1, "Important QVE Message", 1, nullptr,
                                   xpWidgetClass_MainWindow);
    XPSetWidgetProperty(MessageWindow, xpProperty_MainWindowHasCloseBoxes, 1);
    g_checkBox = XPCreateWidget(left + 40, bottom + 20, left + 60, bottom, PluginOptions.DisableReminder == 0,
                                " Do not remind me", 0, MessageWindow, xpWidgetClass_Button);
    XPSetWidgetProperty(g_checkBox, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(g_checkBox, xpProperty_ButtonState, PluginOptions.DisableReminder != 0 ? 1 : 0);
    XPSetWidgetProperty(g_checkBox, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    for (int i = 0; i < 4; ++i)
        XPCreateWidget(left + 10, top - 30 - 20 * i, right - 10, top - 42 - 20 * i, 1, g_lines[i], 0, MessageWindow,
                       xpWidgetClass_Caption);
    XPAddWidgetCallback(MessageWindow, MessageWindowHandler);
    XPShowWidget(MessageWindow);
    MessageWindowOpen = 1;
}
