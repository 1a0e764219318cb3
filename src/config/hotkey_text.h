#pragma once
// The ATC program's hotkey numbers and briefing lines. Portable: no windows.h.
#include <cstdint>

// A hotkey number (2000 Ctrl + 1000 Shift + virtual-key code) as an entry: Modifiers in the low
// byte (bit 0 Shift, bit 1 Ctrl), Key in the high byte (0 when the number names no usable key).
uint16_t DecodeHotkey(int number);

// The flight plan's route as "DEPT to DEST", at most 15 characters.
constexpr int kRouteTextSize = 16;

struct BriefingReader {
    char route[kRouteTextSize] = "";
    bool destinationTaken = false;
};

// Takes one line of the briefing (any length; only its first 127 characters count).
void ReadBriefingLine(BriefingReader& reader, const char* line);
