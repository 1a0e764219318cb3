#pragma once
// One long-lived thread of the plug-in for work the simulator's thread hands off: it must cost
// that thread next to nothing. Queueing takes a lock that is never held for long and, when the
// job was not pending yet, wakes the thread through a condition variable; it allocates nothing.
// (An event's SetEvent is a round trip to Wine's server that took the simulator's thread 0.1 to
// 0.4 ms under load; a condition variable's wake stays in the process.) A job already pending is
// not queued twice. Jobs run one at a time, in the order they were queued.
//
// Stop refuses new jobs, drops those not started yet and waits for the one in hand, so nothing
// of ours runs once the plug-in may be unloaded. Jobs whose effect must not be lost (a file
// write) keep their own record and are finished by their owner after the stop.
#include <windows.h>

#include <atomic>

using DeferredJob = void (*)();

class DeferredWorker {
public:
    static constexpr int kCapacity = 8;  // different jobs pending at once

    explicit DeferredWorker(const char* name) : name_(name) {}
    ~DeferredWorker() { Stop(); }
    DeferredWorker(const DeferredWorker&) = delete;
    DeferredWorker& operator=(const DeferredWorker&) = delete;

    // Starts the thread unless it runs and returns once it waits for jobs (so that whoever
    // watches the process sees from then on a thread that is either idle or busy with a job);
    // false when it cannot be started.
    bool Start();
    // On the simulator's thread, messages other threads send to it are served while waiting.
    void Stop();
    bool Running() const { return thread_ != nullptr; }
    // True when the job is pending after the call (queued now or before); false when the worker
    // is not running or stopping, or every slot holds another job.
    [[nodiscard]] bool Queue(DeferredJob job);
    // Jobs run to their end so far (for tests and figures).
    long Completed() const { return completed_.load(); }

private:
    static DWORD WINAPI ThreadMain(LPVOID self);
    void Run();
    DeferredJob Take();

    const char* name_;
    HANDLE thread_ = nullptr;
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE ready_ = CONDITION_VARIABLE_INIT;
    SRWLOCK lock_ = SRWLOCK_INIT;
    DeferredJob pending_[kCapacity] = {};
    int head_ = 0, count_ = 0;
    bool accepting_ = false;
    bool stopping_ = false;  // under lock_
    bool waiting_ = false;   // under lock_: the thread has come to wait for jobs
    std::atomic<long> completed_{0};
};

// The plug-in's own: started with the monitor's timer (StartDeferredWork), stopped when the
// plug-in is disabled or stopped.
extern DeferredWorker DeferredWork;
