#pragma once
// The plug-ins' timer-queue timers, run on the simulated clock instead of the wall clock, so a
// scenario's ticks come at the same simulated moments on every run.
#include <windows.h>

BOOL WINAPI SimCreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                                     DWORD dueTime, DWORD period, ULONG flags);
BOOL WINAPI SimDeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent);
// After each frame: runs every due timer's callback on a worker thread (as the system's pool
// would). Between frames (the default) it waits for the callback to return, serving messages
// sent to the main thread meanwhile, so runs are deterministic. Concurrently, the callback runs
// on while the frames go on, and its messages to the main thread are served by the frames'
// pumps, as in the real simulator.
void RunDueTimers();
void SetTimersConcurrent(bool on);
// Each frame lasts at least this long in real time (0: as fast as it goes).
void SetFramePace(DWORD ms);
// Waits for concurrent runs under way to end, serving sent messages; no frames run.
void WaitForTimerRuns();
long long TimerRunsStarted();
// Concurrent runs since the last reset: started, finished, frames and real time spent.
void DescribeTimerRuns();
void ResetTimerRuns();
// Prints the timers that exist.
void DescribeTimers();
