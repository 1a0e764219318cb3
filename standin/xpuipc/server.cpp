// The "UIPCMAIN" window of the simulator's main thread, which serves the registered message
// "FsasmLib:IPC", and the faults that test equipment can make it show.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "xpuipc.h"

namespace xpuipc {
namespace {

enum class Mode { Normal, NoReply, SlowReply, GarbageId };

const char kClass[] = "UIPCMAIN";
HWND g_window = nullptr;
bool g_started = false;
bool g_enabled = false;
// Real servers make their window when enabled and destroy it when disabled; the older stand-in
// kept it from start to stop, serving while disabled.
bool g_windowForLifetime = false;  // start to stop instead of enable to disable
bool g_windowGone = false;  // destroyed on purpose by the fault
UINT g_message = 0;
Mode g_mode = Mode::Normal;
DWORD g_holdMs = 2100;  // longer than the client's 2000 ms time-out
DWORD g_slowMs = 0;
int g_garbageRecord = 1;
uint8_t g_garbageByte = 0x7F;
std::vector<std::pair<HANDLE, std::string>> g_taken;  // mappings held in advance, with a label
unsigned g_served = 0, g_refused = 0, g_unanswered = 0;
unsigned long long g_records = 0, g_weatherBatches = 0, g_weatherWrites = 0;
// Requests whose atom or mapping is gone: the client sent after closing its link (or with a
// handle it never had).
unsigned long long g_fromClosed = 0;
std::string g_lastRefusal = "none";

HINSTANCE Module() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Module), &module);
    return module;
}

struct Mapping {
    HANDLE handle = nullptr;
    uint8_t* view = nullptr;
    ~Mapping() {
        if (view) UnmapViewOfFile(view);
        if (handle) CloseHandle(handle);
    }
};

LRESULT Refuse(const std::string& why) {
    ++g_refused;
    g_lastRefusal = why;
    return 0;
}

// One batch: the atom in wParam names the client's mapping.
LRESULT Serve(WPARAM wParam) {
    char text[400];
    if (wParam == 0 || wParam > 0xFFFF) {
        snprintf(text, sizeof text, "wParam 0x%llX is not an atom", (unsigned long long)wParam);
        return Refuse(text);
    }
    char name[256] = "";
    if (!GlobalGetAtomNameA(ATOM(wParam), name, sizeof name)) {
        ++g_fromClosed;
        snprintf(text, sizeof text, "atom 0x%X names nothing", unsigned(wParam));
        return Refuse(text);
    }
    Mapping m;
    m.handle = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!m.handle) {
        ++g_fromClosed;
        return Refuse("no mapping named \"" + std::string(name) + "\"");
    }
    m.view = static_cast<uint8_t*>(MapViewOfFile(m.handle, FILE_MAP_WRITE, 0, 0, 0));
    if (!m.view) return Refuse("mapping \"" + std::string(name) + "\" cannot be mapped");
    // A client's mapping may be smaller than the protocol's area: walk only what is mapped.
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(m.view, &info, sizeof info)) return Refuse("mapped view cannot be queried");
    size_t size = info.RegionSize < kAreaMax ? info.RegionSize : kAreaMax;
    unsigned pid = 0, counter = 0;
    if (sscanf(name, "FsasmLib:IPC:%x:%x", &pid, &counter) != 2) pid = 0;
    BatchResult result = ServeBatch(m.view, size, pid);
    if (!result.ok) return Refuse(result.reason);
    ++g_served;
    g_records += unsigned(result.records);
    if (result.weatherWrites) {
        ++g_weatherBatches;
        g_weatherWrites += unsigned(result.weatherWrites);
    }
    uint32_t at;
    if (g_mode == Mode::GarbageId && RecordStart(m.view, size, g_garbageRecord, &at)) m.view[at] = g_garbageByte;
    return 1;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_message && g_message) {
        try {
            if (g_mode == Mode::NoReply) {
                ++g_unanswered;
                // A sender on another thread gets its time-out: we answer only after it gave up.
                // A sender on this thread calls us directly and cannot time out; it gets nothing.
                if (InSendMessage()) Sleep(g_holdMs);
                return 0;
            }
            if (g_mode == Mode::SlowReply) Sleep(g_slowMs);
            return Serve(wParam);
        } catch (...) {
            return Refuse("out of memory");
        }
    }
    if (message == WM_NCDESTROY && window == g_window) g_window = nullptr;
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CreateServerWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = Module();
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // Top level (not message-only), so FindWindowExA with no parent finds it.
    g_window = CreateWindowExA(0, kClass, "XPUIPC", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                               nullptr);
    return g_window != nullptr;
}

bool WindowWanted() { return g_started && !g_windowGone && (g_windowForLifetime || g_enabled); }

// Makes or destroys the window so that it exists exactly when the lifetime wants it.
bool ApplyLifetime() {
    if (WindowWanted()) return g_window || (g_message && CreateServerWindow());
    if (g_window) DestroyWindow(g_window);
    g_window = nullptr;
    return true;
}

void ReleaseTaken() {
    for (auto& t : g_taken) CloseHandle(t.first);
    g_taken.clear();
}

}  // namespace

uintptr_t ModuleBase() { return reinterpret_cast<uintptr_t>(Module()); }

bool ServerStart() {
    g_message = RegisterWindowMessageA("FsasmLib:IPC");
    g_started = true;
    g_windowGone = false;
    g_served = g_refused = g_unanswered = 0;
    g_records = g_weatherBatches = g_weatherWrites = g_fromClosed = 0;
    g_lastRefusal = "none";
    return g_message && ApplyLifetime();
}

void ServerStop() {
    ReleaseTaken();
    g_mode = Mode::Normal;
    g_started = false;
    g_enabled = false;
    if (g_window) DestroyWindow(g_window);
    g_window = nullptr;
    UnregisterClassA(kClass, Module());
}

bool ServerEnabled() { return g_enabled; }

bool ServerEnable(bool on) {
    g_enabled = on;
    return ApplyLifetime();
}

bool SetWindowLifetime(const std::string& which, std::string* error) {
    if (which == "start-stop") {
        g_windowForLifetime = true;
    } else if (which == "enable-disable") {
        g_windowForLifetime = false;
    } else {
        *error = "window-lifetime: enable-disable or start-stop";
        return false;
    }
    if (!ApplyLifetime()) {
        *error = "window-lifetime: cannot create the UIPCMAIN window";
        return false;
    }
    return true;
}

std::string DescribeWindowLifetime() {
    return std::string("window lifetime ") + (g_windowForLifetime ? "start-stop" : "enable-disable") + ", window " +
           (g_window && IsWindow(g_window) ? "alive" : "gone") + "\n";
}


void ClearFaults() {
    g_mode = Mode::Normal;
    ReleaseTaken();
    g_windowGone = false;
    ApplyLifetime();
}

bool SetFault(const std::string& args, std::string* error) {
    std::vector<std::string> w = Words(args);
    unsigned long long a = 0, b = 0;
    const char* usage =
        "usage: fault none | no-reply [MS] | slow-reply MS | window-gone | garbage-id [RECORD [BYTE]] | "
        "take-next-mapping COUNTER [PID]";
    if (w.empty()) {
        *error = usage;
        return false;
    }
    const std::string& what = w[0];
    if (what == "none" && w.size() == 1) {
        ClearFaults();
    } else if (what == "no-reply" && w.size() <= 2) {
        if (w.size() == 2 && !ParseUnsigned(w[1], 10000, &a)) {
            *error = "no-reply: MS must be 0 to 10000";
            return false;
        }
        g_holdMs = w.size() == 2 ? DWORD(a) : 2100;
        g_mode = Mode::NoReply;
    } else if (what == "slow-reply" && w.size() == 2) {
        if (!ParseUnsigned(w[1], 60000, &a)) {
            *error = "slow-reply: MS must be 0 to 60000";
            return false;
        }
        g_slowMs = DWORD(a);
        g_mode = Mode::SlowReply;
    } else if (what == "window-gone" && w.size() == 1) {
        if (!g_window) {
            *error = "window-gone: the server window is already gone";
            return false;
        }
        if (!DestroyWindow(g_window)) {
            *error = "window-gone: DestroyWindow failed (not called on the simulator's thread?)";
            return false;
        }
        g_window = nullptr;
        g_windowGone = true;
    } else if (what == "garbage-id" && w.size() <= 3) {
        if ((w.size() >= 2 && !ParseUnsigned(w[1], 4096, &a)) ||
            (w.size() == 3 && !ParseUnsigned(w[2], 255, &b))) {
            *error = "garbage-id: RECORD must be 0 to 4096, BYTE 0 to 255";
            return false;
        }
        g_garbageRecord = w.size() >= 2 ? int(a) : 1;
        g_garbageByte = w.size() == 3 ? uint8_t(b) : 0x7F;
        g_mode = Mode::GarbageId;
    } else if (what == "take-next-mapping" && (w.size() == 2 || w.size() == 3)) {
        b = GetCurrentProcessId();
        if (!ParseUnsigned(w[1], 0xFFFFFFFF, &a) ||
            (w.size() == 3 && !ParseUnsigned(w[2], 0xFFFFFFFF, &b))) {
            *error = "take-next-mapping: COUNTER and PID are 32-bit numbers";
            return false;
        }
        char name[64];
        snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", unsigned(b), unsigned(a));
        HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kAreaMax, name);
        if (!h) {
            *error = std::string("take-next-mapping: cannot create ") + name;
            return false;
        }
        // The label leaves out our own process id, so scenario output stays the same run to run.
        std::string label = "counter " + Hex(uint32_t(a));
        if (w.size() == 3) label += " of process " + Hex(uint32_t(b));
        g_taken.push_back({h, label});
    } else {
        *error = usage;
        return false;
    }
    return true;
}

std::string ServerCounters(const std::string& which) {
    char text[300];
    if (which == "closed") {
        snprintf(text, sizeof text, "requests from closed links %llu\n", g_fromClosed);
    } else {
        snprintf(text, sizeof text,
                 "batches served %u\nrecords served %llu\nweather batches %llu\nweather writes %llu\n"
                 "requests from closed links %llu\n",
                 g_served, g_records, g_weatherBatches, g_weatherWrites, g_fromClosed);
    }
    return text;
}

std::string ServerStatus() {
    char line[200];
    std::string out = g_window && IsWindow(g_window) ? "server window alive\n" : "server window gone\n";
    snprintf(line, sizeof line, "batches served %u, refused %u, unanswered %u\n", g_served, g_refused,
             g_unanswered);
    out += line;
    out += "last refusal: " + g_lastRefusal + "\n";
    switch (g_mode) {
    case Mode::Normal: snprintf(line, sizeof line, "fault none"); break;
    case Mode::NoReply: snprintf(line, sizeof line, "fault no-reply %lu ms", (unsigned long)g_holdMs); break;
    case Mode::SlowReply: snprintf(line, sizeof line, "fault slow-reply %lu ms", (unsigned long)g_slowMs); break;
    case Mode::GarbageId:
        snprintf(line, sizeof line, "fault garbage-id record %d byte 0x%02X", g_garbageRecord, g_garbageByte);
        break;
    }
    out += line;
    if (g_windowGone) out += ", window-gone";
    for (auto& t : g_taken) out += ", taken " + t.second;
    out += "\n";
    return out;
}

}  // namespace xpuipc
