// The plug-in's code in a library the test loads and unloads, with what the test needs to reach:
// a text scan started as the monitor starts it, the stop's wait, and the test hook that holds a
// background run after it has counted itself out.
#include <windows.h>

#include "base/locks.h"
#include "bridge/monitor.h"

extern "C" {

// The locks made as XPluginStart makes them, then a scan of the server's module (none is loaded
// here, so it ends at once).
void ProbeStartTextScan() {
    CreatePluginLocks();
    LookForAtcTextSource();
}

int ProbeDeleteLocks(unsigned timeoutMs) { return DeletePluginLocks(timeoutMs) ? 1 : 0; }

void ProbeHoldWorkEnd(void (*hold)()) { BackgroundWorkCountedOut = hold; }

}  // extern "C"
