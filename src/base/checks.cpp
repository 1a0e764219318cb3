#include "base/checks.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"

namespace {
// The round places compare their memory with; 0 is never current.
std::atomic<unsigned> g_checkRound{1};

// True the first time in this round.
bool FirstInRound(CheckLogged& logged) {
    const unsigned round = g_checkRound.load();
    return logged.exchange(round) != round;
}
}  // namespace

void ForgetLoggedChecks() { g_checkRound.fetch_add(1); }

bool CheckSimulatorThread(const char* function, CheckLogged& logged) {
    // Before the plug-in starts the simulator's thread is not known yet: nothing to compare with.
    if (OnSimulatorThread() || !SimulatorThreadKnown()) return true;
    // LogLine queues the line for the simulator's thread; nothing here calls the API.
    if (FirstInRound(logged)) LogLine("%s ran off the simulator's thread", function);
    return false;
}

CheckValue CheckValueOf(long long value) {
    CheckValue v;
    snprintf(v.text, sizeof v.text, "%lld", value);
    return v;
}

CheckValue CheckValueOf(unsigned long long value) {
    CheckValue v;
    snprintf(v.text, sizeof v.text, "%llu", value);
    return v;
}

CheckValue CheckValueOf(double value) {
    CheckValue v;
    snprintf(v.text, sizeof v.text, "%g", value);
    return v;
}

CheckValue CheckValueOf(const void* value) {
    CheckValue v;
    snprintf(v.text, sizeof v.text, "%p", value);
    return v;
}

namespace {
std::atomic<FailedCheckHook> g_failedCheckHook{nullptr};
}

FailedCheckHook SetFailedCheckHook(FailedCheckHook hook) { return g_failedCheckHook.exchange(hook); }

void ReportFailedCheck(CheckLogged& logged, const char* file, int line, const char* expression,
                       const CheckValue& left, const char* op, const CheckValue& right) {
    const FailedCheckHook hook = g_failedCheckHook.load();
    const bool first = FirstInRound(logged);
    // Without a hook, a place that has said it costs nothing more when it fails again.
    if (!hook && !first) return;
    // The build folder's path says nothing to the reader of the log.
    const char* name = file;
    for (const char* p = file; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    char text[512];
    snprintf(text, sizeof text, "check failed at %s:%d: %s (%s %s %s)", name, line, expression, left.text, op,
             right.text);
    if (hook) hook(file, line, text);
    if (first) LogLine("%s", text);
}
