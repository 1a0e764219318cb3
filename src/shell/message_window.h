#pragma once
// The small in-simulator window through which the link start tells the user why it cannot work.
#include "XPWidgets.h"

enum class LinkMessage { RelocationReminder, XpuipcMissing, HintsWindowFailed };

void ShowMessage(LinkMessage message);
// Destroys the window with its children when it is open.
void CloseMessageWindow();
// Whether the window is open (MessageWindowOpen); the simulator's thread only, like the window.
bool MessageWindowIsOpen();
// The window forgotten as at load (a live one is left to the simulator). Simulator's thread only.
void ResetMessageWindow();
