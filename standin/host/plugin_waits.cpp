// The plug-ins' own threads that sleep on condition variables between jobs (a deferred-work
// thread), followed through their imports: an observation of what such a thread does in the
// background, a file it writes, first waits until each of them sleeps again with no wake pending,
// so that what a scenario prints does not depend on thread timing.
#include <windows.h>

#include <vector>

#include "host.h"

namespace {

struct Sleeper {
    DWORD thread;
    HANDLE handle;  // signalled when the thread has ended
    PCONDITION_VARIABLE cv;
    bool sleeping;
    int pendingWakes;  // wakes given while it slept, not yet seen
};

SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<Sleeper> g_sleepers;
DWORD g_mainThread = 0;

Sleeper* Find(DWORD thread) {
    for (Sleeper& s : g_sleepers)
        if (s.thread == thread) return &s;
    return nullptr;
}

void NoteWake(PCONDITION_VARIABLE cv, bool all) {
    ExclusiveLock lock(&g_lock);
    for (Sleeper& s : g_sleepers)
        if (s.sleeping && s.cv == cv) {
            ++s.pendingWakes;
            if (!all) break;
        }
}

bool AllIdle() {
    ExclusiveLock lock(&g_lock);
    for (auto it = g_sleepers.begin(); it != g_sleepers.end();) {
        if (WaitForSingleObject(it->handle, 0) == WAIT_OBJECT_0) {
            CloseHandle(it->handle);
            it = g_sleepers.erase(it);
            continue;
        }
        if (!it->sleeping || it->pendingWakes > 0) return false;
        ++it;
    }
    return true;
}

}  // namespace

void WatchPluginSleepers() { g_mainThread = GetCurrentThreadId(); }

BOOL WINAPI SimSleepConditionVariableSRW(PCONDITION_VARIABLE cv, PSRWLOCK srw, DWORD ms, ULONG flags) {
    const DWORD me = GetCurrentThreadId();
    if (me == g_mainThread) return SleepConditionVariableSRW(cv, srw, ms, flags);
    {
        ExclusiveLock lock(&g_lock);
        Sleeper* s = Find(me);
        if (!s) {
            HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, me);
            if (handle) {
                g_sleepers.push_back({me, handle, cv, false, 0});
                s = &g_sleepers.back();
            }
        }
        // It has looked at its work under its lock: what was queued before is seen.
        if (s) {
            s->cv = cv;
            s->sleeping = true;
            s->pendingWakes = 0;
        }
    }
    const BOOL woke = SleepConditionVariableSRW(cv, srw, ms, flags);
    {
        ExclusiveLock lock(&g_lock);
        if (Sleeper* s = Find(me)) {
            s->sleeping = false;
            s->pendingWakes = 0;
        }
    }
    return woke;
}

void WINAPI SimWakeConditionVariable(PCONDITION_VARIABLE cv) {
    NoteWake(cv, false);
    WakeConditionVariable(cv);
}

void WINAPI SimWakeAllConditionVariable(PCONDITION_VARIABLE cv) {
    NoteWake(cv, true);
    WakeAllConditionVariable(cv);
}

bool AwaitPluginSleepers(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!AllIdle()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        // A job may wait for a message it sent to the main thread.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
    }
    return true;
}
