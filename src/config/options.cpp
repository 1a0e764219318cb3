#include "config/options.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "base/checks.h"
#include "base/deferred_work.h"
#include "base/locks.h"
#include "config/colour_text.h"
#include "config/profile_section.h"

OptionRecord PluginOptions;

namespace {

constexpr const char* kSection = "OPTIONS";
const float kBuiltInTitle[3] = {0.3f, 0.9f, 0.9f};
const float kBuiltInOptions[3] = {1.0f, 0.0f, 0.0f};
const float kBuiltInHints[3] = {0.6f, 0.6f, 0.6f};

// The colour dialog's memory while the plug-in is loaded, not kept in the file.
COLORREF LastChosenColour = RGB(0, 0, 0);
COLORREF CustomColours[16] = {};

int ReadInt(const std::string& file, const char* section, const char* key, int fallback) {
    if (file.empty()) return fallback;
    return (int)GetPrivateProfileIntA(section, key, fallback, file.c_str());
}

// Reads a text key into buf (size bytes); gives the number of characters read.
DWORD ReadText(const std::string& file, const char* section, const char* key, const char* fallback, char* buf,
               DWORD size) {
    if (file.empty()) {
        snprintf(buf, size, "%s", fallback);
        return (DWORD)strlen(buf);
    }
    return GetPrivateProfileStringA(section, key, fallback, buf, size, file.c_str());
}

void ReadColour(const std::string& file, const char* key, const float builtin[3], float rgb[3]) {
    char text[16] = "";
    ReadText(file, "COLOURS", key, "", text, sizeof text);
    ParseColourText(text, builtin, rgb);
}

int Flag(int value) { return value != 0 ? 1 : 0; }

// Writes waiting for the deferred-work thread: a profile write took the simulator's thread 0.5
// to 2 ms (the whole file is read, parsed and written again). A second write of the same key
// takes the place of the first; the file ends up the same as with the writes made one by one.
struct PendingWrite {
    char section[16];
    char key[40];
    char value[MAX_PATH + 16];
};
constexpr int kMaxPendingWrites = 16;
SRWLOCK g_pendingLock = SRWLOCK_INIT;
PendingWrite g_pending[kMaxPendingWrites];
int g_pendingCount = 0;
// Held while writes reach the file, so that a flush on one thread never overtakes another's.
SRWLOCK g_fileLock = SRWLOCK_INIT;

template <size_t N>
bool CopyFits(char (&to)[N], const char* from) {
    const size_t n = strlen(from);
    if (n >= N) return false;
    memcpy(to, from, n + 1);
    return true;
}

// Into the table, unless it is full or a text does not fit a slot.
bool QueueWrite(const char* section, const char* key, const char* value) {
    PendingWrite entry;
    if (!CopyFits(entry.section, section) || !CopyFits(entry.key, key) || !CopyFits(entry.value, value)) return false;
    AcquireSRWLockExclusive(&g_pendingLock);
    bool queued = false;
    for (int i = 0; i < g_pendingCount && !queued; ++i) {
        PendingWrite& w = g_pending[i];
        if (_stricmp(w.section, entry.section) == 0 && _stricmp(w.key, entry.key) == 0) {
            memcpy(w.value, entry.value, sizeof w.value);
            queued = true;
        }
    }
    if (!queued && g_pendingCount < kMaxPendingWrites) {
        g_pending[g_pendingCount++] = entry;
        queued = true;
    }
    ReleaseSRWLockExclusive(&g_pendingLock);
    return queued;
}

// The file lock is held.
void FlushLocked() {
    PendingWrite batch[kMaxPendingWrites];
    AcquireSRWLockExclusive(&g_pendingLock);
    const int count = g_pendingCount;
    memcpy(batch, g_pending, sizeof(PendingWrite) * (size_t)count);
    g_pendingCount = 0;
    ReleaseSRWLockExclusive(&g_pendingLock);
    if (count == 0) return;
    std::string file = ConfigFilePath();
    for (int i = 0; i < count && !file.empty(); ++i)
        WritePrivateProfileStringA(batch[i].section, batch[i].key, batch[i].value, file.c_str());
}

void WriteOptionEntry(const char* section, const char* key, const char* value) {
    if (QueueWrite(section, key, value)) {
        if (!DeferredWork.Queue(FlushOptionWrites)) FlushOptionWrites();
        return;
    }
    // After what waits, so the file gets the writes in their order.
    AcquireSRWLockExclusive(&g_fileLock);
    FlushLocked();
    std::string file = ConfigFilePath();
    if (!file.empty()) WritePrivateProfileStringA(section, key, value, file.c_str());
    ReleaseSRWLockExclusive(&g_fileLock);
}

}  // namespace

void FlushOptionWrites() {
    AcquireSRWLockExclusive(&g_fileLock);
    FlushLocked();
    ReleaseSRWLockExclusive(&g_fileLock);
}

void ResetOptions() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // a tick reads them meanwhile
    FlushOptionWrites();  // the file is left as the writes made it
    PluginOptions = OptionRecord();
    LastChosenColour = RGB(0, 0, 0);
    memset(CustomColours, 0, sizeof CustomColours);
}

std::string SimulatorFolder() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    char* slash = strrchr(path, '\\');
    if (!slash) return "";
    *slash = 0;
    size_t len = strlen(path);
    while (len > 0 && path[len - 1] == '\\') path[--len] = 0;
    return path;
}

std::string SimulatorPath(const char* tail) {
    std::string folder = SimulatorFolder();
    if (folder.empty()) return "";
    std::string path = folder + tail;
    return path.size() < MAX_PATH ? path : std::string();
}

std::string ConfigFilePath() { return SimulatorPath("\\Resources\\plugins\\DURarUravud\\DURarUravud.cfg"); }

void LoadOptions() {
    FlushOptionWrites();
    std::string file = ConfigFilePath();
    OptionRecord& o = PluginOptions;

    char mode[16] = "";
    DWORD read = ReadText(file, "FLIGHT_PLANNING", "Mode", "ONLINE", mode, sizeof mode);
    o.FlightPlanningOnline = read > 0 && _stricmp(mode, "ONLINE") == 0 ? 1 : 0;
    if (o.FlightPlanningOnline)
        ReadText(file, "FLIGHT_PLANNING", "URL", "ONLINE", o.FlightPlanningTarget, sizeof o.FlightPlanningTarget);
    else
        ReadText(file, "FLIGHT_PLANNING", "UtilityPath", "", o.FlightPlanningTarget, sizeof o.FlightPlanningTarget);

    ReadColour(file, "Title", kBuiltInTitle, o.TitleColour);
    ReadColour(file, "Options", kBuiltInOptions, o.OptionsColour);
    ReadColour(file, "KeyboardHints", kBuiltInHints, o.HintsColour);

    // The section read once instead of once per key (the first flight loop runs this).
    const ProfileSection options(file.c_str(), kSection);
    auto readInt = [&](const char* key, int fallback) { return file.empty() ? fallback : options.Int(key, fallback); };
    o.WindowPosition = readInt("WindowPosition", 1);
    o.AutoStart = Flag(readInt("Autostart", 0));
    o.ShowFrequencies = Flag(readInt("ShowFrequencies", 1));
    o.DisableNativeAtc = Flag(readInt("DisableNativeAtc", 0));
    o.DisableReminder = readInt("DisableReminder", 0);
    o.BoostQVEProcessPriority = Flag(readInt("BoostQVEProcessPriority", 1));
    o.EnableKeyboardHints = Flag(readInt("EnableKeyboardHints", 0));
}

int ChooseColour(int which) {
    static const char* const kKeys[3] = {"Title", "Options", "KeyboardHints"};
    if (!DURAR_CHECK(which, >=, 0) || !DURAR_CHECK(which, <=, 2)) return 0;
    CHOOSECOLORA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr;
    dialog.rgbResult = LastChosenColour;
    dialog.lpCustColors = CustomColours;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (ChooseColorA(&dialog) != 1) return 0;

    LastChosenColour = dialog.rgbResult;
    int red = GetRValue(LastChosenColour), green = GetGValue(LastChosenColour), blue = GetBValue(LastChosenColour);
    char text[16];
    snprintf(text, sizeof text, "%d,%d,%d", red, green, blue);
    float* target = which == 0 ? PluginOptions.TitleColour
                    : which == 1 ? PluginOptions.OptionsColour
                                 : PluginOptions.HintsColour;
    target[0] = (float)(red / 255.0);
    target[1] = (float)(green / 255.0);
    target[2] = (float)(blue / 255.0);
    WriteOptionEntry("COLOURS", kKeys[which], text);
    return 1;
}

bool SiblingAutostartEnabled() {
    std::string file = SimulatorPath("\\Resources\\plugins\\RX9toXplane\\RX9toXplane.cfg");
    if (file.empty() || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    return ReadInt(file, kSection, "Autostart", 0) == 1;
}

int ReadOptionInt(const char* key, int fallback) {
    FlushOptionWrites();
    return ReadInt(ConfigFilePath(), kSection, key, fallback);
}

void WriteOptionText(const char* key, const char* value) { WriteOptionEntry(kSection, key, value); }

void WriteOptionInt(const char* key, int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    WriteOptionText(key, text);
}

void WriteOptionFlag(const char* key, int on) { WriteOptionText(key, on ? "1" : "0"); }
