#pragma once
// The simulator's log, where the plug-in tells an advanced user why something did not work.
// Lines start with "DURarUravud: ". Only the simulator's thread writes to it (the simulator
// forbids API calls from other threads): lines from other threads wait in a small queue that the
// simulator's thread empties every second and before its own next line.

void RememberSimulatorThread();
bool OnSimulatorThread();
// False until the plug-in's start remembered the simulator's thread.
bool SimulatorThreadKnown();
// thread: any, both; off the simulator's thread the line waits in the queue.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// At most one line per kind every intervalMs; the next one says how many were left out.
void LogLineLimited(int kind, unsigned intervalMs, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Every kind's limit as at load: its next line is written at once. Test programs call it before
// each test, so what one test logged does not hold back the next one's line.
void ForgetLogLimits();
// On the simulator's thread: writes the lines other threads queued.
void FlushQueuedLog();

// Kinds of rate-limited lines.
enum LogKind { LogIpcExchange = 0, LogWorkerFailure = 2, LogKindCount = 4 };
