#pragma once
// Nothing may be thrown across a simulator callback: callbacks run their body through Guarded.
#include <exception>

#include "base/log.h"

template <typename Result, typename Body>
Result Guarded(const char* where, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        LogLine("%s failed: %s", where, e.what());
    } catch (...) {
        LogLine("%s failed", where);
    }
    return fallback;
}

template <typename Body>
void GuardedVoid(const char* where, Body body) noexcept {
    Guarded<int>(where, 0, [&] {
        body();
        return 0;
    });
}

// The same for work on threads of our own and of the system's timer pool, whose exceptions
// would end the simulator just as well. A failure is logged (at most once a minute with the
// count of those left out, as a failing 4-second tick must not flood the log) and the thread
// returns normally; later runs go on.
template <typename Result, typename Body>
Result GuardedWorker(const char* where, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        LogLineLimited(LogWorkerFailure, 60000, "%s failed: %s", where, e.what());
    } catch (...) {
        LogLineLimited(LogWorkerFailure, 60000, "%s failed", where);
    }
    return fallback;
}
