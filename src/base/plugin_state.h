#pragma once
// The two facts about the plug-in as a whole that every layer reads. Written only by the shell:
// LinkActive by link start and stop, Is64BitProcess once in XPluginStart.
#include <atomic>

// 1 while the link is up; read from the timer and worker threads.
extern std::atomic<int> LinkActive;
// 1 when the plug-in runs as a native 64-bit process on 64-bit Windows.
extern int Is64BitProcess;
