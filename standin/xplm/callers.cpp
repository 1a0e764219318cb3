// Who made each API call, and whether the simulator allows it there: off its main thread, on it
// with no plug-in callback running (a window or timer procedure the message pump runs, a modal
// loop), drawing outside a draw callback, from a module other than the running plug-in's, or on
// a window another plug-in made.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "world.h"

namespace sim {

namespace {

// Calls from 12.4 on end the flight when they come from another thread.
constexpr int kThreadCheckVersion = 12400;

struct Module {
    uintptr_t base = 0, end = 0;
    int plugin = 0;            // 0: not a plug-in
    bool simulator = false;    // the host or an API library of the simulator folder
    std::string label;         // plug-in name, else the file name
    std::string signature;
};

std::mutex g_modulesMutex;
std::vector<Module> g_modules;  // plug-ins and simulator modules seen so far

std::atomic<int> g_offThreadCalls{0};
std::mutex g_offThreadMutex;
char g_firstOffThread[128] = "";
std::atomic<bool> g_crashing{false};
SimCrashHook g_crashHook = nullptr;

// Main-thread findings, by kind, function, calling module and the other party.
enum Kind { kBypass, kNotRunning, kForeignWindow, kKinds };
const char* const kKindNames[kKinds] = {"bypass", "caller-not-running", "foreign-window"};
struct Finding {
    std::string caller, other;
    int count = 0;
};
std::map<std::tuple<int, std::string, uintptr_t, int>, Finding> g_findings;
int g_counts[kKinds] = {};
// Different pairs of calling module and other party: where threads race, how often a call is
// made (and even which functions a hook passes on) varies from run to run; who calls whom does not.
std::set<std::tuple<int, uintptr_t, int>> g_pairs;
std::string g_firstBypass;
// The plug-in a call on the main thread is counted for: the calling module's plug-in, or the
// running one when the simulator's own code (the widget library) made the call.
int g_lastCaller = 0;

uintptr_t ImageEnd(HMODULE module) {
    auto base = reinterpret_cast<const unsigned char*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return reinterpret_cast<uintptr_t>(base) + nt->OptionalHeader.SizeOfImage;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    return n && n < MAX_PATH ? std::string(path) : std::string();
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SameFolder(const std::string& a, const std::string& b) {
    return a.size() == b.size() && _stricmp(a.c_str(), b.c_str()) == 0;
}

// Where this library lies: the simulator's API libraries lie together.
std::string OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    return FolderOf(ModulePath(self));
}

// The module holding address; false when no module does (generated code, a freed library).
bool Resolve(const void* address, Module* out) {
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    {
        std::lock_guard<std::mutex> lock(g_modulesMutex);
        for (const Module& m : g_modules)
            if (at >= m.base && at < m.end) {
                *out = m;
                return true;
            }
    }
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module))
        return false;
    Module m;
    m.base = reinterpret_cast<uintptr_t>(module);
    m.end = ImageEnd(module);
    std::string path = ModulePath(module);
    m.label = path.substr(path.find_last_of("\\/") + 1);
    m.simulator = module == GetModuleHandleA(nullptr) || SameFolder(FolderOf(path), W().simFolder) ||
                  SameFolder(FolderOf(path), OwnFolder());
    // Only the simulator's own modules are kept: any other library may go and another come
    // to the same place.
    if (m.simulator) {
        std::lock_guard<std::mutex> lock(g_modulesMutex);
        g_modules.push_back(m);
    }
    *out = m;
    return true;
}

void Note(Kind kind, const char* function, const Module& caller, bool known, int other) {
    ++g_counts[kind];
    auto key = std::make_tuple(int(kind), std::string(function), known ? caller.base : 0, other);
    Finding& f = g_findings[key];
    g_pairs.insert(std::make_tuple(int(kind), known ? caller.base : 0, other));
    if (f.count++ == 0) {
        f.caller = known ? caller.label : "an unknown module";
        f.other = other ? PluginName(other) : "";
    }
    if (kind == kBypass && g_firstBypass.empty()) g_firstBypass = std::string(function) + " by " + f.caller;
}

[[noreturn]] void Crash(const char* function, const void* caller) {
    // Only the first violator reports; any other waits for the end.
    if (g_crashing.exchange(true))
        for (;;) Sleep(INFINITE);
    Module m;
    std::string who = "an unknown plugin (no module)";
    if (Resolve(caller, &m)) who = m.plugin ? m.label + " (" + m.signature + ")" : m.label + " (not a plugin)";
    std::string text = Format("Threading violation calling %s\nViolation by %s\n", function, who.c_str());
    AppendLog(text.c_str());
    if (g_crashHook) g_crashHook(text.c_str());
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

}  // namespace

void NotePluginModules() {
    std::vector<Module> plugins;
    for (const auto& p : W().plugins) {
        // Test programs load themselves as plug-ins; the host is the simulator all the same.
        if (!p->module || p->module == GetModuleHandleA(nullptr)) continue;
        Module m;
        m.base = reinterpret_cast<uintptr_t>(p->module);
        m.end = ImageEnd(p->module);
        m.plugin = p->id;
        m.label = !p->name.empty() ? p->name : p->path.substr(p->path.find_last_of("\\/") + 1);
        m.signature = p->signature;
        plugins.push_back(m);
    }
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    std::vector<Module> keep;
    for (const Module& m : g_modules)
        if (m.simulator) keep.push_back(m);
    keep.insert(keep.end(), plugins.begin(), plugins.end());
    g_modules.swap(keep);
}

void ResetCallerChecks() {
    g_offThreadCalls = 0;
    g_firstOffThread[0] = 0;
    g_findings.clear();
    for (int& c : g_counts) c = 0;
    g_pairs.clear();
    g_firstBypass.clear();
    g_lastCaller = 0;
    g_crashing = false;
    std::lock_guard<std::mutex> lock(g_modulesMutex);
    g_modules.clear();
}

void ApiCallFrom(const char* name, const void* caller) {
    if (GetCurrentThreadId() != W().mainThread) {
        if (W().xplaneVersion >= kThreadCheckVersion) Crash(name, caller);
        if (g_offThreadCalls.fetch_add(1) == 0) {
            std::lock_guard<std::mutex> lock(g_offThreadMutex);
            snprintf(g_firstOffThread, sizeof g_firstOffThread, "%s", name);
        }
        return;
    }
    const int running = CurrentPlugin();
    // The usual call, a plug-in's own code in its own callback or the simulator's code, is judged
    // without copying the module's names.
    {
        const uintptr_t at = reinterpret_cast<uintptr_t>(caller);
        std::lock_guard<std::mutex> lock(g_modulesMutex);
        for (const Module& known : g_modules)
            if (at >= known.base && at < known.end) {
                if (known.simulator || (known.plugin == running && !W().pluginStack.empty())) {
                    g_lastCaller = known.simulator ? running : known.plugin;
                    return;
                }
                break;
            }
    }
    Module m;
    bool known = Resolve(caller, &m);
    if (known && m.simulator) {
        g_lastCaller = running;
        return;
    }
    g_lastCaller = known ? m.plugin : 0;
    if (W().pluginStack.empty())
        Note(kBypass, name, m, known, 0);
    else if (!known || m.plugin != running)
        Note(kNotRunning, name, m, known, running);
}

bool DrawingCall(const char* name) {
    if (GetCurrentThreadId() != W().mainThread || W().drawDepth > 0) return true;
    std::string who = g_lastCaller ? PluginName(g_lastCaller) : std::string("An unknown plugin");
    Misuse(Format("%s called the SDK function %s from outside of a drawing callback. This is illegal!", who.c_str(),
                  name));
    return false;
}

void WindowCall(const char* name, const Window* win) {
    if (!win || GetCurrentThreadId() != W().mainThread || !g_lastCaller || win->owner == g_lastCaller) return;
    Module m;
    for (const auto& p : W().plugins)
        if (p->id == g_lastCaller && p->module) Resolve(p->module, &m);
    Note(kForeignWindow, name, m, m.base != 0, win->owner);
}

std::string DescribeCallers() {
    // By name, not by load address: the same order every run.
    std::vector<std::string> lines;
    for (const auto& entry : g_findings) {
        const Finding& f = entry.second;
        int kind = std::get<0>(entry.first);
        const std::string& function = std::get<1>(entry.first);
        if (kind == kBypass)
            lines.push_back(Format("bypass %s by %s: %d\n", function.c_str(), f.caller.c_str(), f.count));
        else if (kind == kNotRunning)
            lines.push_back(Format("caller-not-running %s by %s while %s runs: %d\n", function.c_str(),
                                   f.caller.c_str(), f.other.c_str(), f.count));
        else
            lines.push_back(Format("foreign-window %s by %s on a window of %s: %d\n", function.c_str(),
                                   f.caller.c_str(), f.other.c_str(), f.count));
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API int SIM_OffThreadCalls(void) { return g_offThreadCalls.load(); }

SIM_API const char* SIM_FirstOffThreadCall(void) { return g_firstOffThread; }

SIM_API int SIM_BypassCalls(void) { return g_counts[kBypass]; }

SIM_API const char* SIM_FirstBypassCall(void) { return g_firstBypass.c_str(); }

static int Pairs(Kind kind) {
    int n = 0;
    for (const auto& pair : g_pairs) n += std::get<0>(pair) == kind;
    return n;
}

SIM_API int SIM_ForeignWindowCalls(void) { return Pairs(kForeignWindow); }

SIM_API int SIM_CallerNotRunningCalls(void) { return Pairs(kNotRunning); }

SIM_API void SIM_SetCrashHook(SimCrashHook hook) { g_crashHook = hook; }

SIM_API void SIM_CountApiCall(const char* name) { ApiCallFrom(name ? name : "?", __builtin_return_address(0)); }

SIM_API void SIM_CountApiCallFrom(const char* name, const void* caller) { ApiCallFrom(name ? name : "?", caller); }

SIM_API int SIM_DrawingCall(const char* name) { return DrawingCall(name ? name : "?") ? 1 : 0; }

SIM_API void SIM_EnterPlugin(int id) { W().pluginStack.push_back(id); }

SIM_API void SIM_LeavePlugin(void) {
    if (!W().pluginStack.empty()) W().pluginStack.pop_back();
}

}  // extern "C"
