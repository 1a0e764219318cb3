#include "base/deferred_work.h"

#include "base/guard.h"

DeferredWorker DeferredWork("DeferredWork");

namespace {

constexpr DWORD kReadyWaitMs = 2000;

struct ExclusiveLock {
    explicit ExclusiveLock(SRWLOCK* lock) : lock_(lock) { AcquireSRWLockExclusive(lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(lock_); }
    SRWLOCK* lock_;
};

}  // namespace

bool DeferredWorker::Start() {
    if (thread_) return true;
    {
        ExclusiveLock lock(&lock_);
        head_ = count_ = 0;
        accepting_ = true;
        stopping_ = false;
        waiting_ = false;
    }
    HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (!thread) {
        ExclusiveLock lock(&lock_);
        accepting_ = false;
        return false;
    }
    thread_ = thread;
    // Bounded: a thread that is slow to come up only makes the first jobs wait for it.
    ExclusiveLock lock(&lock_);
    const DWORD start = GetTickCount();
    while (!waiting_ && GetTickCount() - start < kReadyWaitMs)
        SleepConditionVariableSRW(&ready_, &lock_, kReadyWaitMs, 0);
    return true;
}

void DeferredWorker::Stop() {
    if (!thread_) return;
    {
        ExclusiveLock lock(&lock_);
        accepting_ = false;
        stopping_ = true;
        // Not started: dropped. The owner of work that must not be lost finishes it itself.
        head_ = count_ = 0;
    }
    WakeAllConditionVariable(&wake_);
    // The job in hand may wait for a message it sent to the simulator's thread.
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD woke = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    }
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool DeferredWorker::Queue(DeferredJob job) {
    if (!job) return false;
    {
        ExclusiveLock lock(&lock_);
        if (!accepting_) return false;
        for (int i = 0; i < count_; ++i)
            if (pending_[(head_ + i) % kCapacity] == job) return true;
        if (count_ == kCapacity) return false;
        pending_[(head_ + count_) % kCapacity] = job;
        ++count_;
    }
    WakeConditionVariable(&wake_);
    return true;
}

DWORD WINAPI DeferredWorker::ThreadMain(LPVOID self) {
    static_cast<DeferredWorker*>(self)->Run();
    return 0;
}

DeferredJob DeferredWorker::Take() {
    ExclusiveLock lock(&lock_);
    while (count_ == 0 && !stopping_) {
        if (!waiting_) {
            waiting_ = true;
            WakeAllConditionVariable(&ready_);
        }
        SleepConditionVariableSRW(&wake_, &lock_, INFINITE, 0);
    }
    if (stopping_) return nullptr;
    DeferredJob job = pending_[head_];
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return job;
}

void DeferredWorker::Run() {
    for (DeferredJob job = Take(); job; job = Take()) {
        // A failing job is logged and the next ones still run.
        GuardedWorker(name_, 0, [job] {
            job();
            return 0;
        });
        completed_++;
    }
}
