#pragma once
// What the keyboard hints panel shows and how a key meets a hot-key slot, as plain functions of
// their inputs. Portable: no windows.h; the window, the simulator and the IPC link are
// in hints_window.* and key_watcher.*.
#include <cstdint>

#include "airport/airport_records.h"
#include "bridge/option_text.h"
#include "config/hotkeys.h"
#include "simlink/ipc_offsets.h"

// ---- the frequency block
constexpr int kFrequencyLineSize = 128;
constexpr int kMaxFrequencyLines = 4;
// Appends one labelled frequency ("TWR=118.70\t"), or a bare tab for a ground-only service in
// the air or an unknown type, keeping the line within its 128 characters.
void AppendFrequency(int type, float frequency, bool onGround, char line[kFrequencyLineSize]);
// The frequency lines of a table: three entries on each of the first three lines, every further
// entry on the fourth. Gives the number of lines (0 when the first entry has no frequency).
int FrequencyLines(const FrequencyEntry* frequencies, bool onGround,
                   char lines[kMaxFrequencyLines][kFrequencyLineSize]);

// ---- the panel's geometry
constexpr int kHintsWidth = 220;
constexpr int kHintsHeight = 250;
// Bottom of the dark box for the window's top.
int HintsBoxBottom(int top, bool showFrequencies, bool listReady, int optionCount);
// The close box: the top-right corner where the title ends in "X".
inline bool InHintsCloseBox(int x, int y, int left, int top) { return x > left + 210 && y > top - 10; }

// ---- the key watcher
// Does the key character pass the watcher's first filter: one of HotkeyKeys, searched as a
// NUL-terminated string (a hotkey without a key ends it)? Key character 0 never passes.
bool IsWatchedKey(uint8_t keyChar, const char* hotkeyKeys);
// Is the event one the watcher handles: key-down events, and every event of the "0" key?
bool IsReportedEvent(uint8_t keyChar, int flags);
// Does a slot (bytes: key, modifiers, flags, pressed) match key character k with the event's
// flags? Shift-only and Ctrl-only slots do not look at the other modifier; a slot without
// modifiers needs neither; Alt is never looked at. An empty key byte never matches.
bool SlotMatches(const uint8_t slot[kHotkeySlotBytes], uint8_t keyChar, int flags);
// The first matching slot of the 56 (224 bytes), or -1.
int FirstMatchingSlot(const uint8_t* slots, uint8_t keyChar, int flags);
// The slot value that reports a press: the registered key code, its modifiers, 0, 1.
uint32_t PressedSlotValue(uint8_t registeredKey, uint8_t modifiers);
