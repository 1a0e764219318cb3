#pragma once
// Nothing may be thrown across a simulator callback: callbacks run their body through Guarded.
#include <exception>

#include "shell/log.h"

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
