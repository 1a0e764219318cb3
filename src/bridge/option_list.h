#pragma once
// The hints' option list as published: rebuilt by the monitor's tick, the radio refresh and the
// key watcher on their threads, drawn by the hints panel on the simulator's thread.
#include <windows.h>

#include <atomic>

#include "bridge/option_text.h"

// 1 while the option list is the emergency answer list: the key watcher sets it on the
// simulator's thread, the tick and link stop clear it, the list's rebuild on any thread reads it.
// thread: any, both.
int EmergencyMode();
void SetEmergencyMode(bool on);

// The published list (OptionListText and OptionCount, kept in option_list.cpp) is rebuilt and
// cleared on worker threads while the simulator's thread draws it. It is published whole: a list
// is built apart and copied in under a lock, and readers copy it out (CurrentOptionList) under the
// same lock, so nobody sees a half-built list.
// thread: any, each of these three.
void ClearOptionList();
void PublishOptionList(const OptionList& list);
OptionList CurrentOptionList();
// Rebuilds the list for the current COM1, ground state, EmergencyMode, radios and hotkeys.
// thread: any; on the simulator's thread it reads the two datarefs, elsewhere the values that the
// simulator's thread samples every second.
void BuildOptionList();
// A radio refresh (RefreshAirportRadios) that rebuilds the list when it found frequencies; a
// thread routine, like the refresh itself.
DWORD WINAPI RefreshRadiosAndOptions(LPVOID unused);
// The list empty and EmergencyMode off, as at load. Only while no worker runs.
void ResetOptionList();
// The same on the deferred-work thread for LastCom1Frequency; false when it is not running.
[[nodiscard]] bool QueueRadioRefresh();
