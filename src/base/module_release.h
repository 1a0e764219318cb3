#pragma once
// References to other plug-ins' modules taken off the simulator's thread are given back on it.
// The simulator's thread reads inside such a module (the IPC server's message text, on every
// drawn string): should another thread drop the last reference, the module would be unloaded
// under that read. On the simulator's thread the release cannot overlap a draw.
#include <windows.h>

// thread: any. FreeLibrary at once on the simulator's thread; elsewhere the reference waits for
// ReleaseHeldModules. References to 16 distinct modules wait at most; one more keeps its module
// loaded for good (safe, and logged).
void ReleaseModuleOnSimulatorThread(HMODULE module);
// thread: the simulator's. Gives back the references that wait (flight loop, disable, stop).
void ReleaseHeldModules();
// References waiting now (for tests).
int HeldModuleReferences();
