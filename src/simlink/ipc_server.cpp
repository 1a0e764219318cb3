#include "simlink/ipc_server.h"

#include <windows.h>

#include <cstdio>

#include "base/plugin_state.h"
#include "config/options.h"
#include "simlink/ipc_client.h"

namespace {

constexpr int kSimulatorCode = 8;
constexpr uint32_t kServerVersion = 0x49290000;

// Reads a value of the server's identity; writes `wanted` when it differs. A failed read skips
// the step.
template <typename T>
void EnsureIdentity(uint32_t offset, T wanted) {
    T value = 0;
    if (!IpcRead(offset, sizeof value, &value) || value == wanted) return;
    // A failed write is logged by the exchange; the next link start or new window writes again.
    (void)IpcWrite(offset, sizeof wanted, &wanted);
}

// The path of a server found by its window, for the text-source search on other threads.
SRWLOCK g_pathLock = SRWLOCK_INIT;
char g_serverPath[MAX_PATH] = "";

// The file of the module that holds address, unless it is the host's executable.
std::string ModuleFileOf(const void* address) {
    HMODULE module = nullptr;
    if (!address || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                            GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        static_cast<LPCSTR>(address), &module) ||
        module == GetModuleHandleA(nullptr))
        return std::string();
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

}  // namespace

std::string IpcServerWindowModulePath() {
    const DWORD self = GetCurrentProcessId();
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "UIPCMAIN", nullptr));) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != self) continue;
        std::string path =
            ModuleFileOf(reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
        if (path.empty()) path = ModuleFileOf(reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_HINSTANCE)));
        if (!path.empty()) return path;
    }
    return std::string();
}

void RememberIpcServerPath(const std::string& path) {
    AcquireSRWLockExclusive(&g_pathLock);
    snprintf(g_serverPath, sizeof g_serverPath, "%s", path.size() < MAX_PATH ? path.c_str() : "");
    ReleaseSRWLockExclusive(&g_pathLock);
}

std::string RememberedIpcServerPath() {
    AcquireSRWLockShared(&g_pathLock);
    std::string path = g_serverPath;
    ReleaseSRWLockShared(&g_pathLock);
    return path;
}

std::string IpcServerPluginPath(int place) {
    if (place == 0)
        return SimulatorPath(Is64BitProcess ? "\\Resources\\plugins\\XPUIPC\\64\\win.xpl"
                                            : "\\Resources\\plugins\\XPUIPC\\32\\win.xpl");
    if (place == 1) return SimulatorPath("\\Resources\\plugins\\XPUIPC+\\win_x64\\XPUIPC+.xpl");
    return std::string();
}

void PrepareServerIdentity() {
    if ((IpcLink.simulatorCode & 0xFFFF) != kSimulatorCode) {
        const uint16_t code = kSimulatorCode;
        (void)IpcWrite(IpcOffset::SimulatorCode, 2, &code);  // as a failed write above
    }
    EnsureIdentity<uint32_t>(IpcOffset::ServerVersion, kServerVersion);
    EnsureIdentity<uint16_t>(IpcOffset::ClientVersion, kIdentityMarker);
    EnsureIdentity<uint16_t>(IpcOffset::Identity04D6, kIdentityMarker);
    EnsureIdentity<uint32_t>(IpcOffset::HotkeySlotCount, kHotkeySlotCount);
}

void ClearServerHotkeys() {
    // The 56 writes go as one batch: the same stores as a write per slot, in one exchange
    // instead of 56 (each a wait for the simulator's frame when sent from the timer thread).
    const uint32_t zero = 0;
    IpcSession session;
    uint32_t result = 0;
    int queued = 0;
    for (int n = 0; n < kHotkeySlotCount; ++n)
        if (IpcQueueWrite(HotkeySlotOffset(n), 4, &zero, &result)) ++queued;
    // Rides along while the ATC program is away: its next open looks for the marker.
    if (queued && IpcQueueIdentityMarker(&result)) ++queued;
    // A failed exchange is logged where it failed; the tick clears the slots again while the
    // program stays away, and the next start clears them too.
    if (queued) (void)IpcProcess(&result);
}
