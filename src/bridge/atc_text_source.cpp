// Where the IPC server keeps the ATC program's message text: the two fixed places in the server's
// module, else a scan of its image on a thread of its own.
#include "bridge/atc_text_source.h"

#include <psapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/module_release.h"
#include "base/plugin_state.h"
#include "bridge/atc_text_match.h"
#include "config/options.h"
#include "simlink/ipc_server.h"

namespace {
DWORD g_scanRestMs = 2000;
void (*g_scanFinishing)() = nullptr;
std::atomic<int> g_scanRunning{0};
std::atomic<const char*> g_source{nullptr};
std::atomic<long> g_scansMade{0};
// A scan's find is published only while nothing was forgotten since the scan was asked for:
// forgets are counted, and the publish compares under the same lock.
SRWLOCK g_publishLock = SRWLOCK_INIT;
unsigned g_forgets = 0;        // under g_publishLock
unsigned g_scanForgets = 0;    // under g_publishLock: g_forgets when the running scan was asked for

// When to search the image again (the tick's and the attach's; races between them cost at most
// one search more or less). A strip text drawn while no source holds it is new to find; without
// one the searches thin out, from every kFirstGapTicks ticks to every kMaxGapTicks.
constexpr int kFirstGapTicks = 2;
constexpr int kMaxGapTicks = 64;
std::atomic<uint32_t> g_unsourcedText{0};  // S: stamp of the last such strip text
std::atomic<uint32_t> g_searchedText{0};
std::atomic<int> g_gapTicks{kFirstGapTicks};
std::atomic<int> g_ticksLeft{kFirstGapTicks};
std::atomic<int> g_searches{0};
}  // namespace

const char* AtcTextSourceNow() { return g_source.load(std::memory_order_acquire); }
bool AtcTextScanIsRunning() { return g_scanRunning.load() == 1; }
void SetAtcTextScanRest(DWORD ms) { g_scanRestMs = ms; }
void SetAtcTextScanFinishing(void (*finishing)()) { g_scanFinishing = finishing; }
void ForgeAtcTextScanRunning(bool running) { g_scanRunning = running ? 1 : 0; }

void UseAtcTextSource(const char* source) { g_source = source; }

void ForgetAtcTextSourceIn(const void* base, size_t size) {
    const char* start = static_cast<const char*>(base);
    const char* source = g_source.load();
    // Only that one: a source found meanwhile elsewhere stays.
    if (source && source >= start && source < start + size) g_source.compare_exchange_strong(source, nullptr);
}

void ForgetAtcTextSource() {
    // A scan still running stays the only one: it ends by itself and publishes nothing.
    AcquireSRWLockExclusive(&g_publishLock);
    ++g_forgets;
    g_source = nullptr;
    ReleaseSRWLockExclusive(&g_publishLock);
}

long AtcTextScansMade() { return g_scansMade.load(); }

void NoteUnsourcedAtcText(const char* text) {
    uint32_t stamp = 2166136261u;
    for (size_t i = 0; i < kAtcTextWindow && text[i]; ++i) stamp = (stamp ^ (unsigned char)text[i]) * 16777619u;
    g_unsourcedText.store(stamp ? stamp : 1, std::memory_order_relaxed);
}

namespace {

// The IPC server's module, by the full path of its plug-in file, held loaded while we look into
// it: an address found in it is published before the module can go, and its unloading then
// forgets the address again (see WatchServerUnload).
class ServerModule {
public:
    ServerModule() {
        for (int place = 0; place < kIpcServerPlaces; ++place) {
            std::string path = IpcServerPluginPath(place);
            if (!path.empty() && GetModuleHandleExA(0, path.c_str(), &module_)) return;
        }
        // A server at a path of its own, as the link found it.
        std::string path = RememberedIpcServerPath();
        if (!path.empty() && GetModuleHandleExA(0, path.c_str(), &module_)) return;
        module_ = nullptr;
    }
    // The last reference may be this one: it goes on the simulator's thread, never under a draw.
    ~ServerModule() { ReleaseModuleOnSimulatorThread(module_); }
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

// AtcTextScanRunning from the start of a scan thread to its end, however it ends (the starter
// sets it already, so that no second scan starts meanwhile).
struct ScanRunning {
    ScanRunning() { g_scanRunning = 1; }
    ~ScanRunning() { g_scanRunning = 0; }
};

}  // namespace

namespace {

unsigned ForgetsWhenAsked() {
    AcquireSRWLockShared(&g_publishLock);
    const unsigned forgets = g_scanForgets;
    ReleaseSRWLockShared(&g_publishLock);
    return forgets;
}

// Publishes a scan's find unless the source was forgotten since the scan was asked for, or the
// plug-in has begun to stop: then the find belongs to no one.
void PublishScanFind(const char* found, unsigned forgets) {
    AcquireSRWLockExclusive(&g_publishLock);
    const bool current = forgets == g_forgets && PluginLocksAlive();
    if (current) g_source = found;
    ReleaseSRWLockExclusive(&g_publishLock);
}

}  // namespace

DWORD WINAPI AtcTextScan(LPVOID) {
    return GuardedWorker("AtcTextScan", (DWORD)0, [] {
        ScanRunning running;
        const unsigned forgets = ForgetsWhenAsked();
        BackgroundWork work;
        if (!work.Admitted()) return (DWORD)0;
        ServerModule server;
        HMODULE module = server.get();
        if (!module) return (DWORD)0;
        // A stop meanwhile ends the scan before it begins.
        if (!work.Rest(g_scanRestMs)) return (DWORD)0;
        MODULEINFO info = {};
        if (GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info)) {
            const char* found = ScanForAtcText(info.lpBaseOfDll, info.SizeOfImage);
            g_scansMade++;
            if (g_scanFinishing) g_scanFinishing();
            if (found) PublishScanFind(found, forgets);
        }
        return (DWORD)0;
    });
}

void ResetAtcTextSource() {
    AcquireSRWLockExclusive(&g_publishLock);
    g_source = nullptr;
    g_scanRunning = 0;
    g_forgets = g_scanForgets = 0;
    ReleaseSRWLockExclusive(&g_publishLock);
    g_unsourcedText = g_searchedText = 0;
    g_gapTicks = g_ticksLeft = kFirstGapTicks;
    g_searches = 0;
}

namespace {

void StartAtcTextScan() {
    if (g_source.load() || g_scanRunning.exchange(1) == 1) return;
    AcquireSRWLockExclusive(&g_publishLock);
    g_scanForgets = g_forgets;
    ReleaseSRWLockExclusive(&g_publishLock);
    // Below the simulator's threads: the scan is never in a hurry. The plug-in's stop waits for
    // it to end: it never runs on in an unloaded library.
    if (!StartBackgroundThread(AtcTextScan, THREAD_PRIORITY_LOWEST)) g_scanRunning = 0;
}

// The fixed places; true when the source is known afterwards.
bool SourceKnownOrAtAFixedPlace() {
    if (g_source.load()) return true;
    ServerModule keepLoaded;  // until the address is published
    const char* fixed = FindAtcTextSource();
    if (fixed) g_source = fixed;
    return fixed != nullptr;
}

void SearchTheImage() {
    if (g_scanRunning.load()) return;  // the running one searches for this one too
    // Creating a thread took the simulator's thread up to a millisecond and more: from there the
    // deferred-work thread starts the scan (a start dropped by a stop leaves nothing behind).
    if (!OnSimulatorThread() || !DeferredWork.Queue(StartAtcTextScan)) StartAtcTextScan();
}

}  // namespace

void RestartAtcTextSearch() {
    g_searchedText = g_unsourcedText.load();
    g_gapTicks = g_ticksLeft = kFirstGapTicks;
    g_searches = 1;
}

void LookForAtcTextSource() {
    if (SourceKnownOrAtAFixedPlace()) return;
    SearchTheImage();
}

void KeepLookingForAtcTextSource() {
    if (SourceKnownOrAtAFixedPlace()) return;
    const uint32_t drawn = g_unsourcedText.load();
    const bool newText = drawn != g_searchedText.load();
    if (newText) {
        g_searchedText = drawn;
        g_gapTicks = g_ticksLeft = kFirstGapTicks;
    } else {
        if (--g_ticksLeft > 0) return;
        const int gap = g_gapTicks.load() * 2 < kMaxGapTicks ? g_gapTicks.load() * 2 : kMaxGapTicks;
        g_gapTicks = g_ticksLeft = gap;
    }
    const int search = ++g_searches;
    LogLine("the ATC text is not where the IPC server draws it from yet: search %d of its image%s", search,
            newText ? ", for a new message" : "");
    SearchTheImage();
}
