// Flight loops on the simulated clock, and the frame cycle.
#include <algorithm>
#include <cmath>

#include "world.h"

namespace sim {

static void Schedule(FlightLoop& loop, float interval) {
    World& w = W();
    if (interval > 0) {
        loop.scheduled = true;
        loop.byFrames = false;
        loop.dueTime = w.now + interval;
    } else if (interval < 0) {
        loop.scheduled = true;
        loop.byFrames = true;
        loop.dueCycle = w.cycle + (long)std::lround(-interval);
    } else {
        loop.scheduled = false;
    }
}

static bool Due(const FlightLoop& loop) {
    const World& w = W();
    if (loop.dead || !loop.scheduled) return false;
    // A small tolerance keeps "8.0 seconds" from slipping a frame on rounding.
    return loop.byFrames ? w.cycle >= loop.dueCycle : w.now + 1e-6 >= loop.dueTime;
}

void RunFlightLoops() {
    World& w = W();
    w.loopDepth++;
    // Loops registered during this pass wait for the next frame. Loops that asked to run before
    // the flight model go first.
    size_t count = w.loops.size();
    for (int phase = xplm_FlightLoop_Phase_BeforeFlightModel; phase <= xplm_FlightLoop_Phase_AfterFlightModel; ++phase)
    for (size_t i = 0; i < count; ++i) {
        if (w.loops[i].phase != phase || !Due(w.loops[i])) continue;
        XPLMFlightLoop_f fn = w.loops[i].fn;
        void* refcon = w.loops[i].refcon;
        int owner = w.loops[i].owner;
        float sinceLast = (float)(w.now - w.loops[i].lastCall);
        w.loops[i].lastCall = w.now;
        // Unscheduled while it runs: what it returns (or sets) decides the next call.
        w.loops[i].scheduled = false;
        float next;
        {
            PluginScope scope(owner, "flight loop");
            next = fn(sinceLast, (float)w.period, (int)w.cycle, refcon);
        }
        FlightLoop& loop = w.loops[i];  // the vector may have grown
        if (Tracing("flightloops"))
            Event(Format("t=%.2f flightloop of %s called, gave %.2f", w.now, PluginName(owner).c_str(), next));
        if (!loop.dead && !loop.scheduled) Schedule(loop, next);
    }
    w.loopDepth--;
    if (w.loopDepth == 0)
        w.loops.erase(std::remove_if(w.loops.begin(), w.loops.end(), [](const FlightLoop& l) { return l.dead; }),
                      w.loops.end());
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static FlightLoop* FindLoop(XPLMFlightLoop_f fn, void* refcon) {
    // The older calls see only the loops they registered, never those made by handle.
    for (FlightLoop& loop : W().loops)
        if (!loop.dead && !loop.handle && loop.fn == fn && loop.refcon == refcon) return &loop;
    return nullptr;
}

std::string DescribeFlightLoops() {
    std::string out;
    for (const FlightLoop& loop : W().loops) {
        if (loop.dead) continue;
        std::string when = !loop.scheduled ? std::string("not scheduled")
                           : loop.byFrames ? Format("due in %ld frames", loop.dueCycle - W().cycle)
                                           : Format("due in %.2f s", loop.dueTime - W().now);
        out += Format("flightloop of %s refcon=%p %s\n", PluginName(loop.owner).c_str(), loop.refcon, when.c_str());
    }
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

namespace {
SimFrameHook g_frameHook = nullptr;
}

SIM_API void SIM_SetFrameHook(SimFrameHook hook) { g_frameHook = hook; }

SIM_API void SIM_RunFrames(int count) {
    for (int i = 0; i < count; ++i) {
        World& w = W();
        w.cycle++;
        w.now += w.period;
        RunFlightLoops();
        RunFrameWork();
        DrawWindows();
        PumpMessages();
        if (g_frameHook) g_frameHook();
        CloseFrameCost();
    }
}

SIM_API void SIM_RunSeconds(double seconds) {
    double end = W().now + seconds - 1e-9;
    while (W().now < end) SIM_RunFrames(1);
}

SIM_API double SIM_Now(void) { return W().now; }

SIM_API void SIM_SetFramePeriod(double seconds) {
    if (seconds > 0 && seconds <= 10) W().period = seconds;
}

XPLM_API float XPLMGetElapsedTime(void) {
    ApiCall("XPLMGetElapsedTime");
    return (float)W().now;
}

XPLM_API int XPLMGetCycleNumber(void) {
    ApiCall("XPLMGetCycleNumber");
    return (int)W().cycle;
}

XPLM_API void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon) {
    ApiCall("XPLMRegisterFlightLoopCallback");
    if (!inFlightLoop) return;
    FlightLoop loop;
    loop.fn = inFlightLoop;
    loop.refcon = inRefcon;
    loop.owner = CurrentPlugin();
    loop.lastCall = W().now;
    Schedule(loop, inInterval);
    W().loops.push_back(loop);
}

XPLM_API void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon) {
    ApiCall("XPLMUnregisterFlightLoopCallback");
    // Marked only: the loop pass may be iterating over it right now.
    for (FlightLoop& loop : W().loops)
        if (!loop.handle && loop.fn == inFlightLoop && loop.refcon == inRefcon) loop.dead = true;
    if (W().loopDepth == 0)
        W().loops.erase(std::remove_if(W().loops.begin(), W().loops.end(), [](const FlightLoop& l) { return l.dead; }),
                        W().loops.end());
}

XPLM_API void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                                int inRelativeToNow, void* inRefcon) {
    ApiCall("XPLMSetFlightLoopCallbackInterval");
    FlightLoop* loop = FindLoop(inFlightLoop, inRefcon);
    if (!loop) return;
    Schedule(*loop, inInterval);
    if (!inRelativeToNow && inInterval > 0) loop->dueTime = loop->lastCall + inInterval;
}

// ---- flight loops made as objects (XPLMCreateFlightLoop)

namespace {
// Every handle ever given out, so a stale one is told apart from garbage.
std::vector<void*> g_issuedLoops;
uintptr_t g_nextLoopHandle = 0x10000;

FlightLoop* LoopByHandle(XPLMFlightLoopID id, const char* api) {
    if (id)
        for (FlightLoop& loop : W().loops)
            if (loop.handle == id && !loop.dead) return &loop;
    bool issued = id && std::find(g_issuedLoops.begin(), g_issuedLoops.end(), id) != g_issuedLoops.end();
    Misuse(Format("%s: %s flight loop (%p)", api, issued ? "destroyed" : "not a", id));
    return nullptr;
}
}  // namespace

XPLM_API XPLMFlightLoopID XPLMCreateFlightLoop(XPLMCreateFlightLoop_t* inParams) {
    ApiCall("XPLMCreateFlightLoop");
    if (!inParams || inParams->structSize < (int)sizeof(XPLMCreateFlightLoop_t) || !inParams->callbackFunc ||
        (inParams->phase != xplm_FlightLoop_Phase_BeforeFlightModel &&
         inParams->phase != xplm_FlightLoop_Phase_AfterFlightModel)) {
        Misuse("XPLMCreateFlightLoop: bad parameters");
        return nullptr;
    }
    FlightLoop loop;
    loop.fn = inParams->callbackFunc;
    loop.refcon = inParams->refcon;
    loop.owner = CurrentPlugin();
    loop.lastCall = W().now;
    loop.phase = inParams->phase;
    loop.scheduled = false;  // made unscheduled; XPLMScheduleFlightLoop starts it
    loop.handle = reinterpret_cast<void*>(g_nextLoopHandle += 0x10);
    g_issuedLoops.push_back(loop.handle);
    W().loops.push_back(loop);
    return loop.handle;
}

XPLM_API void XPLMDestroyFlightLoop(XPLMFlightLoopID inFlightLoopID) {
    ApiCall("XPLMDestroyFlightLoop");
    FlightLoop* loop = LoopByHandle(inFlightLoopID, "XPLMDestroyFlightLoop");
    if (!loop) return;
    // Marked only: the loop pass may be running it right now.
    loop->dead = true;
    if (W().loopDepth == 0)
        W().loops.erase(std::remove_if(W().loops.begin(), W().loops.end(), [](const FlightLoop& l) { return l.dead; }),
                        W().loops.end());
}

XPLM_API void XPLMScheduleFlightLoop(XPLMFlightLoopID inFlightLoopID, float inInterval, int inRelativeToNow) {
    ApiCall("XPLMScheduleFlightLoop");
    FlightLoop* loop = LoopByHandle(inFlightLoopID, "XPLMScheduleFlightLoop");
    if (!loop) return;
    Schedule(*loop, inInterval);
    if (!inRelativeToNow && inInterval > 0) loop->dueTime = loop->lastCall + inInterval;
}

}  // extern "C"
