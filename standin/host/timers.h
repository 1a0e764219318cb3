#pragma once
// The plug-ins' timer-queue timers, run on the simulated clock instead of the wall clock, so a
// scenario's ticks come at the same simulated moments on every run.
#include <windows.h>

BOOL WINAPI SimCreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                                     DWORD dueTime, DWORD period, ULONG flags);
BOOL WINAPI SimDeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent);
// After each frame: runs every due timer's callback on a worker thread (as the system's pool
// would) and waits for it to return, serving messages sent to the main thread meanwhile.
void RunDueTimers();
// Prints the timers that exist.
void DescribeTimers();
