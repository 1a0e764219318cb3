#pragma once
// Checks that are on in every build and say, once per place, in the simulator's log what went
// wrong, then let the caller carry on with its usual fall-back. Test programs set a hook that
// fails the test a check failed in.
#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <type_traits>

// What a place remembers of having logged: the round of ForgetLoggedChecks it logged in (0: never).
using CheckLogged = std::atomic<unsigned>;
// From now on every place logs its next failure again, as after a load. Test programs call it
// before each test, so what one test tripped does not silence the next.
void ForgetLoggedChecks();

// False (after logging once for this function) when the simulator's thread is known and this is
// another thread: the simulator API must not be called from here.
bool CheckSimulatorThread(const char* function, CheckLogged& logged);
#define CHECK_SIMULATOR_THREAD()                                \
    ([](const char* function) {                                 \
        static CheckLogged logged{0};                           \
        return CheckSimulatorThread(function, logged);          \
    }(__func__))

// An operand as text for the log line.
struct CheckValue {
    char text[32];
};
CheckValue CheckValueOf(long long value);
CheckValue CheckValueOf(unsigned long long value);
CheckValue CheckValueOf(double value);
CheckValue CheckValueOf(const void* value);
template <typename T>
CheckValue CheckOperand(const T& value) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) return CheckValueOf((const void*)value);
    else if constexpr (std::is_floating_point_v<T>) return CheckValueOf((double)value);
    else if constexpr (std::is_enum_v<T>) return CheckOperand((std::underlying_type_t<T>)value);
    else if constexpr (std::is_signed_v<T>) return CheckValueOf((long long)value);
    else return CheckValueOf((unsigned long long)value);
}

// Called with every failed check, on the thread it failed on, before (and whether or not) it is
// logged; `text` is the log line's text. The plug-in sets none. Returns the hook it replaces.
using FailedCheckHook = void (*)(const char* file, int line, const char* text);
FailedCheckHook SetFailedCheckHook(FailedCheckHook hook);

void ReportFailedCheck(CheckLogged& logged, const char* file, int line, const char* expression,
                       const CheckValue& left, const char* op, const CheckValue& right);

// The comparison's result; when it fails, the file, line, expression and both values are logged
// once for this place.
#define DURAR_CHECK(a, op, b)                                                                      \
    ([&](const auto& left_, const auto& right_) {                                                  \
        if (left_ op right_) return true;                                                          \
        static CheckLogged logged_{0};                                                             \
        ReportFailedCheck(logged_, __FILE__, __LINE__, #a " " #op " " #b, CheckOperand(left_), #op, \
                          CheckOperand(right_));                                                   \
        return false;                                                                              \
    }((a), (b)))
