#include "bridge/option_list.h"

#include <cstring>

#include "airport/airport_data.h"
#include "airport/radio_refresh.h"
#include "base/checks.h"
#include "base/deferred_work.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "config/hotkeys.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"

namespace {
std::atomic<int> g_emergencyMode{0};
}  // namespace

int EmergencyMode() { return g_emergencyMode.load(); }

void SetEmergencyMode(bool on) { g_emergencyMode = on ? 1 : 0; }

namespace {

char OptionListText[kOptionListSize] = "";
int OptionCount = 0;
SRWLOCK OptionListLock = SRWLOCK_INIT;

}  // namespace

void ClearOptionList() {
    AcquireSRWLockExclusive(&OptionListLock);
    memset(OptionListText, 0, sizeof OptionListText);
    OptionCount = 0;
    ReleaseSRWLockExclusive(&OptionListLock);
}

void PublishOptionList(const OptionList& list) {
    // A list built whole: its text ends inside it, and each entry counted ends with its "*" (the
    // panel's height comes from the count, its lines from the text). A list that is not is
    // published as far as its text goes.
    const size_t length = strnlen(list.text, sizeof list.text);
    int entries = 0;
    for (size_t i = 0; i < length; ++i) entries += list.text[i] == '*';
    int count = list.count;
    if (!DURAR_CHECK(length, <, sizeof list.text) || !DURAR_CHECK(count, >=, 0) || !DURAR_CHECK(count, <=, entries))
        count = entries;
    AcquireSRWLockExclusive(&OptionListLock);
    memcpy(OptionListText, list.text, sizeof OptionListText);
    OptionListText[kOptionListSize - 1] = 0;
    OptionCount = count;
    ReleaseSRWLockExclusive(&OptionListLock);
}

void ResetOptionList() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    ClearOptionList();
    g_emergencyMode = 0;
}

OptionList CurrentOptionList() {
    OptionList list;
    AcquireSRWLockShared(&OptionListLock);
    memcpy(list.text, OptionListText, sizeof list.text);
    list.count = OptionCount;
    ReleaseSRWLockShared(&OptionListLock);
    list.text[kOptionListSize - 1] = 0;
    return list;
}

void BuildOptionList() {
    FrequencyEntry table[kFrequencyTableSize];
    CopyFrequencyTable(table);
    OptionInputs in;
    if (OnSimulatorThread() && Datarefs.com1 && Datarefs.onGround) {
        in.com1 = (int)ReadDataref(Datarefs.com1);
        in.com1Khz = Datarefs.com1Khz ? (int)ReadDataref(Datarefs.com1Khz) : 0;
        in.onGround = ReadDataref(Datarefs.onGround) > 0;
    } else {
        in.com1 = SampledCom1();
        in.com1Khz = SampledCom1Khz();
        in.onGround = SampledOnGround() != 0;
    }
    if (in.onGround) g_emergencyMode = 0;
    in.emergency = EmergencyMode() != 0;
    in.frequencies = table;
    const AtcKeys keys = CurrentAtcKeys();
    in.hotkeys = keys.table;
    in.hotkeyKeys = keys.keys;
    PublishOptionList(ChooseOptionList(in));
}

DWORD WINAPI RefreshRadiosAndOptions(LPVOID unused) {
    if (!RefreshAirportRadios(unused)) return 0;
    BuildOptionList();
    return 1;
}

namespace {

void RadioRefreshJob() { RefreshRadiosAndOptions(nullptr); }

}  // namespace

bool QueueRadioRefresh() { return DeferredWork.Queue(RadioRefreshJob); }
