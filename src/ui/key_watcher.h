#pragma once
// The key watcher: the pilot's keys in the simulator turned into hot-key presses that reach the
// ATC program through the IPC server's hot-key table.
//
// Batched: the 56 slots are read in one request (224 bytes from 0x3210), the first matching slot
// wins, and the press is reported in one batch holding two writes in this order (1 at 0x32FE,
// then the slot): at most 2 exchanges for one key. While the deferred-work thread runs it makes
// them, in the order of the presses, and the simulator's thread only serves them in its next
// message pump; otherwise the sniffer makes them itself. One press at a time reaches the server,
// whichever thread reports it, and its slot read and press write are one IPC session.
#include <atomic>
#include <cstdint>

// Reports a press of key character k with the event's flags when a slot matches; gives the
// number of IPC exchanges made.
using HotkeyReporter = int (*)(uint8_t keyChar, int flags);
// thread: the deferred-work thread, or the simulator's when that thread does not run, its queue
// is full or the link stops.
int ReportHotkeyPress(uint8_t keyChar, int flags);
// What a matched press does beside the report: the emergency key turns on the emergency answers.
void NoteMatchedHotkey(uint8_t keyChar);

// The watcher with a given reporter: TAB on release toggles the hints; a key among HotkeyKeys
// is reported on its down events (every event for "0"). HintsKeySniffer uses ReportHotkeyPress.
void WatchKey(uint8_t simulatorKey, int flags, HotkeyReporter report);
// Reports, on the calling thread, the presses still waiting for the deferred-work thread, after
// the one that thread may have in hand (the link's stop makes them before it clears the hot keys,
// so none reaches a later link and all keep the pilot's order).
// thread: the simulator's.
void ReportWaitingPresses();

// IPC exchanges spent on the last key event (0 when nothing was reported); for tests and
// benchmarks. Kept as LastKeyPressExchanges, an atomic written by whichever thread reported.
int LastKeyPressExchangeCount();
// Back to 0, as at load.
void ResetKeyWatcher();
