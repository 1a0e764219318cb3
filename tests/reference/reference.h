#pragma once
// The plain ways of doing what the plug-in does faster: tests check the plug-in's answers against
// them and the benchmarks measure against them. Not part of win.xpl.
#include <cstddef>
#include <cstdint>

#include "airport/airport_records.h"

// The ATC text scan's answer (ScanForAtcText) by one 128-byte ReadProcessMemory per address
// whose window is readable.
const char* ScanForAtcTextByteWise(const void* image, size_t size);

// ReportHotkeyPress by one read request per slot until one matches, then the two writes one
// exchange each; gives the number of IPC exchanges made.
int ReportHotkeyPressPerSlot(uint8_t keyChar, int flags);

// FindNearestAirportIn by one read of the file per search radius.
int FindNearestAirportFivePass(const char* path, const GeoPosition& aircraft, char* identOut);
