#pragma once
// The ATC program's hotkeys and flight-plan route, imported from its ini and briefing files.
#include <cstdint>

#include "config/hotkey_text.h"

struct HotkeyEntry {
    uint8_t modifiers;  // bit 0 Shift, bit 1 Ctrl
    uint8_t key;        // character code; 0 when there is no usable key
};

constexpr int kAtcHotkeyCount = 21;

// What the attach step imports from the ATC program, as one whole: its 21 hotkeys, the emergency
// key, their key characters (NUL-terminated; a hotkey without a key ends them early for the key
// watcher's filter) and the route of its flight-plan briefing.
struct AtcKeys {
    HotkeyEntry table[kAtcHotkeyCount] = {};
    int emergencyKey = 0;
    char keys[kAtcHotkeyCount + 1] = {};
    char route[kRouteTextSize] = "";
};

// The published import (HotkeyTable, EmergencyKey, HotkeyKeys and RouteText, kept in
// hotkeys.cpp). The attach step writes it on the timer thread while the simulator's thread draws
// and watches keys with it, so it changes only whole, under a lock: build an AtcKeys aside and
// PublishAtcKeys it; read it through CurrentAtcKeys (a copy).
// thread: any, each of these four.
AtcKeys CurrentAtcKeys();
void PublishAtcKeys(const AtcKeys& keys);
// The route alone, for the text redraw.
void CurrentRouteText(char out[kRouteTextSize]);
// Empties HotkeyTable (the rest stays as it is).
void ClearHotkeyTable();
// The whole import empty, as at load. Only while no attach step runs.
void ResetAtcKeys();

// Reads the ATC program's ini beside its executable into keys' table, emergency key and key
// characters, and the route of the briefing the ini names when there is one (else keys' route
// stays); 0 when the program cannot be located, 1 otherwise (also when the ini is missing, which
// leaves the table as it was). With tellPilot false the notices about a missing ini or disabled
// keys are not shown. A notice comes after the files are read, and nothing is locked while the
// pilot is asked for the program's folder or a notice is open.
// thread: the tick's or the deferred-work thread (files only; a notice box is a system call).
int ReadAtcHotkeys(AtcKeys* keys, bool tellPilot = true);
// Reads the route from a briefing file into route; 0 when it cannot be opened. Empties route
// first.
int ReadBriefing(const char* path, char route[kRouteTextSize]);
