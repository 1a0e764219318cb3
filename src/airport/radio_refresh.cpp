#include "airport/radio_refresh.h"

#include <mmsystem.h>

#include <cstring>

#include "airport/airport_data.h"
#include "base/checks.h"
#include "base/guard.h"
#include "base/locks.h"

std::atomic<int> LastCom1Frequency{0};

namespace {

// Both only under RadioLookupLock.
char LastAirportIdent[6] = "";
DWORD LastRadioRefreshTime = 0;
constexpr DWORD kRadioRefreshMs = 240000;

bool RefreshRadiosOnce(LPVOID frequency) {
    BackgroundWork work;
    if (!work.Admitted()) return false;
    TriedLock lock(&RadioLookupLock);
    if (!lock.Held()) return false;
    int k = *static_cast<std::atomic<int>*>(frequency) & 0xFFFF;
    DWORD now = timeGetTime();
    if (now > LastRadioRefreshTime + kRadioRefreshMs || k == 0) {
        char ident[6] = {};
        bool found = FindNearestAirport(ident) != 0;
        LastRadioRefreshTime = now;
        if (found && !strchr(ident, '?') && lstrcmpiA(ident, LastAirportIdent) != 0) {
            LoadAirportFrequencies(ident, FrequencyTable);
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
    LastCom1Frequency = 0;
    memset(LastAirportIdent, 0, sizeof LastAirportIdent);
    LastRadioRefreshTime = 0;
}

DWORD WINAPI RefreshAirportRadios(LPVOID frequency) {
    return GuardedWorker("RefreshAirportRadios", (DWORD)0, [frequency] {
        return RefreshRadiosOnce(frequency) ? (DWORD)1 : (DWORD)0;
    });
}
