#include "bridge/monitor.h"

#include <mmsystem.h>
#include <psapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "bridge/atc_text_match.h"
#include "bridge/atc_window.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "shell/guard.h"
#include "shell/locks.h"
#include "shell/log.h"
#include "shell/plugin.h"
#include "simlink/data_feed.h"
#include "simlink/ipc_client.h"
#include "ui/airport_data.h"
#include "ui/hints_window.h"

HANDLE MonitorTimer = nullptr;
std::atomic<int> LastCom1Frequency{0};
std::atomic<int> OnGround{0};
std::atomic<int> AtcAttached{0};
std::atomic<int> NotConnectedNoticeShown{0};
std::atomic<int> AtcTextScanRunning{0};
std::atomic<const char*> AtcTextSource{nullptr};
char LastAirportIdent[6] = "";

namespace {

DWORD LastRadioRefreshTime = 0;
constexpr DWORD kRadioRefreshMs = 240000;
constexpr DWORD kCom1SettleMs = 2000;

bool FrequencyTableHasEntry() { return FrequencyTable[0].Type != 0; }

// The hints panel gathers the keys again after every tick that finds the program away, so the
// import's notices (modal boxes) would come every four seconds: they are shown once while the
// program stays away and once while it stays connected. Cleared when the tick sees the program
// come or go; LastTickConnected is the tick's own (ticks never overlap).
std::atomic<int> ImportNoticeGiven{0};
int LastTickConnected = -1;

// The IPC server's module, by the full path of its plug-in file, held loaded while we look into
// it: an address found in it is published before the module can go, and its unloading then
// forgets the address again (see WatchServerUnload).
class ServerModule {
public:
    ServerModule() {
        std::string first = SimulatorPath(Is64BitProcess ? "\\Resources\\plugins\\XPUIPC\\64\\win.xpl"
                                                         : "\\Resources\\plugins\\XPUIPC\\32\\win.xpl");
        if (!first.empty() && GetModuleHandleExA(0, first.c_str(), &module_)) return;
        std::string second = SimulatorPath("\\Resources\\plugins\\XPUIPC+\\win_x64\\XPUIPC+.xpl");
        if (second.empty() || !GetModuleHandleExA(0, second.c_str(), &module_)) module_ = nullptr;
    }
    ~ServerModule() {
        if (module_) FreeLibrary(module_);
    }
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

// Copies the 128 bytes at address when they are committed, accessible memory; false otherwise.
bool ReadWindow(const char* address, char window[kAtcTextWindow + 1]) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & PAGE_NOACCESS) || (info.Protect & PAGE_GUARD)) return false;
    memset(window, 0, kAtcTextWindow + 1);
    // The 128 bytes may run into the next page: ReadProcessMemory cannot fault.
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), address, window, kAtcTextWindow, &read) && read == kAtcTextWindow;
}

// A server plug-in disabled and enabled again destroys its window and makes a new one: the open
// link then takes the new window and writes the identity again, as a link start would.
std::atomic<int> ServerWindowLost{0};

void HealIpcLink() {
    {
        IpcSession session;
        if (!IpcServerGone()) return;
        uint32_t result = 0;
        if (!IpcReattach(&result)) {
            if (!ServerWindowLost.exchange(1))
                LogLine("the IPC server's window is gone; hot keys wait until the server is back");
            return;
        }
    }
    ServerWindowLost = 0;
    LogLine("the IPC server has a new window; the link goes on with it");
    PrepareServerIdentity();
}

void SendNotConnectedNotice() {
    char text[128] = "QV3 not connected to XPlane";
    IpcWrite(IpcOffset::MessageText, sizeof text, text);
    const uint16_t seconds = 5;
    IpcWrite(IpcOffset::MessageTime, 2, &seconds);
}

}  // namespace

bool IsAtcTextAtStart(const char* text128) { return IsAtcTextAtStart(text128, kAtcTextWindow); }
bool IsAtcTextAnywhere(const char* text128) { return IsAtcTextAnywhere(text128, kAtcTextWindow); }

const char* FindAtcTextSource() {
    ServerModule server;
    HMODULE module = server.get();
    if (!module) return nullptr;
    const char* base = reinterpret_cast<const char*>(module);
    const char* first = base + (Is64BitProcess ? 0x4EBE0 : 0x4CD48);
    const char* second = base + (Is64BitProcess ? 0xC1F60 : 0x9D3C8);
    char window[kAtcTextWindow + 1];
    if (ReadWindow(first, window) && IsAtcTextAtStart(window, kAtcTextWindow)) return first;
    if (ReadWindow(second, window) && IsAtcTextAnywhere(window, kAtcTextWindow)) return second;
    return nullptr;
}

namespace {

bool Readable(const MEMORY_BASIC_INFORMATION& region) {
    return region.State == MEM_COMMIT && !(region.Protect & (PAGE_NOACCESS | PAGE_GUARD));
}

}  // namespace

const char* ScanForAtcText(const void* image, size_t size) {
    // Readable runs of the image, copied in chunks and each searched in one pass. A window must
    // lie wholly inside readable memory, as a 128-byte read of it would need; it may reach up to
    // 127 bytes past the image.
    constexpr size_t kChunk = 1 << 20;
    const uint8_t* start = static_cast<const uint8_t*>(image);
    const uint8_t* end = start + size;
    const uint8_t* limit = end + kAtcTextWindow - 1;
    std::vector<uint8_t> copy;
    for (const uint8_t* at = start; at < end;) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(at, &region, sizeof region) != sizeof region) break;
        const uint8_t* regionEnd = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
        if (!Readable(region)) {
            at = regionEnd;
            continue;
        }
        const uint8_t* runEnd = regionEnd;
        while (runEnd < limit) {
            MEMORY_BASIC_INFORMATION next;
            if (VirtualQuery(runEnd, &next, sizeof next) != sizeof next || !Readable(next)) break;
            runEnd = static_cast<const uint8_t*>(next.BaseAddress) + next.RegionSize;
        }
        const uint8_t* readEnd = runEnd < limit ? runEnd : limit;
        const uint8_t* startsEnd = runEnd < end ? runEnd : end;
        // Chunks overlap by a window less one byte, so windows across a chunk's end are seen.
        for (const uint8_t* chunk = at; chunk < startsEnd; chunk += kChunk) {
            size_t starts = (size_t)(startsEnd - chunk) < kChunk ? (size_t)(startsEnd - chunk) : kChunk;
            size_t length = (size_t)(readEnd - chunk) < starts + kAtcTextWindow - 1 ? (size_t)(readEnd - chunk)
                                                                                    : starts + kAtcTextWindow - 1;
            copy.resize(length);
            SIZE_T got = 0;
            // A page that went away since the query fails the read; what is left of the run is
            // given up rather than fault.
            if (!ReadProcessMemory(GetCurrentProcess(), chunk, copy.data(), length, &got) || got != length) break;
            long long found = FirstAtcTextWindow(copy.data(), length, starts);
            if (found >= 0) return reinterpret_cast<const char*>(chunk + found);
        }
        at = startsEnd;
    }
    return nullptr;
}

namespace {

// The region around an address, remembered while the walk stays inside it.
struct RegionCache {
    const char* base = nullptr;
    const char* end = nullptr;
    bool readable = false;
};

bool ReadableAt(const char* p, RegionCache& cache) {
    if (p < cache.base || p >= cache.end) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(p, &region, sizeof region) != sizeof region) return false;
        cache.base = static_cast<const char*>(region.BaseAddress);
        cache.end = cache.base + region.RegionSize;
        cache.readable = Readable(region);
    }
    return cache.readable;
}

}  // namespace

const char* ScanForAtcTextByteWise(const void* image, size_t size) {
    const char* start = static_cast<const char*>(image);
    char window[kAtcTextWindow];
    RegionCache first, last;
    for (size_t offset = 0; offset < size; ++offset) {
        const char* at = start + offset;
        // Windows refuses the read of an unreadable page; Wine reads it all the same. Both ends
        // of the window decide, as it spans at most two pages.
        if (!ReadableAt(at, first) || !ReadableAt(at + kAtcTextWindow - 1, last)) continue;
        memset(window, 0, sizeof window);
        SIZE_T got = 0;
        if (ReadProcessMemory(GetCurrentProcess(), at, window, sizeof window, &got) && got == sizeof window &&
            IsAtcTextAtStart(window, kAtcTextWindow))
            return at;
    }
    return nullptr;
}

namespace {

// AtcTextScanRunning from the start of a scan thread to its end, however it ends (the starter
// sets it already, so that no second scan starts meanwhile).
struct ScanRunning {
    ScanRunning() { AtcTextScanRunning = 1; }
    ~ScanRunning() { AtcTextScanRunning = 0; }
};

}  // namespace

DWORD WINAPI AtcTextScan(LPVOID) {
    return GuardedWorker("AtcTextScan", (DWORD)0, [] {
        ScanRunning running;
        BackgroundWork work;
        if (!work.Admitted()) return (DWORD)0;
        ServerModule server;
        HMODULE module = server.get();
        if (!module) return (DWORD)0;
        Sleep(2000);
        MODULEINFO info = {};
        if (GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info)) {
            const char* found = ScanForAtcText(info.lpBaseOfDll, info.SizeOfImage);
            if (found) AtcTextSource = found;
        }
        return (DWORD)0;
    });
}

void LookForAtcTextSource() {
    if (AtcTextSource.load()) return;
    ServerModule keepLoaded;  // until the address is published
    AtcTextSource = FindAtcTextSource();
    if (!AtcTextSource.load() && AtcTextScanRunning.exchange(1) == 0) {
        HANDLE thread = CreateThread(nullptr, 0, AtcTextScan, nullptr, CREATE_SUSPENDED, nullptr);
        if (thread) {
            SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
            ResumeThread(thread);
            CloseHandle(thread);
        } else {
            AtcTextScanRunning = 0;
        }
    }
}

void AttachToAtc() {
    // Once per connection, whichever of the timer and the hints window gets here first.
    if (AtcAttached.exchange(1) == 1) return;
    // Built aside and published whole: the simulator's thread reads it meanwhile.
    AtcKeys keys = CurrentAtcKeys();
    ReadAtcHotkeys(&keys, ImportNoticeGiven.exchange(1) == 0);
    PublishAtcKeys(keys);
    LookForAtcTextSource();
    if (FrequencyTableHasEntry()) BuildOptionList();
}

namespace {

void RunMonitorTick() {
    BackgroundWork work;
    if (!work.Admitted()) return;
    TriedLock lock(&MonitorTimerLock);
    if (!lock.Held()) return;  // the previous tick still runs
    bool connected = AtcProgramConnected();
    bool linked = LinkActive.load() == 1;
    if ((connected ? 1 : 0) != LastTickConnected) ImportNoticeGiven = 0;
    LastTickConnected = connected ? 1 : 0;
    if (linked) HealIpcLink();
    if (connected && linked) {
        // The hints window may have attached before the program connected, when it had no
        // text to be found by yet: search on while connected until the source is known.
        if (!AtcAttached.load()) AttachToAtc();
        else LookForAtcTextSource();
        NotConnectedNoticeShown = 0;
        UpdateSimulatorData();
        if (PluginOptions.EnableKeyboardHints) {
            int com1 = SampledCom1.load();
            if (com1 != LastCom1Frequency.load()) {
                Sleep(kCom1SettleMs);
                if (SampledCom1.load() == com1) {
                    LastCom1Frequency = com1;
                    RefreshAirportRadios(&LastCom1Frequency);
                }
                if (FrequencyTableHasEntry()) BuildOptionList();
            } else {
                int ground = SampledOnGround.load();
                if (ground != OnGround.load()) {
                    OnGround = ground;
                    if (FrequencyTableHasEntry()) BuildOptionList();
                }
            }
        }
    }
    if (connected && !linked) {
        CloseAtcProgram();
        AtcTextScanRunning = 0;
        AtcTextSource = nullptr;
        AtcAttached = 0;
    }
    if (!connected) {
        AtcAttached = 0;
        ClearOptionList();
        if (linked) {
            ClearServerHotkeys();
            ClearHotkeyTable();
            if (!NotConnectedNoticeShown.exchange(1)) SendNotConnectedNotice();
        }
        EmergencyMode = 0;
    }
}

}  // namespace

VOID CALLBACK MonitorTick(PVOID, BOOLEAN) {
    GuardedWorker("MonitorTick", 0, [] {
        RunMonitorTick();
        return 0;
    });
}

namespace {

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

bool CreateMonitorTimer() {
    if (MonitorTimer) return true;
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, MonitorTick, nullptr, 10000, 4000, WT_EXECUTEDEFAULT)) return false;
    MonitorTimer = timer;
    return true;
}

void DeleteMonitorTimer() {
    if (!MonitorTimer) return;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done) {
        DeleteTimerQueueTimer(nullptr, MonitorTimer, INVALID_HANDLE_VALUE);
        MonitorTimer = nullptr;
        return;
    }
    // Fails with ERROR_IO_PENDING while a tick runs; the timer is deleted all the same and the
    // event is set once that tick has returned.
    DeleteTimerQueueTimer(nullptr, MonitorTimer, done);
    MonitorTimer = nullptr;
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (MsgWaitForMultipleObjects(1, &done, FALSE, 2, QS_SENDMESSAGE) == WAIT_OBJECT_0) break;
    }
    CloseHandle(done);
}
