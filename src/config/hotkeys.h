#pragma once
// The ATC program's hotkeys and flight-plan route, imported from its ini and briefing files.
#include <cstdint>

#include "config/hotkey_text.h"

struct HotkeyEntry {
    uint8_t modifiers;  // bit 0 Shift, bit 1 Ctrl
    uint8_t key;        // character code; 0 when there is no usable key
};

constexpr int kAtcHotkeyCount = 21;
extern HotkeyEntry HotkeyTable[kAtcHotkeyCount];
extern int EmergencyKey;
extern char RouteText[kRouteTextSize];

void ClearHotkeyTable();

// Reads the ATC program's ini beside its executable into table and emergencyKey; 0 when the
// program cannot be located, 1 otherwise (also when the ini is missing).
int ReadAtcHotkeys(HotkeyEntry* table, int* emergencyKey);
// Reads the route from a briefing file; 0 when it cannot be opened. Empties RouteText first.
int ReadBriefing(const char* path);
