#include "base/locks.h"

CRITICAL_SECTION StartLinkLock;
CRITICAL_SECTION RadioLookupLock;
CRITICAL_SECTION MonitorTimerLock;

namespace {
// Statically initialised, so they never need creating or deleting themselves.
SRWLOCK g_workLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_workDone = CONDITION_VARIABLE_INIT;
int g_running = 0;
bool g_locksAlive = false;
}  // namespace

void CreatePluginLocks() {
    InitializeCriticalSection(&StartLinkLock);
    InitializeCriticalSection(&RadioLookupLock);
    InitializeCriticalSection(&MonitorTimerLock);
    AcquireSRWLockExclusive(&g_workLock);
    g_locksAlive = true;
    ReleaseSRWLockExclusive(&g_workLock);
}

bool DeletePluginLocks(unsigned timeoutMs) {
    AcquireSRWLockExclusive(&g_workLock);
    if (!g_locksAlive) {
        ReleaseSRWLockExclusive(&g_workLock);
        return true;
    }
    // No new work is admitted from here on.
    g_locksAlive = false;
    DWORD start = GetTickCount();
    while (g_running > 0) {
        DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs) break;
        SleepConditionVariableSRW(&g_workDone, &g_workLock, timeoutMs - waited, 0);
    }
    bool idle = g_running == 0;
    ReleaseSRWLockExclusive(&g_workLock);
    if (!idle) return false;
    DeleteCriticalSection(&RadioLookupLock);
    DeleteCriticalSection(&MonitorTimerLock);
    DeleteCriticalSection(&StartLinkLock);
    return true;
}

bool PluginLocksAlive() {
    AcquireSRWLockShared(&g_workLock);
    bool alive = g_locksAlive;
    ReleaseSRWLockShared(&g_workLock);
    return alive;
}

BackgroundWork::BackgroundWork() {
    AcquireSRWLockExclusive(&g_workLock);
    admitted_ = g_locksAlive;
    if (admitted_) g_running++;
    ReleaseSRWLockExclusive(&g_workLock);
}

BackgroundWork::~BackgroundWork() {
    if (!admitted_) return;
    AcquireSRWLockExclusive(&g_workLock);
    if (--g_running == 0) WakeAllConditionVariable(&g_workDone);
    ReleaseSRWLockExclusive(&g_workLock);
}
