#include "base/module_release.h"

#include "base/log.h"

namespace {

// Distinct modules with the references that wait for each: many threads letting go of the same
// module take one entry.
struct Held {
    HMODULE module;
    int references;
};
constexpr int kHeld = 16;
SRWLOCK g_lock = SRWLOCK_INIT;
Held g_held[kHeld] = {};
int g_count = 0;

}  // namespace

void ReleaseModuleOnSimulatorThread(HMODULE module) {
    if (!module) return;
    if (OnSimulatorThread()) {
        FreeLibrary(module);
        return;
    }
    AcquireSRWLockExclusive(&g_lock);
    bool kept = false;
    for (int i = 0; i < g_count && !kept; ++i)
        if (g_held[i].module == module) {
            g_held[i].references++;
            kept = true;
        }
    if (!kept && g_count < kHeld) {
        g_held[g_count++] = Held{module, 1};
        kept = true;
    }
    ReleaseSRWLockExclusive(&g_lock);
    if (!kept) LogLine("a reference to another plug-in's module is kept until the simulator ends");
}

void ReleaseHeldModules() {
    if (!OnSimulatorThread()) return;
    Held held[kHeld];
    AcquireSRWLockExclusive(&g_lock);
    const int count = g_count;
    for (int i = 0; i < count; ++i) held[i] = g_held[i];
    g_count = 0;
    ReleaseSRWLockExclusive(&g_lock);
    for (int i = 0; i < count; ++i)
        for (int n = 0; n < held[i].references; ++n) FreeLibrary(held[i].module);
}

int HeldModuleReferences() {
    AcquireSRWLockShared(&g_lock);
    int references = 0;
    for (int i = 0; i < g_count; ++i) references += g_held[i].references;
    ReleaseSRWLockShared(&g_lock);
    return references;
}
