// The nearest airport's radios, looked up again when COM1 changes and every four minutes.
#include "bridge/monitor.h"

#include <mmsystem.h>

#include <cstring>

#include "shell/deferred_work.h"
#include "shell/guard.h"
#include "shell/locks.h"
#include "shell/plugin.h"
#include "ui/airport_data.h"
#include "ui/hints_window.h"

char LastAirportIdent[6] = "";

namespace {

DWORD LastRadioRefreshTime = 0;
constexpr DWORD kRadioRefreshMs = 240000;

bool FrequencyTableHasEntry() { return FrequencyTable[0].Type != 0; }

void RefreshRadiosOnce(LPVOID frequency) {
    BackgroundWork work;
    if (!work.Admitted()) return;
    TriedLock lock(&RadioLookupLock);
    if (!lock.Held()) return;
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
        if (FrequencyTableHasEntry()) BuildOptionList();
    }
}

}  // namespace

DWORD WINAPI RefreshAirportRadios(LPVOID frequency) {
    return GuardedWorker("RefreshAirportRadios", (DWORD)0, [frequency] {
        RefreshRadiosOnce(frequency);
        return (DWORD)0;
    });
}

namespace {

void RefreshRadiosJob() { RefreshAirportRadios(&LastCom1Frequency); }

}  // namespace

bool QueueRadioRefresh() { return DeferredWork.Queue(RefreshRadiosJob); }
