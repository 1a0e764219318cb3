#include "timers.h"

#include <cstdio>
#include <list>
#include <mutex>
#include <vector>

#include "common/sim_control.h"
#include "host.h"

namespace {

struct SimTimer {
    int id;
    WAITORTIMERCALLBACK callback;
    PVOID parameter;
    double due;     // simulated seconds
    double period;  // 0 = once
    bool live;
};

// A completion event of a deletion that found runs under way: set when the last of them ends.
struct PendingDeletion {
    HANDLE event;
    int remaining;
};

// A callback run on its own thread (concurrent mode).
struct ConcurrentRun {
    int timer;
    WAITORTIMERCALLBACK callback;
    PVOID parameter;
    HANDLE thread = nullptr;
    long long startFrame = 0;
    LARGE_INTEGER startTime = {};
    bool done = false;
    std::vector<PendingDeletion*> deletions;
};

std::mutex g_mutex;
std::vector<SimTimer> g_timers;
int g_nextId = 1;
bool g_concurrent = false;
DWORD g_paceMs = 0;
long long g_frames = 0;  // frames since the start, counted by the frame hook
std::list<ConcurrentRun> g_runs;
LARGE_INTEGER g_lastFrameEnd = {};
// Finished concurrent runs: how many, and the frames each spent.
long long g_runsStarted = 0, g_runsFinished = 0, g_frameSum = 0, g_frameMin = -1, g_frameMax = 0;
double g_msSum = 0, g_msMax = 0;

HANDLE HandleOf(int id) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x7100000 + id)); }

struct Run {
    WAITORTIMERCALLBACK callback;
    PVOID parameter;
};

DWORD WINAPI RunCallback(LPVOID argument) {
    Run* run = static_cast<Run*>(argument);
    run->callback(run->parameter, TRUE);
    return 0;
}

DWORD WINAPI RunConcurrent(LPVOID argument) {
    ConcurrentRun* run = static_cast<ConcurrentRun*>(argument);
    run->callback(run->parameter, TRUE);
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    double ms = double(end.QuadPart - run->startTime.QuadPart) * 1000.0 / double(frequency.QuadPart);
    std::lock_guard<std::mutex> lock(g_mutex);
    run->done = true;
    g_msSum += ms;
    if (ms > g_msMax) g_msMax = ms;
    long long spent = g_frames - run->startFrame;
    ++g_runsFinished;
    g_frameSum += spent;
    if (g_frameMin < 0 || spent < g_frameMin) g_frameMin = spent;
    if (spent > g_frameMax) g_frameMax = spent;
    for (PendingDeletion* d : run->deletions)
        if (--d->remaining == 0) {
            SetEvent(d->event);
            delete d;
        }
    run->deletions.clear();
    return 0;
}

std::string Seconds(double s) {
    char buf[32];
    snprintf(buf, sizeof buf, "%.2f", s);
    return buf;
}

// Closes the threads of finished concurrent runs. Under g_mutex.
void Reap() {
    for (auto it = g_runs.begin(); it != g_runs.end();) {
        if (it->done) {
            WaitForSingleObject(it->thread, INFINITE);  // it is past its last use of the record
            CloseHandle(it->thread);
            it = g_runs.erase(it);
        } else {
            ++it;
        }
    }
}

void ServeWhileWaiting(HANDLE handle) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // A short wait: a wake-up for messages sent from the worker is not to be relied on.
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, 1, QS_ALLINPUT) == WAIT_OBJECT_0) return;
    }
}

void StartDueBetweenFrames() {
    for (;;) {
        Run run{};
        int id = 0;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            for (SimTimer& t : g_timers) {
                if (!t.live || SIM_Now() + 1e-6 < t.due) continue;
                run = {t.callback, t.parameter};
                id = t.id;
                if (t.period > 0) t.due += t.period;
                else t.live = false;
                break;
            }
        }
        if (!id) return;
        HANDLE thread = CreateThread(nullptr, 0, RunCallback, &run, 0, nullptr);
        if (!thread) return;
        // Serve what the callback sends to windows of this thread until it has returned.
        ServeWhileWaiting(thread);
        CloseHandle(thread);
    }
}

void StartDueConcurrently() {
    std::lock_guard<std::mutex> lock(g_mutex);
    Reap();
    for (SimTimer& t : g_timers) {
        // A timer late by several periods runs once, as the pool does not queue missed runs.
        if (!t.live || SIM_Now() + 1e-6 < t.due) continue;
        if (t.period > 0)
            while (t.due <= SIM_Now() + 1e-6) t.due += t.period;
        else
            t.live = false;
        g_runs.emplace_back();
        ConcurrentRun& run = g_runs.back();
        run.timer = t.id;
        run.callback = t.callback;
        run.parameter = t.parameter;
        run.startFrame = g_frames;
        QueryPerformanceCounter(&run.startTime);
        run.thread = CreateThread(nullptr, 0, RunConcurrent, &run, CREATE_SUSPENDED, nullptr);
        if (!run.thread) {
            g_runs.pop_back();
            continue;
        }
        ++g_runsStarted;
        ResumeThread(run.thread);
    }
}

// Keeps a frame from ending before the pace: the simulator renders meanwhile and pumps no
// messages.
void Pace() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    if (g_paceMs && g_lastFrameEnd.QuadPart) {
        long long due = g_lastFrameEnd.QuadPart + frequency.QuadPart * g_paceMs / 1000;
        while (now.QuadPart < due) {
            DWORD ms = DWORD((due - now.QuadPart) * 1000 / frequency.QuadPart);
            Sleep(ms ? ms : 0);
            QueryPerformanceCounter(&now);
        }
    }
    g_lastFrameEnd = now;
}

}  // namespace

BOOL WINAPI SimCreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                                     DWORD dueTime, DWORD period, ULONG flags) {
    if (!timer || !callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    SimTimer t{g_nextId++, callback, parameter, SIM_Now() + dueTime / 1000.0, period / 1000.0, true};
    g_timers.push_back(t);
    *timer = HandleOf(t.id);
    Out("timer " + std::to_string(t.id) + " created: first run at t=" + Seconds(t.due) + ", then every " +
        Seconds(t.period) + " s");
    return TRUE;
}

BOOL WINAPI SimDeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent) {
    int id = 0;
    std::vector<HANDLE> running;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (SimTimer& t : g_timers)
            if (t.live && HandleOf(t.id) == timer) {
                t.live = false;
                id = t.id;
                Out("timer " + std::to_string(t.id) + " deleted");
            }
        if (!id) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // Between frames no callback is under way; concurrently some may be, and the call then
        // behaves as the system's: an event is set once they have ended, INVALID_HANDLE_VALUE
        // waits for them, and without either the caller learns they are still running.
        std::vector<ConcurrentRun*> under;
        for (ConcurrentRun& r : g_runs)
            if (r.timer == id && !r.done) under.push_back(&r);
        if (under.empty()) {
            if (completionEvent && completionEvent != INVALID_HANDLE_VALUE) SetEvent(completionEvent);
            return TRUE;
        }
        if (completionEvent == INVALID_HANDLE_VALUE) {
            for (ConcurrentRun* r : under) {
                HANDLE copy = nullptr;
                DuplicateHandle(GetCurrentProcess(), r->thread, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS);
                if (copy) running.push_back(copy);
            }
        } else if (completionEvent) {
            auto* deletion = new PendingDeletion{completionEvent, int(under.size())};
            for (ConcurrentRun* r : under) r->deletions.push_back(deletion);
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        } else {
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
    }
    for (HANDLE h : running) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    return TRUE;
}

void RunDueTimers() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        ++g_frames;
    }
    if (g_concurrent) StartDueConcurrently();
    else StartDueBetweenFrames();
    Pace();
}

void SetTimersConcurrent(bool on) {
    if (!on) WaitForTimerRuns();
    g_concurrent = on;
}

void SetFramePace(DWORD ms) {
    g_paceMs = ms;
    g_lastFrameEnd.QuadPart = 0;
}

void WaitForTimerRuns() {
    for (;;) {
        HANDLE thread = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            Reap();
            if (g_runs.empty()) return;
            DuplicateHandle(GetCurrentProcess(), g_runs.front().thread, GetCurrentProcess(), &thread, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
        }
        if (!thread) return;
        ServeWhileWaiting(thread);
        CloseHandle(thread);
    }
}

long long TimerRunsStarted() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_runsStarted;
}

void DescribeTimerRuns() {
    std::lock_guard<std::mutex> lock(g_mutex);
    char line[300];
    snprintf(line, sizeof line,
             "timer runs started %lld, finished %lld, frames per run min %lld max %lld sum %lld, ms sum %.3f max %.3f",
             g_runsStarted, g_runsFinished, g_frameMin < 0 ? 0 : g_frameMin, g_frameMax, g_frameSum, g_msSum, g_msMax);
    Out(line);
}

void ResetTimerRuns() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_runsStarted = g_runsFinished = g_frameSum = g_frameMax = 0;
    g_frameMin = -1;
    g_msSum = g_msMax = 0;
    // Runs under way are counted as finished when they end; count them as started too.
    for (const ConcurrentRun& r : g_runs)
        if (!r.done) ++g_runsStarted;
}

void DescribeTimers() {
    std::lock_guard<std::mutex> lock(g_mutex);
    bool any = false;
    for (const SimTimer& t : g_timers) {
        if (!t.live) continue;
        any = true;
        Out("timer " + std::to_string(t.id) + " next run at t=" + Seconds(t.due) + ", every " + Seconds(t.period) +
            " s");
    }
    if (!any) Out("timers: none");
}
