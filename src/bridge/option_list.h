#pragma once
// The hints' option list as published: rebuilt by the monitor's tick, the radio refresh and the
// key watcher on their threads, drawn by the hints panel on the simulator's thread.
#include <windows.h>

#include <atomic>

#include "bridge/option_text.h"

extern char OptionListText[kOptionListSize];
extern int OptionCount;
// 1 while the option list is the emergency answer list.
extern std::atomic<int> EmergencyMode;

// OptionListText and OptionCount are rebuilt and cleared on worker threads while the simulator's
// thread draws them. They are published whole: a list is built apart and copied in under this
// lock, and readers copy it out under the same lock, so nobody sees a half-built list.
extern SRWLOCK OptionListLock;
void ClearOptionList();
void PublishOptionList(const OptionList& list);
OptionList CurrentOptionList();
// Rebuilds the list for the current COM1, ground state, EmergencyMode, radios and hotkeys. Any
// thread: on the simulator's thread it reads the two datarefs, elsewhere the values that the
// simulator's thread samples every second.
void BuildOptionList();
// A radio refresh (RefreshAirportRadios) that rebuilds the list when it found frequencies; a
// thread routine, like the refresh itself.
DWORD WINAPI RefreshRadiosAndOptions(LPVOID lastCom1Frequency);
