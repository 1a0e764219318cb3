// Prints METRIC lines of the ATC monitor:
//  - scan_reference_ms, scan_ms: finding the ATC text in the stand-in server's image (over 1 MiB,
//    the text only where the scan finds it) with one 128-byte read per address, and with the
//    plug-in's region search; both must give the same address;
//  - from a run of the stand-in simulator whose timer callbacks run beside its frames (50 frames
//    a second): IPC exchanges and frames per monitor tick with the ATC program connected and
//    disconnected, exchanges per weather feed, and StopLink's duration while a tick waits inside
//    an exchange with the server's window on the simulator's thread (and without a tick).
// Usage: monitor_bench [scan|link]   (both by default)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bridge/monitor.h"
#include "../common/run_host.h"
#include "common/sim_control.h"
#include "reference.h"

namespace {

constexpr uint32_t kKnownRvas[] = {0x4EBE0, 0xC1F60, 0x4CD48, 0x9D3C8};
constexpr double kFramePaceMs = 20;  // frame-pace of link_bench.scn

using Control = int (*)(const char*, char*, int);

std::string Run(Control control, const char* command) {
    char reply[4096] = "";
    if (!control(command, reply, sizeof reply)) printf("monitor_bench: \"%s\" failed: %s\n", command, reply);
    return reply;
}

double Ms(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool Scan() {
    SIM_Init(nullptr);
    std::string path = std::string(SIM_DIR) + "/Resources/plugins/XPUIPC/64/win.xpl";
    std::replace(path.begin(), path.end(), '/', '\\');
    HMODULE server = LoadLibraryA(path.c_str());
    if (!server) {
        printf("monitor_bench: cannot load %s\n", path.c_str());
        return false;
    }
    int id = SIM_StartPlugin(path.c_str(), server);
    auto control = reinterpret_cast<Control>(GetProcAddress(server, "StandInControl"));
    if (id < 0 || !control || !SIM_EnablePlugin(id)) {
        printf("monitor_bench: the stand-in server did not start\n");
        return false;
    }
    // The text where only a scan finds it, shown as the server shows a message.
    printf("%s", Run(control, "text-buffer own").c_str());
    Run(control, "write 0x3380 text Loaded FP EDDF-EDDM, cleared as filed");
    Run(control, "write 0x32FA u16 30");
    SIM_RunFrames(2);
    printf("%s", Run(control, "message").c_str());

    MODULEINFO info = {};
    GetModuleInformation(GetCurrentProcess(), server, &info, sizeof info);
    const char* base = static_cast<const char*>(info.lpBaseOfDll);
    printf("server image %lu bytes (%.2f MiB)\n", (unsigned long)info.SizeOfImage, info.SizeOfImage / 1048576.0);
    if (info.SizeOfImage < (1u << 20)) printf("monitor_bench: the image is smaller than 1 MiB\n");

    auto start = std::chrono::steady_clock::now();
    const char* reference = ScanForAtcTextByteWise(base, info.SizeOfImage);
    double referenceMs = Ms(start);
    std::vector<double> times;
    const char* found = nullptr;
    for (int i = 0; i < 21; ++i) {
        start = std::chrono::steady_clock::now();
        found = ScanForAtcText(base, info.SizeOfImage);
        times.push_back(Ms(start));
    }
    std::sort(times.begin(), times.end());
    double scanMs = times[times.size() / 2];
    bool known = false;
    for (uint32_t rva : kKnownRvas) known |= reference == base + rva;
    printf("byte-wise reference found RVA 0x%llX, region search RVA 0x%llX: %s%s\n",
           reference ? (unsigned long long)(reference - base) : 0ull, found ? (unsigned long long)(found - base) : 0ull,
           reference && found == reference ? "same address" : "DIFFERENT (or none)",
           known ? ", but at a known offset" : ", not at a known offset");
    printf("METRIC scan_reference_ms %.3f ms\n", referenceMs);
    printf("METRIC scan_ms %.3f ms\n", scanMs);
    printf("METRIC scan_speedup %.1f ratio\n", scanMs > 0 ? referenceMs / scanMs : 0);
    printf("scan goal (at least 100 times faster, same address): %s\n",
           reference && found == reference && referenceMs >= 100 * scanMs ? "met" : "NOT met");
    SIM_StopPlugin(id);
    return reference && found == reference;
}

// ---- the link figures, from the stand-in simulator's output

std::vector<std::string> RunScenario() {
    std::string text = RunHostScenario(SIM_DIR, LINK_INSTANCE, LINK_SCENARIO);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string l = text.substr(at, end - at);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        at = end + 1;
    }
    return lines;
}

// The counters the stand-in server printed, and the host's timer-run line, per section.
struct Section {
    std::vector<std::map<std::string, double>> counters;  // each "control XPUIPC counters"
    double runs = 0, runMsSum = 0;
    double timedMs = -1;
    bool sentMessageWaited = false;
};

double After(const std::string& line, const std::string& key) {
    size_t at = line.find(key);
    return at == std::string::npos ? -1 : atof(line.c_str() + at + key.size());
}

std::map<std::string, Section> Parse(const std::vector<std::string>& lines) {
    std::map<std::string, Section> sections;
    Section* current = nullptr;
    const char* names[] = {"batches served ", "records served ", "weather batches ", "weather writes ",
                           "requests from closed links "};
    for (const std::string& l : lines) {
        if (l.rfind("BENCH ", 0) == 0) {
            current = &sections[l.substr(6)];
            continue;
        }
        if (!current) continue;
        for (const char* n : names)
            if (l.rfind(n, 0) == 0) {
                if (std::string(n) == "batches served ") current->counters.emplace_back();
                if (!current->counters.empty()) current->counters.back()[n] = atof(l.c_str() + strlen(n));
            }
        if (l.rfind("timer runs started ", 0) == 0) {
            current->runs = After(l, "finished ");
            current->runMsSum = After(l, "ms sum ");
        }
        if (l.rfind("timed menu: ", 0) == 0) current->timedMs = atof(l.c_str() + 12);
        if (l == "a sent message waits") current->sentMessageWaited = true;
    }
    return sections;
}

double Delta(const Section& s, const char* name) {
    if (s.counters.size() < 2) return -1;
    return s.counters.back().at(name) - s.counters.front().at(name);
}

bool Link() {
    std::vector<std::string> lines = RunScenario();
    std::map<std::string, Section> s = Parse(lines);
    const Section& connected = s["connected"];
    const Section& disconnected = s["disconnected"];
    const Section& idle = s["stoplink-idle"];
    const Section& mid = s["stoplink-mid-exchange"];
    if (connected.runs <= 0 || disconnected.runs <= 0 || idle.timedMs < 0 || mid.timedMs < 0) {
        printf("monitor_bench: the link scenario did not give its figures; its output:\n");
        for (const std::string& l : lines) printf("  %s\n", l.c_str());
        return false;
    }
    for (const std::string& l : lines)
        if (l.rfind("offthread-calls", 0) == 0 || l.rfind("scenario ", 0) == 0) printf("%s\n", l.c_str());

    double ticks = connected.runs;
    double tickExchanges = Delta(connected, "batches served ") / ticks;
    double tickRecords = Delta(connected, "records served ") / ticks;
    double feeds = Delta(connected, "weather batches ");
    double feedExchanges = feeds / ticks;
    double feedWrites = feeds > 0 ? Delta(connected, "weather writes ") / feeds : 0;
    double tickMs = connected.runMsSum / ticks;
    double offTicks = disconnected.runs;
    double offExchanges = Delta(disconnected, "batches served ") / offTicks;
    double offRecords = Delta(disconnected, "records served ") / offTicks;
    double offMs = disconnected.runMsSum / offTicks;
    printf("connected: %.0f ticks; disconnected: %.0f ticks; frames of %.0f ms\n", ticks, offTicks, kFramePaceMs);
    printf("METRIC tick_exchanges %.2f count\n", tickExchanges);
    printf("METRIC tick_records %.2f count\n", tickRecords);
    printf("METRIC tick_ms %.3f ms\n", tickMs);
    printf("METRIC tick_frames %.2f frames\n", tickMs / kFramePaceMs);
    // The connected tick's only exchange is the feed: its frames are the feed's.
    printf("METRIC feed_exchanges %.2f count\n", feedExchanges);
    printf("METRIC feed_writes %.2f count\n", feedWrites);
    printf("METRIC feed_frames %.2f frames\n", tickMs / kFramePaceMs);
    printf("METRIC feed_batching_ratio %.1f ratio\n", feedExchanges > 0 ? feedWrites / feedExchanges : 0);
    printf("METRIC tick_disconnected_exchanges %.2f count\n", offExchanges);
    printf("METRIC tick_disconnected_records %.2f count\n", offRecords);
    printf("METRIC tick_disconnected_frames %.2f frames\n", offMs / kFramePaceMs);
    printf("METRIC stoplink_idle_ms %.3f ms\n", idle.timedMs);
    printf("METRIC stoplink_mid_exchange_ms %.3f ms\n", mid.timedMs);
    printf("METRIC stoplink_mid_exchange_ratio %.2f ratio\n", idle.timedMs > 0 ? mid.timedMs / idle.timedMs : 0);
    printf("a tick was inside an exchange when StopLink began: %s\n", mid.sentMessageWaited ? "yes" : "NO");
    printf("feed goal (one exchange per feed): %s\n", feedExchanges > 0.99 && feedExchanges < 1.01 ? "met" : "NOT met");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "";
    bool ok = true;
    if (what.empty() || what == "scan") ok &= Scan();
    if (what.empty() || what == "link") ok &= Link();
    return ok ? 0 : 1;
}
