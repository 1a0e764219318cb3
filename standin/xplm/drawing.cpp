// Drawing callbacks by phase, windows made from a parameter block, and hot key details.
#include <algorithm>
#include <cstring>

#include "areas.h"
#include "world.h"

namespace sim {
namespace {

struct DrawCallback {
    XPLMDrawCallback_f fn;
    XPLMDrawingPhase phase;
    int before;
    void* refcon;
    int owner;
    bool dead;
};

std::vector<DrawCallback> g_callbacks;
int g_depth = 0;
int g_phase = -1;

// The phases of a frame in the order the simulator draws them. The stand-in has no map, so the
// map phases never come.
const XPLMDrawingPhase kScenePhases[] = {xplm_Phase_FirstScene, xplm_Phase_Terrain,  xplm_Phase_Airports,
                                         xplm_Phase_Vectors,    xplm_Phase_Objects,  xplm_Phase_Airplanes,
                                         xplm_Phase_LastScene,  xplm_Phase_FirstCockpit, xplm_Phase_Panel,
                                         xplm_Phase_Gauges};

bool KnownPhase(int phase) {
    for (XPLMDrawingPhase p : kScenePhases)
        if (p == phase) return true;
    return phase == xplm_Phase_Window || phase == xplm_Phase_LastCockpit || phase == xplm_Phase_LocalMap3D ||
           phase == xplm_Phase_LocalMap2D || phase == xplm_Phase_LocalMapProfile;
}

void Sweep() {
    if (g_depth == 0)
        g_callbacks.erase(std::remove_if(g_callbacks.begin(), g_callbacks.end(),
                                         [](const DrawCallback& c) { return c.dead; }),
                          g_callbacks.end());
}

void RunPhase(XPLMDrawingPhase phase, int before) {
    g_depth++;
    int outer = g_phase;
    g_phase = phase;
    // Callbacks registered while drawing wait for the next frame.
    size_t count = g_callbacks.size();
    for (size_t i = 0; i < count; ++i) {
        DrawCallback c = g_callbacks[i];
        if (c.dead || c.phase != phase || (c.before != 0) != (before != 0)) continue;
        PluginScope scope(c.owner, "draw");
        DrawScope drawing;
        c.fn(phase, before, c.refcon);
    }
    g_phase = outer;
    g_depth--;
    Sweep();
}

void RunPhases(int first, int last) {
    for (XPLMDrawingPhase p : kScenePhases) {
        if (p < first || p > last) continue;
        RunPhase(p, 1);
        RunPhase(p, 0);
    }
}

HotKey* LiveHotKey(XPLMHotKeyID id, const char* api) {
    for (auto& h : W().hotKeys)
        if (h.get() == id && !h->dead) return h.get();
    Misuse(Format("%s: not a live hot key (%p)", api, id));
    return nullptr;
}

}  // namespace

void ResetDrawing() {
    for (DrawCallback& c : g_callbacks) c.dead = true;
    Sweep();
}

int CurrentDrawingPhase() { return g_phase; }

void DrawPhasesBeforeWindows() {
    RunPhases(xplm_Phase_FirstScene, xplm_Phase_Gauges);
    RunPhase(xplm_Phase_Window, 1);
}

void DrawPhasesAfterWindows() {
    RunPhase(xplm_Phase_Window, 0);
    RunPhase(xplm_Phase_LastCockpit, 1);
    RunPhase(xplm_Phase_LastCockpit, 0);
}

void ForgetDrawCallbacks(int pluginId) {
    for (DrawCallback& c : g_callbacks)
        if (c.owner == pluginId) c.dead = true;
    Sweep();
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API int XPLMRegisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase, int inWantsBefore,
                                      void* inRefcon) {
    ApiCall("XPLMRegisterDrawCallback");
    // The SDK's answer for a phase that does not exist: 0, nothing registered.
    if (!inCallback || !KnownPhase(inPhase)) return 0;
    g_callbacks.push_back({inCallback, inPhase, inWantsBefore ? 1 : 0, inRefcon, CurrentPlugin(), false});
    return 1;
}

XPLM_API int XPLMUnregisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase,
                                        int inWantsBefore, void* inRefcon) {
    ApiCall("XPLMUnregisterDrawCallback");
    for (DrawCallback& c : g_callbacks) {
        if (c.dead || c.fn != inCallback || c.phase != inPhase || c.before != (inWantsBefore ? 1 : 0) ||
            c.refcon != inRefcon)
            continue;
        // Marked only: the phase may be running it right now.
        c.dead = true;
        Sweep();
        return 1;
    }
    return 0;
}

XPLM_API void XPLMGetHotKeyInfo(XPLMHotKeyID inHotKey, char* outVirtualKey, XPLMKeyFlags* outFlags,
                                char* outDescription, XPLMPluginID* outPlugin) {
    ApiCall("XPLMGetHotKeyInfo");
    HotKey* h = LiveHotKey(inHotKey, "XPLMGetHotKeyInfo");
    if (!h) return;
    if (outVirtualKey) *outVirtualKey = h->virtualKey;
    if (outFlags) *outFlags = h->flags;
    if (outDescription) {
        // The SDK's description buffer holds 512 bytes.
        size_t n = std::min<size_t>(h->description.size(), 511);
        memcpy(outDescription, h->description.data(), n);
        outDescription[n] = 0;
    }
    if (outPlugin) *outPlugin = h->owner;
}

XPLM_API void XPLMSetHotKeyCombination(XPLMHotKeyID inHotKey, char inVirtualKey, XPLMKeyFlags inFlags) {
    ApiCall("XPLMSetHotKeyCombination");
    HotKey* h = LiveHotKey(inHotKey, "XPLMSetHotKeyCombination");
    if (!h) return;
    h->virtualKey = inVirtualKey;
    h->rawVirtualKey = (unsigned char)inVirtualKey;
    h->flags = inFlags;
}

}  // extern "C"
