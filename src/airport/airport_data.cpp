#include "airport/airport_data.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "XPLMDataAccess.h"
#include "base/checks.h"
#include "base/locks.h"
#include "base/log.h"
#include "config/options.h"

namespace {

FrequencyEntry FrequencyTable[kFrequencyTableSize] = {};
SRWLOCK FrequencyTableLock = SRWLOCK_INIT;

constexpr DWORD kReadChunk = 64 * 1024;

struct FileCloser {
    HANDLE handle;
    ~FileCloser() { CloseHandle(handle); }
};

// Reads the file line by line to its end (or until onLine gives false). Binary mode with our
// own line ends: text mode would end the read at a Ctrl-Z byte. False when it cannot be opened.
template <class OnLine>
bool ReadLines(const char* path, size_t limit, OnLine&& onLine) {
    if (!path || !*path) return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileCloser closer{file};
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadChunk]);
    if (!buffer) return false;
    LineSplitter lines(limit);
    DWORD got = 0;
    while (ReadFile(file, buffer.get(), kReadChunk, &got, nullptr) && got > 0)
        if (!lines.Feed(buffer.get(), got, onLine)) return true;
    lines.Finish(onLine);
    return true;
}

// The end of a search: the found ident, or "?".
int GiveIdent(bool found, const char* ident, char* identOut) {
    if (found) {
        memset(identOut, 0, 6);
        memcpy(identOut, ident, strnlen(ident, 4));
        size_t length = strlen(identOut);
        if (length == 3 || length == 4) return 1;
    }
    strcpy(identOut, "?");
    return 0;
}

}  // namespace

void CopyFrequencyTable(FrequencyEntry out[kFrequencyTableSize]) {
    AcquireSRWLockShared(&FrequencyTableLock);
    memcpy(out, FrequencyTable, sizeof FrequencyTable);
    ReleaseSRWLockShared(&FrequencyTableLock);
}

bool FrequencyTableHasEntry() {
    AcquireSRWLockShared(&FrequencyTableLock);
    const bool has = FrequencyTable[0].Type != 0;
    ReleaseSRWLockShared(&FrequencyTableLock);
    return has;
}

int LoadFrequencyTable(const char* ident) { return LoadAirportFrequencies(ident, FrequencyTable); }

void SetFrequencyTable(const FrequencyEntry table[kFrequencyTableSize]) {
    AcquireSRWLockExclusive(&FrequencyTableLock);
    memcpy(FrequencyTable, table, sizeof FrequencyTable);
    ReleaseSRWLockExclusive(&FrequencyTableLock);
}

void ResetFrequencyTable() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    AcquireSRWLockExclusive(&FrequencyTableLock);
    memset(FrequencyTable, 0, sizeof FrequencyTable);
    ReleaseSRWLockExclusive(&FrequencyTableLock);
}

std::string AirportFilePath() { return SimulatorPath("\\Resources\\Plugins\\DURarUravud\\APT.dat"); }

std::string RadioFilePath() { return SimulatorPath("\\Resources\\Plugins\\DURarUravud\\Radio.dat"); }

int FindNearestAirportIn(const char* path, const GeoPosition& aircraft, char* identOut) {
    if (!identOut) return 0;
    NearestAirportScan scan(aircraft);
    if (!ReadLines(path, kAirportLineLimit, [&](const char* line) { return scan.Offer(line); })) return 0;
    return GiveIdent(scan.Pass() != 0, scan.Ident(), identOut);
}

int FindNearestAirport(char* identOut) {
    if (!identOut) return 0;
    GeoPosition aircraft;
    GetAircraftPosition(&aircraft);
    std::string path = AirportFilePath();
    if (path.empty()) return 0;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        LogLine("airport data file missing: %s", path.c_str());
        MessageBoxA(nullptr, "Airport data file missing!\nPlease re-install plugin DURarUravud.", "", MB_ICONWARNING);
        return 0;
    }
    return FindNearestAirportIn(path.c_str(), aircraft, identOut);
}

int LoadAirportFrequenciesFrom(const char* path, const char* ident, FrequencyEntry* table) {
    // An empty ident would occur in every line and load the file's first 16 frequencies.
    if (!ident || !*ident || !table) return 0;
    FrequencyCollector collector(ident);
    bool read = ReadLines(path, kRadioLineLimit, [&](const char* line) {
        collector.Offer(line);
        return true;
    });
    if (!read) return 0;
    // Collected first and published at once, so readers never see a half-read table.
    AcquireSRWLockExclusive(&FrequencyTableLock);
    memset(table, 0, sizeof(FrequencyEntry) * kFrequencyTableSize);
    memcpy(table, collector.Entries(), sizeof(FrequencyEntry) * collector.Count());
    ReleaseSRWLockExclusive(&FrequencyTableLock);
    return 1;
}

int LoadAirportFrequencies(const char* ident, FrequencyEntry* table) {
    if (!ident || !*ident || !table) return 0;
    std::string path = RadioFilePath();
    if (LoadAirportFrequenciesFrom(path.c_str(), ident, table)) return 1;
    LogLine("radio data file could not be read: %s", path.c_str());
    return 0;
}
