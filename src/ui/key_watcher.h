#pragma once
// The key watcher: the pilot's keys in the simulator turned into hot-key presses that reach the
// ATC program through the IPC server's hot-key table.
//
// Batched, with the same effect on the server as the plain way, which reads the 56 slots one
// request at a time and then makes two single writes, up to 58 exchanges on the simulator's
// thread for one key. Here the 56 slots are read in one request (224 bytes from 0x3210), the
// first matching slot still wins, and the press is reported in one batch holding the same two
// writes in the same order (1 at 0x32FE, then the slot): at most 2 exchanges.
#include <atomic>
#include <cstdint>

// Reports a press of key character k with the event's flags when a slot matches; gives the
// number of IPC exchanges made.
using HotkeyReporter = int (*)(uint8_t keyChar, int flags);
int ReportHotkeyPress(uint8_t keyChar, int flags);
// The plain way, kept as the reference the benchmark measures against: one read request per
// slot until one matches, then the two writes one exchange each.
int ReportHotkeyPressPerSlot(uint8_t keyChar, int flags);

// The watcher with a given reporter: TAB on release toggles the hints; a key among HotkeyKeys
// is reported on its down events (every event for "0"). HintsKeySniffer uses ReportHotkeyPress.
void WatchKey(uint8_t simulatorKey, int flags, HotkeyReporter report);

// IPC exchanges spent on the last key event (0 when nothing was reported); for tests and
// benchmarks.
extern std::atomic<int> LastKeyPressExchanges;
