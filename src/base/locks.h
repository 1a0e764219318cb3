#pragma once
// Lifetime of the shared locks against the plug-in's background work.
//
// Timer ticks and radio refreshes run on other threads and take RadioLookupLock and
// MonitorTimerLock. The locks may only be deleted, and the library only unloaded, once none
// of that work is running: every such run holds a BackgroundWork guard, and DeletePluginLocks
// waits for the last guard to go. A thread of our own (StartBackgroundThread) is waited for
// until it has ended altogether: the end of its guard is not the end of our code on it.
#include <windows.h>

#include <atomic>

// The three critical sections, alive from the end of XPluginStart to XPluginStop: link start
// and stop, the nearest-airport radio look-up, and the monitor's tick.
extern CRITICAL_SECTION StartLinkLock;
extern CRITICAL_SECTION RadioLookupLock;
extern CRITICAL_SECTION MonitorTimerLock;

void CreatePluginLocks();
// Waits up to timeoutMs for background work and the background threads to end; deletes the
// locks when they did and gives true. When work is still running the locks are left in place
// (never deleted under a user).
[[nodiscard]] bool DeletePluginLocks(unsigned timeoutMs);
bool PluginLocksAlive();

// Starts routine (given a null parameter) on a thread of its own, at the given priority, that
// DeletePluginLocks waits for. The thread holds a reference to the module that holds our code
// and gives it back as it exits (FreeLibraryAndExitThread), so even a thread outlasting that wait
// never runs in an unloaded library. False when the thread cannot be made or the plug-in is
// stopping.
[[nodiscard]] bool StartBackgroundThread(LPTHREAD_START_ROUTINE routine, int priority);

class BackgroundWork {
public:
    BackgroundWork();
    ~BackgroundWork();
    // False when the plug-in is stopping: the work must not start.
    bool Admitted() const { return admitted_; }
    // Waits up to ms, or less when the plug-in starts stopping meanwhile; false when it is.
    bool Rest(DWORD ms) const;
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

private:
    bool admitted_;
};

// Runs of background work (BackgroundWork guards) going on now: a reset of the state that work
// uses may only run while there are none.
int BackgroundWorkRunning();

// Test equipment, null in the product (null takes it away again): called by a BackgroundWork
// guard's end after the work has been counted out, so a test can hold a thread there.
void SetBackgroundWorkCountedOutHook(void (*hook)());
// Test equipment, null in the product: called by the stop between taking the list of threads to
// wait for and the wait.
void SetBackgroundThreadsAwaitedHook(void (*hook)());

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

// Takes an SRW lock exclusively. On the simulator's thread the wait serves the messages other
// threads send to its windows: the holder may be waiting for exactly that.
void AcquireServingMessages(SRWLOCK* lock);

// An SRW lock taken exclusively that knows the thread holding it. Taken as AcquireServingMessages
// takes one, so a message served while the simulator's thread waits, or sent to it while it holds
// the lock, may run code that comes back for the lock on the thread that holds it: an SRW lock
// would wait there for itself for ever. That re-entry is refused with a logged check instead.
class OwnedLock {
public:
    // False, after the logged check, when the calling thread holds the lock already.
    [[nodiscard]] bool Acquire();
    // By the thread that holds it.
    void Release();

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::atomic<DWORD> owner_{0};
};
