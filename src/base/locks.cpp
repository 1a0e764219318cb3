#include "base/locks.h"

#include "base/checks.h"
#include "base/log.h"

CRITICAL_SECTION StartLinkLock;
CRITICAL_SECTION RadioLookupLock;
CRITICAL_SECTION MonitorTimerLock;

namespace {
// Test equipment, null in the product.
void (*BackgroundWorkCountedOut)() = nullptr;
void (*BackgroundThreadsAwaited)() = nullptr;

// Statically initialised, so they never need creating or deleting themselves.
SRWLOCK g_workLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_workDone = CONDITION_VARIABLE_INIT;
CONDITION_VARIABLE g_stopping = CONDITION_VARIABLE_INIT;
int g_running = 0;
bool g_locksAlive = false;

// Handles of the threads started by StartBackgroundThread that may still run, under g_workLock.
constexpr int kBackgroundThreads = 8;
HANDLE g_threads[kBackgroundThreads] = {};
int g_threadCount = 0;

// Closes the handles of threads that have ended. Under g_workLock.
void ForgetEndedThreads() {
    int kept = 0;
    for (int i = 0; i < g_threadCount; ++i) {
        if (WaitForSingleObject(g_threads[i], 0) == WAIT_OBJECT_0) CloseHandle(g_threads[i]);
        else g_threads[kept++] = g_threads[i];
    }
    for (int i = kept; i < g_threadCount; ++i) g_threads[i] = nullptr;
    g_threadCount = kept;
}

struct ThreadStart {
    LPTHREAD_START_ROUTINE routine;
    HMODULE module;
};

DWORD WINAPI BackgroundThreadMain(LPVOID parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.routine(nullptr);
    // The module may go as soon as its last reference does: released by the system's code, which
    // then ends the thread without returning here.
    FreeLibraryAndExitThread(start.module, 0);
}

// Waits for the threads still running, up to timeoutMs; true when none runs any more. It waits on
// handles of its own: a thread starting meanwhile closes the list's handles of ended threads.
bool AwaitBackgroundThreads(DWORD timeoutMs) {
    AcquireSRWLockExclusive(&g_workLock);
    HANDLE threads[kBackgroundThreads];
    int count = 0;
    for (int i = 0; i < g_threadCount; ++i)
        if (DuplicateHandle(GetCurrentProcess(), g_threads[i], GetCurrentProcess(), &threads[count], SYNCHRONIZE,
                            FALSE, 0))
            ++count;
    ReleaseSRWLockExclusive(&g_workLock);
    if (BackgroundThreadsAwaited) BackgroundThreadsAwaited();
    if (count > 0) WaitForMultipleObjects((DWORD)count, threads, TRUE, timeoutMs);
    for (int i = 0; i < count; ++i) CloseHandle(threads[i]);
    AcquireSRWLockExclusive(&g_workLock);
    ForgetEndedThreads();
    const bool ended = g_threadCount == 0;
    ReleaseSRWLockExclusive(&g_workLock);
    return ended;
}

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
    // No new work is admitted and no thread started from here on; work resting wakes up.
    g_locksAlive = false;
    WakeAllConditionVariable(&g_stopping);
    DWORD start = GetTickCount();
    while (g_running > 0) {
        DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs) break;
        SleepConditionVariableSRW(&g_workDone, &g_workLock, timeoutMs - waited, 0);
    }
    bool idle = g_running == 0;
    ReleaseSRWLockExclusive(&g_workLock);
    // A thread counted out still runs our code on its way out: it is waited for until it ended.
    DWORD waited = GetTickCount() - start;
    if (!AwaitBackgroundThreads(waited < timeoutMs ? timeoutMs - waited : 0)) idle = false;
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

bool StartBackgroundThread(LPTHREAD_START_ROUTINE routine, int priority) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&BackgroundThreadMain),
                            &module))
        return false;
    ThreadStart* start = new ThreadStart{routine, module};
    AcquireSRWLockExclusive(&g_workLock);
    ForgetEndedThreads();
    HANDLE thread = nullptr;
    if (g_locksAlive && g_threadCount < kBackgroundThreads)
        thread = CreateThread(nullptr, 0, BackgroundThreadMain, start, CREATE_SUSPENDED, nullptr);
    if (thread) g_threads[g_threadCount++] = thread;
    ReleaseSRWLockExclusive(&g_workLock);
    if (!thread) {
        delete start;
        FreeLibrary(module);
        return false;
    }
    SetThreadPriority(thread, priority);
    ResumeThread(thread);
    return true;
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
    if (BackgroundWorkCountedOut) BackgroundWorkCountedOut();
}

void SetBackgroundWorkCountedOutHook(void (*hook)()) { BackgroundWorkCountedOut = hook; }

void SetBackgroundThreadsAwaitedHook(void (*hook)()) { BackgroundThreadsAwaited = hook; }

int BackgroundWorkRunning() {
    AcquireSRWLockShared(&g_workLock);
    const int running = g_running;
    ReleaseSRWLockShared(&g_workLock);
    return running;
}

bool BackgroundWork::Rest(DWORD ms) const {
    AcquireSRWLockExclusive(&g_workLock);
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - start;
        if (!g_locksAlive || waited >= ms) break;
        SleepConditionVariableSRW(&g_stopping, &g_workLock, ms - waited, 0);
    }
    const bool alive = g_locksAlive;
    ReleaseSRWLockExclusive(&g_workLock);
    return alive;
}

void AcquireServingMessages(SRWLOCK* lock) {
    if (!OnSimulatorThread()) {
        AcquireSRWLockExclusive(lock);
        return;
    }
    while (!TryAcquireSRWLockExclusive(lock)) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
    }
}

bool OwnedLock::Acquire() {
    // Only this thread ever writes its own id here, so no other thread's store can make it equal.
    const DWORD self = GetCurrentThreadId();
    if (!DURAR_CHECK(owner_.load(), !=, self)) return false;
    AcquireServingMessages(&lock_);
    owner_ = self;
    return true;
}

void OwnedLock::Release() {
    if (!DURAR_CHECK(owner_.load(), ==, GetCurrentThreadId())) return;
    owner_ = 0;
    ReleaseSRWLockExclusive(&lock_);
}
