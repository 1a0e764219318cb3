#include "config/hotkeys.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/checks.h"
#include "base/locks.h"
#include "config/atc_locate.h"
#include "config/profile_section.h"

namespace {

// Only under g_publishedLock.
HotkeyEntry HotkeyTable[kAtcHotkeyCount];
int EmergencyKey = 0;
char RouteText[kRouteTextSize] = "";
char HotkeyKeys[kAtcHotkeyCount + 1] = {};

// Defaults of Hotkey11 to Hotkey21: Ctrl+Shift with A, E, R, W, V, C, Y, N, D, H, L.
const int kLaterDefaults[11] = {3065, 3069, 3082, 3087, 3086, 3067, 3089, 3078, 3068, 3072, 3076};

HotkeyEntry Entry(int number) {
    uint16_t packed = DecodeHotkey(number);
    return {(uint8_t)(packed & 0xFF), (uint8_t)(packed >> 8)};
}

void KeyCharactersOfTable(AtcKeys* keys) {
    for (int i = 0; i < kAtcHotkeyCount; ++i) keys->keys[i] = (char)keys->table[i].key;
    keys->keys[kAtcHotkeyCount] = 0;
}

SRWLOCK g_importLock = SRWLOCK_INIT;
SRWLOCK g_publishedLock = SRWLOCK_INIT;

struct ImportLock {
    ImportLock() { AcquireSRWLockExclusive(&g_importLock); }
    ~ImportLock() { ReleaseSRWLockExclusive(&g_importLock); }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;
};

// The hotkeys, their key characters and the briefing's route from an ini that exists; true when
// some of the keys are switched off in the ATC program.
bool ReadIni(const std::string& ini, AtcKeys* keys) {
    int disabled = 0;
    // Each section read once: 42 single reads each parsed the file again.
    const ProfileSection hotkeys(ini.c_str(), "Hotkeys");
    const ProfileSection active(ini.c_str(), "HotkeysActive");
    for (int i = 1; i <= kAtcHotkeyCount; ++i) {
        char key[16];
        snprintf(key, sizeof key, "Hotkey%d", i);
        int fallback = i <= 10 ? 47 + i : kLaterDefaults[i - 11];
        keys->table[i - 1] = Entry(hotkeys.Int(key, fallback));
        if (active.Int(key, 0) == 0) disabled++;
    }
    keys->emergencyKey = (int)(signed char)keys->table[11].key;
    KeyCharactersOfTable(keys);

    char plan[MAX_PATH] = "";
    DWORD length = GetPrivateProfileStringA("Config", "LastADV", "", plan, sizeof plan, ini.c_str());
    if (length > 5 && length < sizeof plan - 1) {
        PathRemoveExtensionA(plan);
        if (strlen(plan) + 4 < sizeof plan) {
            strcat(plan, ".brf");
            if (PathFileExistsA(plan)) ReadBriefing(plan, keys->route);
        }
    }
    return disabled > 0;
}

}  // namespace

AtcKeys CurrentAtcKeys() {
    AtcKeys keys;
    AcquireSRWLockShared(&g_publishedLock);
    memcpy(keys.table, HotkeyTable, sizeof keys.table);
    keys.emergencyKey = EmergencyKey;
    memcpy(keys.keys, HotkeyKeys, sizeof keys.keys);
    memcpy(keys.route, RouteText, sizeof keys.route);
    ReleaseSRWLockShared(&g_publishedLock);
    keys.keys[kAtcHotkeyCount] = 0;
    keys.route[kRouteTextSize - 1] = 0;
    return keys;
}

void PublishAtcKeys(const AtcKeys& keys) {
    // An import built whole ends its key list and its route inside them; one that does not is
    // cut at their ends below, and said once.
    (void)DURAR_CHECK(strnlen(keys.keys, sizeof keys.keys), <, sizeof keys.keys);
    (void)DURAR_CHECK(strnlen(keys.route, sizeof keys.route), <, sizeof keys.route);
    AcquireSRWLockExclusive(&g_publishedLock);
    memcpy(HotkeyTable, keys.table, sizeof HotkeyTable);
    EmergencyKey = keys.emergencyKey;
    memcpy(HotkeyKeys, keys.keys, sizeof HotkeyKeys);
    HotkeyKeys[kAtcHotkeyCount] = 0;
    memcpy(RouteText, keys.route, sizeof RouteText);
    RouteText[kRouteTextSize - 1] = 0;
    ReleaseSRWLockExclusive(&g_publishedLock);
}

void CurrentRouteText(char out[kRouteTextSize]) {
    AcquireSRWLockShared(&g_publishedLock);
    memcpy(out, RouteText, kRouteTextSize);
    ReleaseSRWLockShared(&g_publishedLock);
    out[kRouteTextSize - 1] = 0;
}

void ClearHotkeyTable() {
    AcquireSRWLockExclusive(&g_publishedLock);
    for (HotkeyEntry& e : HotkeyTable) e = {0, 0};
    ReleaseSRWLockExclusive(&g_publishedLock);
}

void ResetAtcKeys() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    PublishAtcKeys(AtcKeys());
}

int ReadBriefing(const char* path, char route[kRouteTextSize]) {
    memset(route, 0, kRouteTextSize);
    // Binary: in text mode the runtime takes a Ctrl-Z byte for the end of the file, and the
    // read must reach the real end.
    FILE* file = fopen(path, "rb");
    if (!file) return 0;
    BriefingReader reader;
    std::string line;
    for (int c = fgetc(file);; c = fgetc(file)) {
        if (c == EOF || c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ReadBriefingLine(reader, line.c_str());
            line.clear();
            if (c == EOF) break;
        } else if (line.size() < 4096) {  // longer lines count only by their start anyway
            line += (char)c;
        }
    }
    fclose(file);
    memcpy(route, reader.route, kRouteTextSize);
    route[kRouteTextSize - 1] = 0;
    return 1;
}

int ReadAtcHotkeys(AtcKeys* keys, bool tellPilot) {
    // Finding the program may ask the pilot (a box, a file dialog): no lock is held meanwhile.
    char* folder = LocateAtcProgram();
    if (!folder) return 0;
    std::string base = folder;
    HeapFree(GetProcessHeap(), 0, folder);
    while (!base.empty() && base.back() == '\\') base.pop_back();
    const char* notice = nullptr;
    {
        // One read of the files at a time (the monitor's timer and the hints window may both
        // start one). The notice comes after it: a box the pilot leaves open holds up no other
        // import, such as the one of a link stopped and started again meanwhile.
        ImportLock lock;
        std::string ini = base + "\\QV3.ini";
        if (!PathFileExistsA(ini.c_str())) ini = base + "\\QV_Station.ini";
        if (!PathFileExistsA(ini.c_str())) {
            KeyCharactersOfTable(keys);
            notice = "Plugin could not read QVE hotkeys";
        } else if (ReadIni(ini, keys)) {
            notice = "Some QVE hotkeys are currenty disabled";
        }
    }
    if (notice && tellPilot) MessageBoxA(nullptr, notice, "DURarUravud", MB_ICONINFORMATION);
    return 1;
}
