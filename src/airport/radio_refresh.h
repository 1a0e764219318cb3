#pragma once
// The nearest airport's radios, looked up again when COM1 changes and every four minutes, and
// the bookkeeping of the last look-up.
#include <windows.h>

#include <atomic>

// The COM1 frequency (10 kHz units) the radios were last looked up for; 0 asks for a look-up.
// thread: any (the tick, the first flight loop and the hints panel set it, refreshes read it).
int LastCom1Frequency();
void SetLastCom1Frequency(int frequency);
// A copy of the ident whose frequencies the frequency table holds ("" before the first; kept as
// LastAirportIdent in radio_refresh.cpp, which refreshes write under RadioLookupLock). Only
// while no refresh runs.
void CopyLastAirportIdent(char out[6]);
// The refresh's bookkeeping back to its values at load: no airport, no COM1, no look-up time.
// Only while no refresh runs.
void ResetRadioRefreshState();

// A look-up for LastCom1Frequency; the argument (a thread routine's) is not used. One look-up at
// a time (a second caller returns at once). Gives 1 when a look-up ran and the table has frequencies:
// the caller then rebuilds the option list.
// thread: the tick's, the deferred-work thread (no simulator call; the position is sampled).
DWORD WINAPI RefreshAirportRadios(LPVOID unused);
