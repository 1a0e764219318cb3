#pragma once
// The two facts about the plug-in as a whole that every layer reads. Written only by their
// owners: the link's up flag by the link's watch (bridge/monitor.cpp) as a link begins and ends,
// Is64BitProcess once in XPluginStart.
#include <atomic>

// The link is up; read from the timer and worker threads and on every drawn string (one plain
// load each).
bool LinkIsUp();
// Only the link's owner: set as a link begins, cleared as it ends.
void SetLinkUp(bool up);
// 1 when the plug-in runs as a native 64-bit process on 64-bit Windows. Written once before any
// worker starts, so the readers need no lock.
extern int Is64BitProcess;

// Both back to their values at load (link down, 64-bit unknown). Only while no worker runs.
void ResetPluginState();
