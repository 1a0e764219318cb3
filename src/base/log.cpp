#include "base/log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "XPLMUtilities.h"
#include "base/checks.h"

namespace {

DWORD g_simulatorThread = 0;

constexpr int kLineSize = 512;
constexpr int kQueueLines = 32;

// Lines from other threads, oldest first; when full, further lines are counted and dropped.
SRWLOCK g_queueLock = SRWLOCK_INIT;
char g_queue[kQueueLines][kLineSize];
int g_queued = 0;
unsigned g_dropped = 0;

struct Limit {
    DWORD last = 0;
    bool used = false;
    unsigned suppressed = 0;
};
SRWLOCK g_limitLock = SRWLOCK_INIT;
Limit g_limits[LogKindCount];

void Format(char (&line)[kLineSize], const char* format, va_list args) {
    int prefix = snprintf(line, sizeof line, "DURarUravud: ");
    vsnprintf(line + prefix, sizeof line - prefix - 1, format, args);
    size_t n = strlen(line);
    line[n] = '\n';
    line[n + 1] = 0;
}

void Write(const char (&line)[kLineSize]) {
    if (OnSimulatorThread()) {
        FlushQueuedLog();
        XPLMDebugString(line);
        return;
    }
    AcquireSRWLockExclusive(&g_queueLock);
    if (g_queued < kQueueLines) memcpy(g_queue[g_queued++], line, kLineSize);
    else ++g_dropped;
    ReleaseSRWLockExclusive(&g_queueLock);
}

}  // namespace

void RememberSimulatorThread() { g_simulatorThread = GetCurrentThreadId(); }

bool SimulatorThreadKnown() { return g_simulatorThread != 0; }

bool OnSimulatorThread() { return g_simulatorThread != 0 && GetCurrentThreadId() == g_simulatorThread; }

void LogLine(const char* format, ...) {
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    Format(line, format, args);
    va_end(args);
    Write(line);
}

void ForgetLogLimits() {
    AcquireSRWLockExclusive(&g_limitLock);
    for (Limit& limit : g_limits) limit = Limit{};
    ReleaseSRWLockExclusive(&g_limitLock);
}

void LogLineLimited(int kind, unsigned intervalMs, const char* format, ...) {
    if (!DURAR_CHECK(kind, >=, 0) || !DURAR_CHECK(kind, <, (int)LogKindCount)) return;
    const DWORD now = GetTickCount();
    unsigned suppressed = 0;
    AcquireSRWLockExclusive(&g_limitLock);
    Limit& limit = g_limits[kind];
    const bool due = !limit.used || now - limit.last >= intervalMs;
    if (due) {
        suppressed = limit.suppressed;
        limit.used = true;
        limit.last = now;
        limit.suppressed = 0;
    } else {
        ++limit.suppressed;
    }
    ReleaseSRWLockExclusive(&g_limitLock);
    if (!due) return;
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    Format(line, format, args);
    va_end(args);
    if (suppressed) {
        size_t n = strlen(line);
        if (n > 0) line[n - 1] = 0;  // the line end goes after the count
        snprintf(line + strlen(line), sizeof line - strlen(line), " (%u more since the last such line)\n",
                 suppressed);
    }
    Write(line);
}

void FlushQueuedLog() {
    if (!OnSimulatorThread()) return;
    // Called every second and before every line of the simulator's thread: usually empty.
    AcquireSRWLockShared(&g_queueLock);
    const bool waiting = g_queued > 0 || g_dropped > 0;
    ReleaseSRWLockShared(&g_queueLock);
    if (!waiting) return;
    char lines[kQueueLines][kLineSize];
    int count;
    unsigned dropped;
    AcquireSRWLockExclusive(&g_queueLock);
    count = g_queued;
    dropped = g_dropped;
    memcpy(lines, g_queue, sizeof(lines[0]) * count);
    g_queued = 0;
    g_dropped = 0;
    ReleaseSRWLockExclusive(&g_queueLock);
    for (int i = 0; i < count; ++i) XPLMDebugString(lines[i]);
    if (dropped) {
        char line[kLineSize];
        snprintf(line, sizeof line, "DURarUravud: %u lines from background work were left out\n", dropped);
        XPLMDebugString(line);
    }
}
