// Prints METRIC lines of what the plug-in costs the simulator's main thread:
//  - frame_cost_p50_us, frame_cost_p99_us, frame_cost_max_us: the plug-in's main-thread time per
//    frame over the demo flight (flight loops, draw callbacks, key sniffers, window and widget
//    callbacks, menu handlers, and the messages its threads send that the main thread serves),
//    with the stand-in IPC server plug-in's figures of the same run as the baseline;
//  - ipc_same_thread_us: one IPC exchange (a 4-byte read) from the simulator's thread;
//    ipc_cross_thread_us, ipc_cross_thread_frames: the same from a worker thread, which waits
//    for the simulator's next message pump (50 frames a second here).
//  - cruise_frame_cost_*: the same over a minute of cruise after the link is up and the ATC
//    program attached (weather fed every 4 s, two hot keys, two messages), as most of a flight is;
//  - *_own_*: the plug-in's callbacks alone, without what the IPC server's window spent serving
//    the exchanges the plug-in's threads sent (counted in the figures above).
// Usage: frame_bench [frame|cruise|ipc]   (all by default; frame runs the cruise too)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "../common/run_host.h"
#include "common/sim_control.h"
#include "simlink/ipc_client.h"

namespace {

constexpr double kP99GoalUs = 100, kMaxGoalUs = 1000;
constexpr int kFramePaceMs = 20;

double After(const std::string& line, const std::string& key) {
    size_t at = line.find(key);
    return at == std::string::npos ? -1 : atof(line.c_str() + at + key.size());
}

struct Cost {
    double frames = -1, p50 = -1, p99 = -1, max = -1;
    double ownP50 = -1, ownP99 = -1, ownMax = -1;  // without the messages the server served for it
};

// Runs one scenario of the frame-cost kind and prints its figures under `prefix`.
bool Frame(const char* scenario, const char* instance, const std::string& prefix) {
    std::string text = RunHostScenario(SIM_DIR, instance, scenario);
    std::map<std::string, Cost> costs;
    size_t at = 0;
    bool finished = false;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string l = text.substr(at, end - at);
        at = end + 1;
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (l == "offthread-calls 0") finished = true;
        if (l.rfind("frame-cost ", 0) != 0) continue;
        printf("%s\n", l.c_str());
        size_t name = l.find(' ', 11);
        if (name == std::string::npos) continue;
        Cost& c = costs[l.substr(11, name - 11)];
        if (l.find(" own_p50_us ") != std::string::npos) {
            c.ownP50 = After(l, " own_p50_us ");
            c.ownP99 = After(l, " own_p99_us ");
            c.ownMax = After(l, " own_max_us ");
        } else if (l.find(" p50_us ") != std::string::npos) {
            c.frames = After(l, " frames ");
            c.p50 = After(l, " p50_us ");
            c.p99 = After(l, " p99_us ");
            c.max = After(l, " max_us ");
        }
    }
    if (!finished || !costs.count("DURarUravud")) {
        printf("frame_bench: %s did not run to its end:\n%s\n", scenario, text.c_str());
        return false;
    }
    const Cost& ours = costs["DURarUravud"];
    const char* p = prefix.c_str();
    printf("METRIC %s_frames %.0f frames\n", p, ours.frames);
    printf("METRIC %s_p50_us %.1f us\n", p, ours.p50);
    printf("METRIC %s_p99_us %.1f us\n", p, ours.p99);
    printf("METRIC %s_max_us %.1f us\n", p, ours.max);
    printf("METRIC %s_own_p99_us %.1f us\n", p, ours.ownP99);
    printf("METRIC %s_own_max_us %.1f us\n", p, ours.ownMax);
    printf("%s goals: p99 under %.0f us (%s), max under %.0f us (%s); without served messages p99 %s, max %s\n", p,
           kP99GoalUs, ours.p99 < kP99GoalUs ? "met" : "MISSED", kMaxGoalUs, ours.max < kMaxGoalUs ? "met" : "MISSED",
           ours.ownP99 < kP99GoalUs ? "met" : "MISSED", ours.ownMax < kMaxGoalUs ? "met" : "MISSED");
    // Baseline of the same run: the stand-in IPC server plug-in, which draws its text strip and
    // serves the ATC program every frame.
    for (const auto& entry : costs) {
        if (entry.first == "DURarUravud" || entry.second.p99 <= 0) continue;
        printf("METRIC %s_baseline_p99_us %.1f us\n", p, entry.second.p99);
        printf("%s baseline %s: p99 ratio %.2f, max ratio %.2f\n", p, entry.first.c_str(),
               ours.p99 / entry.second.p99, entry.second.max > 0 ? ours.max / entry.second.max : 0.0);
        break;
    }
    return true;
}

// ---- IPC exchanges against the stand-in server, loaded into this process as the simulator does

double Micros(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::atomic<long> g_frames{0};
std::atomic<bool> g_workerDone{false};
std::vector<double> g_crossUs, g_crossFrames;

DWORD WINAPI Worker(LPVOID) {
    uint32_t value = 0;
    for (int i = 0; i < 40; ++i) {
        // Start at a random point of the frame, as the monitor's timer does.
        Sleep(DWORD(i * 7 % kFramePaceMs));
        long frameBefore = g_frames.load();
        auto start = std::chrono::steady_clock::now();
        bool ok = IpcRead(IpcOffset::ServerVersion, 4, &value).ok();
        g_crossUs.push_back(Micros(start));
        g_crossFrames.push_back(double(g_frames.load() - frameBefore));
        if (!ok) {
            printf("frame_bench: a cross-thread exchange failed\n");
            break;
        }
    }
    g_workerDone = true;
    return 0;
}

bool Ipc() {
    SIM_Init(nullptr);
    std::string path = std::string(SIM_DIR) + "/Resources/plugins/XPUIPC/64/win.xpl";
    std::replace(path.begin(), path.end(), '/', '\\');
    HMODULE server = LoadLibraryA(path.c_str());
    int id = server ? SIM_StartPlugin(path.c_str(), server) : -1;
    if (id < 0 || !SIM_EnablePlugin(id)) {
        printf("frame_bench: the stand-in server did not start from %s\n", path.c_str());
        return false;
    }
    SIM_RunFrames(1);
    {
        IpcSession session;
        const IpcStatus opened = IpcOpen();
        if (!opened.ok()) {
            printf("frame_bench: the IPC link did not open (%u)\n", (unsigned)opened.code);
            return false;
        }
    }
    uint32_t value = 0;
    std::vector<double> same;
    for (int i = 0; i < 201; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!IpcRead(IpcOffset::ServerVersion, 4, &value).ok()) {
            printf("frame_bench: a same-thread exchange failed\n");
            return false;
        }
        same.push_back(Micros(start));
    }

    HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
    if (!worker) return false;
    // The simulator's frames: 50 a second, the message pump once each.
    while (!g_workerDone) {
        auto start = std::chrono::steady_clock::now();
        ++g_frames;  // counted as it starts: an exchange served by this frame's pump waited for it
        SIM_RunFrames(1);
        double left = kFramePaceMs - Micros(start) / 1000.0;
        if (left > 0) Sleep(DWORD(left));
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    {
        IpcSession session;
        IpcClose();
    }
    SIM_StopPlugin(id);

    double sameUs = Median(same), crossUs = Median(g_crossUs);
    printf("METRIC ipc_same_thread_us %.1f us\n", sameUs);
    printf("METRIC ipc_cross_thread_us %.1f us\n", crossUs);
    printf("METRIC ipc_cross_thread_frames %.1f frames\n", Median(g_crossFrames));
    printf("cross-thread / same-thread: %.0f (a worker waits for the next frame's pump, %d ms a frame)\n",
           sameUs > 0 ? crossUs / sameUs : 0.0, kFramePaceMs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "";
    bool ok = true;
    if (what.empty() || what == "ipc") ok = Ipc() && ok;
    // The demo flight: every event of a flight in 14 seconds, so each one is a large share of
    // the frames; then a minute of cruise with the link up, as most of a flight is.
    if (what.empty() || what == "frame") ok = Frame(FRAME_SCENARIO, FRAME_INSTANCE, "frame_cost") && ok;
    if (what.empty() || what == "frame" || what == "cruise")
        ok = Frame(CRUISE_SCENARIO, CRUISE_INSTANCE, "cruise_frame_cost") && ok;
    return ok ? 0 : 1;
}
