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
#include "base/plugin_state.h"
#include "bridge/atc_text_match.h"
#include "config/options.h"
#include "simlink/ipc_server.h"

namespace {
std::atomic<int> g_scanRunning{0};
std::atomic<const char*> g_source{nullptr};
}  // namespace

const std::atomic<const char*>& AtcTextSource = g_source;
const std::atomic<int>& AtcTextScanRunning = g_scanRunning;

void UseAtcTextSource(const char* source) { g_source = source; }

void ForgetAtcTextSourceIn(const void* base, size_t size) {
    const char* start = static_cast<const char*>(base);
    const char* source = g_source.load();
    // Only that one: a source found meanwhile elsewhere stays.
    if (source && source >= start && source < start + size) g_source.compare_exchange_strong(source, nullptr);
}

void ForgetAtcTextSource() {
    g_scanRunning = 0;
    g_source = nullptr;
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

DWORD WINAPI AtcTextScan(LPVOID) {
    return GuardedWorker("AtcTextScan", (DWORD)0, [] {
        ScanRunning running;
        BackgroundWork work;
        if (!work.Admitted()) return (DWORD)0;
        ServerModule server;
        HMODULE module = server.get();
        if (!module) return (DWORD)0;
        // A stop meanwhile ends the scan before it begins.
        if (!work.Rest(2000)) return (DWORD)0;
        MODULEINFO info = {};
        if (GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info)) {
            const char* found = ScanForAtcText(info.lpBaseOfDll, info.SizeOfImage);
            if (found) g_source = found;
        }
        return (DWORD)0;
    });
}

void ResetAtcTextSource() {
    g_source = nullptr;
    g_scanRunning = 0;
}

namespace {

void StartAtcTextScan() {
    if (g_source.load() || g_scanRunning.exchange(1) == 1) return;
    // The plug-in's stop waits for it to end: it never runs on in an unloaded library.
    if (!StartBackgroundThread(AtcTextScan, THREAD_PRIORITY_HIGHEST)) g_scanRunning = 0;
}

}  // namespace

void LookForAtcTextSource() {
    if (AtcTextSource.load()) return;
    ServerModule keepLoaded;  // until the address is published
    g_source = FindAtcTextSource();
    if (AtcTextSource.load() || AtcTextScanRunning.load()) return;
    // Creating a thread took the simulator's thread up to a millisecond and more: from there the
    // deferred-work thread starts the scan (a start dropped by a stop leaves nothing behind).
    if (!OnSimulatorThread() || !DeferredWork.Queue(StartAtcTextScan)) StartAtcTextScan();
}
