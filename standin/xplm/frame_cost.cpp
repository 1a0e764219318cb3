// Main-thread time spent in each plug-in's code, per frame, as the simulator's plug-in
// performance display shows it: flight loops, draw and key callbacks, window and widget
// callbacks, menu handlers, messages, and the messages a plug-in's other threads send that the
// main thread serves. Nested calls into another plug-in count for that one only.
#include <algorithm>
#include <cstring>

#include "world.h"

namespace sim {

namespace {

struct Open {
    int plugin;
    const char* kind;
    long long start;
    long long nested;  // ticks of calls nested inside this one
};

struct PluginCost {
    std::vector<float> frames;  // microseconds, one per frame since the reset
    // The same without the messages its threads sent that the main thread served: the plug-in's
    // own callbacks apart from what a server's window procedure spent for it.
    std::vector<float> ownFrames;
    double thisFrame = 0, thisFrameOwn = 0;
    double worstOwn = 0;
    std::map<std::string, double> thisFrameKinds;
    double worst = -1;
    long worstFrame = 0;
    std::map<std::string, double> worstKinds;
    std::map<std::string, double> longestCall;  // per kind
    long over100 = 0, over1000 = 0;
    std::vector<std::string> overBudget;  // the first frames over 100 us, what they spent
};

constexpr double kBudgetUs = 100;
const char kServedKind[] = "served message";
constexpr size_t kOverBudgetShown = 40;

bool g_on = false;
long long g_frequency = 0;
long g_frames = 0;
std::vector<Open> g_open;
std::map<int, PluginCost> g_costs;

long long Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Micros(long long ticks) { return double(ticks) * 1e6 / double(g_frequency); }

bool OnMain() { return GetCurrentThreadId() == W().mainThread; }

double Percentile(std::vector<float> sorted, double p) {
    if (sorted.empty()) return 0;
    std::sort(sorted.begin(), sorted.end());
    size_t at = (size_t)(p * double(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

std::string Kinds(const std::map<std::string, double>& kinds) {
    std::string out;
    for (const auto& k : kinds) out += Format("%s%s %.0f", out.empty() ? "" : ", ", k.first.c_str(), k.second);
    return out;
}

}  // namespace

void CostBegin(int plugin, const char* kind) {
    if (!OnMain()) return;
    g_open.push_back({plugin, kind ? kind : "call", Ticks(), 0});
}

void CostEnd() {
    if (!OnMain() || g_open.empty()) return;
    Open done = g_open.back();
    g_open.pop_back();
    long long spent = Ticks() - done.start;
    // Code of no plug-in (the widget library's own class functions) counts for its caller.
    if (done.plugin == 0) {
        if (!g_open.empty()) g_open.back().nested += done.nested;
        return;
    }
    if (!g_open.empty()) g_open.back().nested += spent;
    if (!g_on || done.plugin < 0) return;
    double self = Micros(spent - done.nested);
    PluginCost& cost = g_costs[done.plugin];
    cost.thisFrame += self;
    if (strcmp(done.kind, kServedKind) != 0) cost.thisFrameOwn += self;
    cost.thisFrameKinds[done.kind] += self;
    double& longest = cost.longestCall[done.kind];
    longest = std::max(longest, self);
}

void CloseFrameCost() {
    if (!g_on) return;
    ++g_frames;
    for (auto& entry : g_costs) {
        PluginCost& cost = entry.second;
        // Plug-ins that did nothing this frame cost nothing; the vector keeps one sample a frame.
        cost.frames.resize(g_frames - 1, 0.0f);
        cost.frames.push_back((float)cost.thisFrame);
        cost.ownFrames.resize(g_frames - 1, 0.0f);
        cost.ownFrames.push_back((float)cost.thisFrameOwn);
        cost.worstOwn = std::max(cost.worstOwn, cost.thisFrameOwn);
        if (cost.thisFrame > kBudgetUs) {
            ++cost.over100;
            if (cost.thisFrame > 10 * kBudgetUs) ++cost.over1000;
            if (cost.overBudget.size() < kOverBudgetShown)
                cost.overBudget.push_back(Format("frame %ld t=%.2f %.0f us: %s", g_frames, W().now, cost.thisFrame,
                                                 Kinds(cost.thisFrameKinds).c_str()));
        }
        if (cost.thisFrame > cost.worst) {
            cost.worst = cost.thisFrame;
            cost.worstFrame = g_frames;
            cost.worstKinds = cost.thisFrameKinds;
        }
        cost.thisFrame = cost.thisFrameOwn = 0;
        cost.thisFrameKinds.clear();
    }
}

std::string DescribeFrameCost() {
    std::string out;
    for (auto& entry : g_costs) {
        PluginCost& cost = entry.second;
        cost.frames.resize(g_frames, 0.0f);
        cost.ownFrames.resize(g_frames, 0.0f);
        out += Format("frame-cost %s frames %ld p50_us %.1f p99_us %.1f max_us %.1f\n",
                      PluginName(entry.first).c_str(), g_frames, Percentile(cost.frames, 0.50),
                      Percentile(cost.frames, 0.99), std::max(cost.worst, 0.0));
        out += Format("frame-cost %s without served messages: own_p50_us %.1f own_p99_us %.1f own_max_us %.1f\n",
                      PluginName(entry.first).c_str(), Percentile(cost.ownFrames, 0.50),
                      Percentile(cost.ownFrames, 0.99), cost.worstOwn);
        out += Format("frame-cost %s worst frame %ld: %s\n", PluginName(entry.first).c_str(), cost.worstFrame,
                      Kinds(cost.worstKinds).c_str());
        out += Format("frame-cost %s longest single call: %s\n", PluginName(entry.first).c_str(),
                      Kinds(cost.longestCall).c_str());
        out += Format("frame-cost %s frames over 100 us: %ld, over 1 ms: %ld\n", PluginName(entry.first).c_str(),
                      cost.over100, cost.over1000);
        for (const std::string& line : cost.overBudget)
            out += Format("frame-cost %s   %s\n", PluginName(entry.first).c_str(), line.c_str());
    }
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_FrameCost(int on) {
    if (!g_frequency) {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        g_frequency = f.QuadPart;
    }
    g_on = on != 0;
    g_frames = 0;
    g_costs.clear();
}

SIM_API void SIM_CostBegin(const void* code, const char* kind) {
    HMODULE module = nullptr;
    int plugin = 0;
    if (code && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<const char*>(code), &module))
        for (const auto& p : W().plugins)
            if (p->module == module) plugin = p->id;
    CostBegin(plugin, kind);
}

SIM_API void SIM_CostEnd(void) { CostEnd(); }

}  // extern "C"
