#include "timers.h"

#include <cstdio>
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

std::mutex g_mutex;
std::vector<SimTimer> g_timers;
int g_nextId = 1;

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

std::string Seconds(double s) {
    char buf[32];
    snprintf(buf, sizeof buf, "%.2f", s);
    return buf;
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
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (SimTimer& t : g_timers)
            if (t.live && HandleOf(t.id) == timer) {
                t.live = false;
                found = true;
                Out("timer " + std::to_string(t.id) + " deleted");
            }
    }
    if (!found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Callbacks run to completion between frames, so none is under way now.
    if (completionEvent && completionEvent != INVALID_HANDLE_VALUE) SetEvent(completionEvent);
    return TRUE;
}

void RunDueTimers() {
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
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            // A short wait: a wake-up for messages sent from the worker is not to be relied on.
            if (MsgWaitForMultipleObjects(1, &thread, FALSE, 1, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        }
        CloseHandle(thread);
    }
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
