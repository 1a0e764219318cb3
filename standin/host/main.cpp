// X-Plane.exe, the stand-in simulator host.
//
//   X-Plane.exe --scenario FILE [--expect FILE] [--record] [--pictures DIR] [--instance DIR]
//
// --instance copies the simulator folder (this program, the API DLLs and Resources\) into a
// fresh DIR and runs the scenario there, so runs never share files. --expect compares every
// output line with FILE; --record writes FILE instead.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/sim_control.h"
#include "atc_control.h"
#include "host.h"
#include "timers.h"

namespace {

struct Options {
    std::string scenario, expect, pictures, instance;
    bool record = false;
};

bool ParseArgs(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        if (a == "--scenario" && value(&o->scenario)) continue;
        if (a == "--expect" && value(&o->expect)) continue;
        if (a == "--pictures" && value(&o->pictures)) continue;
        if (a == "--instance" && value(&o->instance)) continue;
        if (a == "--record") {
            o->record = true;
            continue;
        }
        return false;
    }
    return !o->scenario.empty();
}

void EventSink(const char* line) { Out(line); }

// What the simulator does when it quits: every plug-in disabled, stopped and unloaded.
void Quit() {
    // Timer callbacks still under way finish before any plug-in is stopped or unloaded.
    WaitForTimerRuns();
    for (auto it = Plugins().rbegin(); it != Plugins().rend(); ++it) {
        if (it->id < 0) continue;
        SIM_StopPlugin(it->id);
        FreeLibrary(it->module);
    }
}

std::vector<std::string> ReadLines(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = (bool)in;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

int Compare(const Options& o) {
    const std::vector<std::string>& actual = OutputLines();
    if (o.record) {
        std::ofstream out(o.expect, std::ios::binary);
        for (const std::string& line : actual) out << line << "\n";
        fprintf(HostErr(), "recorded %s\n", o.expect.c_str());
        return out ? 0 : 1;
    }
    bool ok = false;
    std::vector<std::string> expected = ReadLines(o.expect, &ok);
    if (!ok) {
        fprintf(HostErr(), "cannot read expected output %s\n", o.expect.c_str());
        return 1;
    }
    size_t n = std::max(expected.size(), actual.size());
    for (size_t i = 0; i < n; ++i) {
        const std::string* e = i < expected.size() ? &expected[i] : nullptr;
        const std::string* a = i < actual.size() ? &actual[i] : nullptr;
        if (e && a && *e == *a) continue;
        fprintf(HostErr(), "\nMISMATCH at output line %zu\n  expected: %s\n  actual:   %s\n", i + 1,
                e ? e->c_str() : "(end of output)", a ? a->c_str() : "(end of output)");
        return 1;
    }
    return 0;
}

// A plug-in's failed check is a fault whatever the output shows (its log is printed only where a
// scenario asks for it): a compared or recorded run fails with it. The first one is named.
bool FailedCheckInLog() {
    bool ok = false;
    for (const std::string& line : ReadLines(HostFolder() + "\\Log.txt", &ok)) {
        if (line.find("check failed at ") == std::string::npos) continue;
        fprintf(HostErr(), "\nA PLUG-IN'S CHECK FAILED: %s\n", line.c_str());
        return true;
    }
    return false;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n && n < MAX_PATH ? std::string(full) : path;
}

Options g_options;

// The simulator crashed on a plug-in's call: its log lines end the output, which is compared or
// recorded as it stands, and the process ends at once, as a crash does (no plug-in is stopped).
void Crashed(const char* text) {
    std::vector<std::string> lines;
    std::string all = text ? text : "";
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        lines.push_back("crash: " + all.substr(start, end - start));
        start = end + 1;
    }
    OutLast(lines);
    int status = g_options.expect.empty() ? 3 : Compare(g_options);
    fflush(HostErr());
    TerminateProcess(GetCurrentProcess(), status);
}

void PrintCount(const char* what, int count, const char* first) {
    Out(std::string(what) + " " + std::to_string(count) +
        (count && first && *first ? std::string(" first ") + first : std::string()));
}

}  // namespace

int main(int argc, char** argv) {
    Options& o = g_options;
    if (!ParseArgs(argc, argv, &o)) {
        fprintf(stderr,
                "usage: X-Plane.exe --scenario FILE [--expect FILE] [--record] [--pictures DIR] [--instance DIR]\n");
        return 2;
    }
    if (!o.instance.empty()) return RunInInstance(FullPath(o.instance), argc, argv);

    if (!SeparatePluginConsole(HostFolder() + "\\" PLUGIN_CONSOLE_FILE)) {
        fprintf(stderr, "cannot open %s for the plug-ins' console output\n", PLUGIN_CONSOLE_FILE);
        return 2;
    }
    SIM_Init(EventSink);
    SIM_SetCrashHook(Crashed);
    SIM_SetFrameHook(RunDueTimers);
    WatchServedMessages();
    WatchPluginSleepers();
    int status = RunScenario(FullPath(o.scenario), FullPath(o.pictures));
    SetQuiet(false);
    AtcShutdown();
    Quit();
    PrintCount("misuses", SIM_Misuses(), SIM_FirstMisuse());
    Out("offthread-calls " + std::to_string(SIM_OffThreadCalls()));
    PrintCount("vr-hidden-boxes", VrHiddenBoxes(), FirstVrHiddenBox().c_str());
    PrintCount("bypass-calls", SIM_BypassCalls(), SIM_FirstBypassCall());
    // Warnings, not failures: see "print callers" for where they came from.
    PrintCount("foreign-window-calls", SIM_ForeignWindowCalls(), nullptr);
    PrintCount("caller-not-running", SIM_CallerNotRunningCalls(), nullptr);
    if (status != 0) return status;
    status = o.expect.empty() ? 0 : Compare(o);
    if (FailedCheckInLog() && !o.expect.empty()) return 1;
    return status;
}
