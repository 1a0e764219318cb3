#pragma once
// The simulator's log, where the plug-in tells an advanced user why something did not work.
// Lines start with "DURarUravud: ". Only written from the simulator's thread (the simulator
// forbids API calls from other threads); calls from other threads are dropped.

void RememberSimulatorThread();
bool OnSimulatorThread();
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
