#pragma once
// Lifetime of the shared locks against the plug-in's background work.
//
// Timer ticks and radio refreshes run on other threads and take RadioLookupLock and
// MonitorTimerLock. The locks may only be deleted, and the library only unloaded, once none
// of that work is running: every such run holds a BackgroundWork guard, and DeletePluginLocks
// waits for the last guard to go.
#include <windows.h>

// The three critical sections, alive from the end of XPluginStart to XPluginStop: link start
// and stop, the nearest-airport radio look-up, and the monitor's tick.
extern CRITICAL_SECTION StartLinkLock;
extern CRITICAL_SECTION RadioLookupLock;
extern CRITICAL_SECTION MonitorTimerLock;

void CreatePluginLocks();
// Waits up to timeoutMs for background work to end; deletes the locks when it did and gives
// true. When work is still running the locks are left in place (never deleted under a user).
bool DeletePluginLocks(unsigned timeoutMs);
bool PluginLocksAlive();

class BackgroundWork {
public:
    BackgroundWork();
    ~BackgroundWork();
    // False when the plug-in is stopping: the work must not start.
    bool Admitted() const { return admitted_; }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

private:
    bool admitted_;
};

// A critical section taken only if it is free (TryEnterCriticalSection), left on every way out.
class TriedLock {
public:
    explicit TriedLock(CRITICAL_SECTION* lock) : lock_(lock), held_(TryEnterCriticalSection(lock) != 0) {}
    ~TriedLock() {
        if (held_) LeaveCriticalSection(lock_);
    }
    bool Held() const { return held_; }
    TriedLock(const TriedLock&) = delete;
    TriedLock& operator=(const TriedLock&) = delete;

private:
    CRITICAL_SECTION* lock_;
    bool held_;
};
