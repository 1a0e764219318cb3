#pragma once
// Recognising the ATC program's message text in memory. Portable: no windows.h.
#include <cstddef>
#include <cstdint>

constexpr size_t kAtcTextWindow = 128;

// A window of up to 128 bytes, read as text up to its first NUL: it starts with a start phrase
// or holds "ComFreq" anywhere (case-insensitive).
bool IsAtcTextAtStart(const char* window, size_t length);
// Any of the second candidate's phrases anywhere.
bool IsAtcTextAnywhere(const char* window, size_t length);

// The first offset a in [0, starts) of bytes[0, length) whose window bytes[a, a+128), all within
// length, matches IsAtcTextAtStart; -1 when none. Linear in length: the same answer as testing
// every offset one by one.
long long FirstAtcTextWindow(const uint8_t* bytes, size_t length, size_t starts);
