#include "airport/radio_refresh.h"

#include <mmsystem.h>

#include <cstring>

#include "airport/airport_data.h"
#include "base/checks.h"
#include "base/guard.h"
#include "base/locks.h"

namespace {

std::atomic<int> g_lastCom1Frequency{0};

// Both only under RadioLookupLock.
char LastAirportIdent[6] = "";
DWORD LastRadioRefreshTime = 0;
constexpr DWORD kRadioRefreshMs = 240000;

bool RefreshRadiosOnce() {
    BackgroundWork work;
    if (!work.Admitted()) return false;
    TriedLock lock(&RadioLookupLock);
    if (!lock.Held()) return false;
    int k = g_lastCom1Frequency.load() & 0xFFFF;
    DWORD now = timeGetTime();
    if (now > LastRadioRefreshTime + kRadioRefreshMs || k == 0) {
        char ident[6] = {};
        bool found = FindNearestAirport(ident) != 0;
        LastRadioRefreshTime = now;
        if (found && !strchr(ident, '?') && lstrcmpiA(ident, LastAirportIdent) != 0) {
            LoadFrequencyTable(ident);
            memset(LastAirportIdent, 0, sizeof LastAirportIdent);
            memcpy(LastAirportIdent, ident, strnlen(ident, sizeof LastAirportIdent - 1));
        }
        return FrequencyTableHasEntry();
    }
    return false;
}

}  // namespace

void CopyLastAirportIdent(char out[6]) {
    memcpy(out, LastAirportIdent, sizeof LastAirportIdent);
    out[5] = 0;
}

void ResetRadioRefreshState() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    g_lastCom1Frequency = 0;
    memset(LastAirportIdent, 0, sizeof LastAirportIdent);
    LastRadioRefreshTime = 0;
}

int LastCom1Frequency() { return g_lastCom1Frequency.load(); }

void SetLastCom1Frequency(int frequency) { g_lastCom1Frequency = frequency; }

DWORD WINAPI RefreshAirportRadios(LPVOID) {
    return GuardedWorker("RefreshAirportRadios", (DWORD)0, [] {
        return RefreshRadiosOnce() ? (DWORD)1 : (DWORD)0;
    });
}
