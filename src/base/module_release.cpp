#include "base/module_release.h"

#include "base/log.h"

namespace {

constexpr int kHeld = 16;
SRWLOCK g_lock = SRWLOCK_INIT;
HMODULE g_held[kHeld] = {};
int g_count = 0;

}  // namespace

void ReleaseModuleOnSimulatorThread(HMODULE module) {
    if (!module) return;
    if (OnSimulatorThread()) {
        FreeLibrary(module);
        return;
    }
    AcquireSRWLockExclusive(&g_lock);
    const bool kept = g_count < kHeld;
    if (kept) g_held[g_count++] = module;
    ReleaseSRWLockExclusive(&g_lock);
    if (!kept) LogLine("a reference to another plug-in's module is kept until the simulator ends");
}

void ReleaseHeldModules() {
    if (!OnSimulatorThread()) return;
    HMODULE modules[kHeld];
    AcquireSRWLockExclusive(&g_lock);
    const int count = g_count;
    for (int i = 0; i < count; ++i) modules[i] = g_held[i];
    g_count = 0;
    ReleaseSRWLockExclusive(&g_lock);
    for (int i = 0; i < count; ++i) FreeLibrary(modules[i]);
}

int HeldModuleReferences() {
    AcquireSRWLockShared(&g_lock);
    const int count = g_count;
    ReleaseSRWLockShared(&g_lock);
    return count;
}
