// The plug-in's code in a library the test loads and unloads, with what the test needs to reach:
// a text scan started as the monitor starts it, the stop's wait, and the test hook that holds a
// background run after it has counted itself out.
#include <windows.h>

#include "base/locks.h"
#include "bridge/monitor.h"
#include "hook/hook.h"

extern "C" {

// The locks made as XPluginStart makes them, then a scan of the server's module (none is loaded
// here, so it ends at once).
void ProbeStartTextScan() {
    CreatePluginLocks();
    LookForAtcTextSource();
}

int ProbeDeleteLocks(unsigned timeoutMs) { return DeletePluginLocks(timeoutMs) ? 1 : 0; }

void ProbeHoldWorkEnd(void (*hold)()) { SetBackgroundWorkCountedOutHook(hold); }

}  // extern "C"

namespace {
using TargetFn = int (*)(int);
TargetFn ProbeTrampoline = nullptr;
int ProbeDetour(int x) { return ProbeTrampoline(x) + 100; }
}  // namespace

extern "C" {

// A hook whose detour lies in this library, armed on `target`; the engine's status.
int ProbeArmHook(void* target) {
    HookStatus status = HookInitialize();
    if (status != HookOk) return status;
    void* tramp = nullptr;
    status = HookAdd(target, reinterpret_cast<void*>(&ProbeDetour), &tramp);
    if (status != HookOk) return status;
    ProbeTrampoline = reinterpret_cast<TargetFn>(tramp);
    return HookArm(target);
}

// Takes every hook out as the plug-in's stop does; the status of the disarm.
int ProbeRemoveHooks() {
    const HookStatus status = HookDisarm(nullptr);
    (void)HookShutdown();  // refused while a hook stays armed
    return status;
}

}  // extern "C"
