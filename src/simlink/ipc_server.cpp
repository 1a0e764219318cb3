#include "simlink/ipc_server.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/plugin_state.h"
#include "config/options.h"
#include "simlink/fs98_window.h"
#include "simlink/ipc_client.h"

namespace {

constexpr int kSimulatorCode = 8;
constexpr uint32_t kServerVersion = 0x49290000;

// Reads a value of the server's identity; writes `wanted` when it differs. A failed read skips
// the step.
template <typename T>
void EnsureIdentity(uint32_t offset, T wanted) {
    T value = 0;
    if (!IpcRead(offset, sizeof value, &value).ok() || value == wanted) return;
    // A failed write is logged by the exchange; the next link start or new window writes again.
    (void)IpcWrite(offset, sizeof wanted, &wanted);
}

// The server plug-in's path, for the text-source search and the link's window on other threads.
SRWLOCK g_pathLock = SRWLOCK_INIT;
char g_serverPath[MAX_PATH] = "";

// The module that holds address, unless it is the host's executable.
HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    if (!address || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                            GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        static_cast<LPCSTR>(address), &module) ||
        module == GetModuleHandleA(nullptr))
        return nullptr;
    return module;
}

std::string ModuleFile(HMODULE module) {
    char path[MAX_PATH] = "";
    DWORD n = module ? GetModuleFileNameA(module, path, MAX_PATH) : 0;
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}

// A window's modules: that of its procedure, and that of its instance.
HMODULE ProcedureModule(HWND window) {
    return ModuleOf(reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
}
HMODULE InstanceModule(HWND window) {
    return ModuleOf(reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_HINSTANCE)));
}

// Only a window of our own process can be the server plug-in's: another program's window of the
// same class has addresses that mean nothing here.
bool InThisProcess(HWND window) {
    DWORD process = 0;
    return GetWindowThreadProcessId(window, &process) && process == GetCurrentProcessId();
}

}  // namespace

std::vector<std::string> IpcServerWindowModulePaths() {
    std::vector<std::string> paths;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "UIPCMAIN", nullptr));) {
        if (!InThisProcess(window)) continue;
        for (HMODULE module : {ProcedureModule(window), InstanceModule(window)}) {
            std::string path = ModuleFile(module);
            if (!path.empty()) paths.push_back(path);
        }
    }
    return paths;
}

HWND FindIpcServerWindow() {
    // The server plug-in's module, when the link's start has found it.
    const std::string path = RememberedIpcServerPath();
    HMODULE server = nullptr;
    if (!path.empty() && !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(), &server))
        return nullptr;  // gone: no window is its
    for (const char* cls : {"UIPCMAIN", "FS98MAIN"}) {
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, cls, nullptr));) {
            // Our own hidden "FS98MAIN" window serves nothing: taking it would open a link that
            // only ever reads zeros.
            if (window == OwnFs98MainWindow() || !InThisProcess(window)) continue;
            if (!server || ProcedureModule(window) == server || InstanceModule(window) == server) return window;
        }
    }
    return nullptr;
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
    if ((IpcLinkNow().simulatorCode & 0xFFFF) != kSimulatorCode) {
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
    int queued = 0;
    for (int n = 0; n < kHotkeySlotCount; ++n)
        if (IpcQueueWrite(HotkeySlotOffset(n), 4, &zero).ok()) ++queued;
    // Rides along while the ATC program is away: its next open looks for the marker.
    if (queued && IpcQueueIdentityMarker().ok()) ++queued;
    // A failed exchange is logged where it failed; the tick clears the slots again while the
    // program stays away, and the next start clears them too.
    if (queued) (void)IpcProcess();
}
