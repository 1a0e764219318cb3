// Terrain probes and scenery objects. The stand-in's terrain is flat dry ground at the local
// origin's height (local y = 0); it has no scenery library.
#include <algorithm>

#include "XPLMScenery.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

struct Probe {
    int owner;
    bool dead;
};

struct Object {
    std::string path;
    int owner;
    bool dead;
};

struct PendingLoad {
    std::string path;
    XPLMObjectLoaded_f fn;
    void* refcon;
    int owner;
};

// Records stay allocated (a stale handle is recognised); only the dead flag changes.
std::vector<std::unique_ptr<Probe>> g_probes;
std::vector<std::unique_ptr<Object>> g_objects;
std::vector<PendingLoad> g_pending;

Probe* LiveProbe(XPLMProbeRef ref, const char* api) {
    for (auto& p : g_probes)
        if (p.get() == ref && !p->dead) return p.get();
    Misuse(Format("%s: not a live probe (%p)", api, ref));
    return nullptr;
}

Object* LiveObject(XPLMObjectRef ref, const char* api) {
    for (auto& o : g_objects)
        if (o.get() == ref && !o->dead) return o.get();
    Misuse(Format("%s: not a loaded object (%p)", api, ref));
    return nullptr;
}

// Object paths are relative to the simulator folder (or full paths inside it).
Object* Load(const char* path) {
    if (!path || !*path) return nullptr;
    std::string full = path;
    bool absolute = full.size() > 1 && (full[1] == ':' || full[0] == '\\');
    if (!absolute) full = W().simFolder + "\\" + full;
    for (char& c : full)
        if (c == '/') c = '\\';
    DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AppendLog(Format("X-Plane stand-in: cannot load object %s: no such file\n", path).c_str());
        return nullptr;
    }
    g_objects.push_back(std::unique_ptr<Object>(new Object{path, CurrentPlugin(), false}));
    return g_objects.back().get();
}

}  // namespace

void CompleteObjectLoads() {
    // Loads asked for in one frame finish at the start of the next, as the loader thread would.
    std::vector<PendingLoad> due;
    due.swap(g_pending);
    for (const PendingLoad& load : due) {
        PluginScope scope(load.owner, "scenery load");
        Object* object = Load(load.path.c_str());
        load.fn(object, load.refcon);
    }
}

void ResetScenery() {
    for (auto& p : g_probes) p->dead = true;
    for (auto& o : g_objects) o->dead = true;
    g_pending.clear();
}

void ForgetScenery(int pluginId) {
    for (auto& p : g_probes)
        if (p->owner == pluginId) p->dead = true;
    for (auto& o : g_objects)
        if (o->owner == pluginId) o->dead = true;
    g_pending.erase(std::remove_if(g_pending.begin(), g_pending.end(),
                                   [pluginId](const PendingLoad& l) { return l.owner == pluginId; }),
                    g_pending.end());
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API XPLMProbeRef XPLMCreateProbe(XPLMProbeType inProbeType) {
    ApiCall("XPLMCreateProbe");
    if (inProbeType != xplm_ProbeY) {
        Misuse(Format("XPLMCreateProbe: unknown probe type %d", inProbeType));
        return nullptr;
    }
    g_probes.push_back(std::unique_ptr<Probe>(new Probe{CurrentPlugin(), false}));
    return g_probes.back().get();
}

XPLM_API void XPLMDestroyProbe(XPLMProbeRef inProbe) {
    ApiCall("XPLMDestroyProbe");
    if (Probe* p = LiveProbe(inProbe, "XPLMDestroyProbe")) p->dead = true;
}

XPLM_API XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef inProbe, float inX, float inY, float inZ,
                                             XPLMProbeInfo_t* outInfo) {
    ApiCall("XPLMProbeTerrainXYZ");
    if (!LiveProbe(inProbe, "XPLMProbeTerrainXYZ")) return xplm_ProbeError;
    // The caller states the size of its structure; a smaller one cannot take the answer.
    if (!outInfo || outInfo->structSize < (int)sizeof(XPLMProbeInfo_t)) return xplm_ProbeError;
    outInfo->locationX = inX;
    outInfo->locationY = 0;
    outInfo->locationZ = inZ;
    outInfo->normalX = 0;
    outInfo->normalY = 1;
    outInfo->normalZ = 0;
    outInfo->velocityX = outInfo->velocityY = outInfo->velocityZ = 0;
    outInfo->is_wet = 0;
    return xplm_ProbeHitTerrain;
}

XPLM_API XPLMObjectRef XPLMLoadObject(const char* inPath) {
    ApiCall("XPLMLoadObject");
    return Load(inPath);
}

XPLM_API void XPLMLoadObjectAsync(const char* inPath, XPLMObjectLoaded_f inCallback, void* inRefcon) {
    ApiCall("XPLMLoadObjectAsync");
    if (!inCallback) {
        Misuse("XPLMLoadObjectAsync: no callback");
        return;
    }
    g_pending.push_back({inPath ? inPath : "", inCallback, inRefcon, CurrentPlugin()});
}

XPLM_API void XPLMDrawObjects(XPLMObjectRef inObject, int inCount, XPLMDrawInfo_t* inLocations, int lighting,
                              int earth_relative) {
    ApiCall("XPLMDrawObjects");
    int phase = CurrentDrawingPhase();
    if (phase < 0 || phase > xplm_Phase_LastScene) {
        Misuse("XPLMDrawObjects: outside a 3-d drawing callback");
        return;
    }
    if (!LiveObject(inObject, "XPLMDrawObjects")) return;
    if (inCount < 0 || (inCount > 0 && !inLocations)) Misuse("XPLMDrawObjects: no locations");
}

XPLM_API void XPLMUnloadObject(XPLMObjectRef inObject) {
    ApiCall("XPLMUnloadObject");
    if (Object* o = LiveObject(inObject, "XPLMUnloadObject")) o->dead = true;
}

XPLM_API int XPLMLookupObjects(const char* inPath, float inLatitude, float inLongitude,
                               XPLMLibraryEnumerator_f enumerator, void* ref) {
    ApiCall("XPLMLookupObjects");
    LogOnce("library", "XPLMLookupObjects: this simulator has no scenery library; no object is found");
    return 0;
}

}  // extern "C"
