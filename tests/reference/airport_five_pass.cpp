#include <windows.h>

#include <cstring>
#include <memory>

#include "reference.h"

namespace {

// The whole file through the plug-in's line splitter, one read per call; false when it cannot
// be opened.
template <class OnLine>
bool ReadLines(const char* path, OnLine&& onLine) {
    if (!path || !*path) return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    constexpr DWORD kChunk = 64 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    LineSplitter lines(kAirportLineLimit);
    DWORD got = 0;
    bool more = true;
    while (more && ReadFile(file, buffer.get(), kChunk, &got, nullptr) && got > 0)
        more = lines.Feed(buffer.get(), got, onLine);
    if (more) lines.Finish(onLine);
    CloseHandle(file);
    return true;
}

}  // namespace

int FindNearestAirportFivePass(const char* path, const GeoPosition& aircraft, char* identOut) {
    if (!identOut) return 0;
    bool found = false;
    char ident[5] = {};
    for (int pass = 1; pass <= kSearchPasses && !found; ++pass) {
        const double radius = SearchRadius(pass);
        bool opened = ReadLines(path, [&](const char* line) {
            GeoPosition airport;
            if (!AirportPosition(line, &airport)) return true;
            if (!(CentralAngle(aircraft, airport) < radius)) return true;
            CopyLineIdent(line, ident);
            found = true;
            return false;
        });
        if (!opened) return 0;
        Sleep(0);
    }
    if (found) {
        memset(identOut, 0, 6);
        memcpy(identOut, ident, strnlen(ident, 4));
        size_t length = strlen(identOut);
        if (length == 3 || length == 4) return 1;
    }
    strcpy(identOut, "?");
    return 0;
}
