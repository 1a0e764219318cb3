#pragma once
// The small in-simulator window through which the link start tells the user why it cannot work.
#include "XPWidgets.h"

enum class LinkMessage { RelocationReminder, XpuipcMissing, HintsWindowFailed };

extern XPWidgetID MessageWindow;
extern int MessageWindowOpen;

void ShowMessage(LinkMessage message);
// Destroys the window with its children when it is open.
void CloseMessageWindow();
