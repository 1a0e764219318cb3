#pragma once
// The plug-in's airport list and radio list (APT.dat, Radio.dat in its own folder) and the two
// look-ups on them: the airport nearest to the aircraft, and that airport's frequencies.
#include <string>

#include "airport/airport_records.h"

// The nearest airport's frequencies (the radio refresh's table, kept in airport_data.cpp), filled
// from entry 0; the first entry with Frequency 0 ends the list. Readers copy it whole under its
// lock, writers replace it whole under the same lock. thread: any, each of these.
void CopyFrequencyTable(FrequencyEntry out[kFrequencyTableSize]);
// Does the table hold the frequencies of an airport (its first entry has a type)?
bool FrequencyTableHasEntry();
// LoadAirportFrequencies into the table: the radio refresh, on its thread.
int LoadFrequencyTable(const char* ident);
// The table replaced by a given one, as if loaded (tests and benchmarks).
void SetFrequencyTable(const FrequencyEntry table[kFrequencyTableSize]);
// The table empty, as at load (under the table's lock). Only while no radio refresh runs.
void ResetFrequencyTable();

// Nearest airport to the aircraft within 200 nm: 1 and its ident (the line's first four
// characters) in identOut (at least 6 characters); 0 with "?" when none, 0 with identOut
// unchanged when APT.dat cannot be read (a missing file is also told in a message box).
int FindNearestAirport(char* identOut);
// Clears table (16 entries) and fills it with the Radio.dat lines holding the ident; 1 once the
// file was read, 0 with the table unchanged for a null or empty ident or an unreadable file.
int LoadAirportFrequencies(const char* ident, FrequencyEntry* table);

// "...\Resources\Plugins\DURarUravud\APT.dat" and "...\Radio.dat" under the simulator folder;
// empty when they would not fit a 260-character path.
std::string AirportFilePath();
std::string RadioFilePath();

// The look-ups on given files and a given position. FindNearestAirportIn reads the file once and
// gives the airport the widening radii (SearchRadius) would find first.
int FindNearestAirportIn(const char* path, const GeoPosition& aircraft, char* identOut);
int LoadAirportFrequenciesFrom(const char* path, const char* ident, FrequencyEntry* table);
