#pragma once
// The two facts about the plug-in as a whole that every layer reads. Written only by the shell:
// LinkActive by link start and stop, Is64BitProcess once in XPluginStart.
#include <atomic>

// 1 while the link is up; read from the timer and worker threads.
extern std::atomic<int> LinkActive;
// 1 when the plug-in runs as a native 64-bit process on 64-bit Windows. Written once before any
// worker starts, so the readers need no lock.
extern int Is64BitProcess;

// Both back to their values at load (link down, 64-bit unknown). Only while no worker runs.
void ResetPluginState();
