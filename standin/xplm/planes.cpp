// Aircraft: the stand-in flies the user's aircraft only; a plug-in may take the (zero) other
// aircraft over, as the simulator lets one plug-in at a time do.
#include <cstdio>
#include <cstring>

#include "XPLMPlanes.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

const int kTotalAircraft = 1;  // the user's

struct Planes {
    std::string userAircraft = "Aircraft\\Stand-in\\StandIn.acf";  // under the simulator folder
    int holder = XPLM_NO_PLUGIN_ID;
    int active = kTotalAircraft;
    // Who asked while another held them: called when they are released.
    XPLMPlanesAvailable_f waiting = nullptr;
    void* waitingRefcon = nullptr;
    int waitingOwner = 0;
} g_planes;

bool Holder(const char* api) {
    if (g_planes.holder == CurrentPlugin()) return true;
    Misuse(Format("%s: the other aircraft are not this plug-in's (XPLMAcquirePlanes first)", api));
    return false;
}

void Release() {
    g_planes.holder = XPLM_NO_PLUGIN_ID;
    g_planes.active = kTotalAircraft;
    XPLMPlanesAvailable_f fn = g_planes.waiting;
    void* refcon = g_planes.waitingRefcon;
    int owner = g_planes.waitingOwner;
    g_planes.waiting = nullptr;
    if (!fn) return;
    PluginScope scope(owner, "planes");
    fn(refcon);
}

}  // namespace

void ResetPlanes() { g_planes = Planes(); }

void ForgetPlanes(int pluginId) {
    if (g_planes.waiting && g_planes.waitingOwner == pluginId) g_planes.waiting = nullptr;
    if (g_planes.holder == pluginId) Release();
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API void XPLMSetUsersAircraft(const char* inAircraftPath) {
    ApiCall("XPLMSetUsersAircraft");
    if (!inAircraftPath || !*inAircraftPath) {
        Misuse("XPLMSetUsersAircraft: no aircraft path");
        return;
    }
    std::string path = inAircraftPath;
    std::string root = W().simFolder + "\\";
    if (_strnicmp(path.c_str(), root.c_str(), root.size()) == 0) path = path.substr(root.size());
    g_planes.userAircraft = path;
    LogOnce("useraircraft", "XPLMSetUsersAircraft: the aircraft is only renamed here; nothing is loaded");
}

XPLM_API void XPLMPlaceUserAtAirport(const char* inAirportCode) {
    ApiCall("XPLMPlaceUserAtAirport");
    LogOnce("placeuser", Format("XPLMPlaceUserAtAirport: no airport \"%s\" (no navigation database); the "
                                "aircraft stays where it is",
                                inAirportCode ? inAirportCode : ""));
}

XPLM_API void XPLMCountAircraft(int* outTotalAircraft, int* outActiveAircraft, XPLMPluginID* outController) {
    ApiCall("XPLMCountAircraft");
    if (outTotalAircraft) *outTotalAircraft = kTotalAircraft;
    if (outActiveAircraft) *outActiveAircraft = g_planes.active;
    if (outController) *outController = g_planes.holder;
}

XPLM_API void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath) {
    ApiCall("XPLMGetNthAircraftModel");
    std::string path, file;
    if (inIndex == XPLM_USER_AIRCRAFT) {
        path = W().simFolder + "\\" + g_planes.userAircraft;
        size_t slash = path.find_last_of('\\');
        file = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    // The SDK's buffers: 256 bytes for the file name, 512 for the path; no model gives empty names.
    if (outFileName) snprintf(outFileName, 256, "%s", file.c_str());
    if (outPath) snprintf(outPath, 512, "%s", path.c_str());
}

XPLM_API int XPLMAcquirePlanes(char** inAircraft, XPLMPlanesAvailable_f inCallback, void* inRefcon) {
    ApiCall("XPLMAcquirePlanes");
    int me = CurrentPlugin();
    if (g_planes.holder == XPLM_NO_PLUGIN_ID || g_planes.holder == me) {
        g_planes.holder = me;
        return 1;
    }
    g_planes.waiting = inCallback;
    g_planes.waitingRefcon = inRefcon;
    g_planes.waitingOwner = me;
    return 0;
}

XPLM_API void XPLMReleasePlanes(void) {
    ApiCall("XPLMReleasePlanes");
    if (Holder("XPLMReleasePlanes")) Release();
}

XPLM_API void XPLMSetActiveAircraftCount(int inCount) {
    ApiCall("XPLMSetActiveAircraftCount");
    if (!Holder("XPLMSetActiveAircraftCount")) return;
    // Never more than there are, never fewer than the user's own.
    g_planes.active = inCount < 1 ? 1 : inCount > kTotalAircraft ? kTotalAircraft : inCount;
}

XPLM_API void XPLMSetAircraftModel(int inIndex, const char* inAircraftPath) {
    ApiCall("XPLMSetAircraftModel");
    if (!Holder("XPLMSetAircraftModel")) return;
    if (inIndex == XPLM_USER_AIRCRAFT) Misuse("XPLMSetAircraftModel: the user's aircraft is set with XPLMSetUsersAircraft");
    else Misuse(Format("XPLMSetAircraftModel: no aircraft %d (there is only the user's)", inIndex));
}

XPLM_API void XPLMDisableAIForPlane(int inPlaneIndex) {
    ApiCall("XPLMDisableAIForPlane");
    if (inPlaneIndex <= XPLM_USER_AIRCRAFT || inPlaneIndex >= kTotalAircraft)
        Misuse(Format("XPLMDisableAIForPlane: no other aircraft %d", inPlaneIndex));
}

XPLM_API void XPLMDrawAircraft(int inPlaneIndex, float inX, float inY, float inZ, float inPitch, float inRoll,
                               float inYaw, int inFullDraw, XPLMPlaneDrawState_t* inDrawStateInfo) {
    ApiCall("XPLMDrawAircraft");
    int phase = CurrentDrawingPhase();
    if (phase < 0 || phase > xplm_Phase_LastScene) {
        Misuse("XPLMDrawAircraft: outside a 3-d drawing callback");
        return;
    }
    if (inPlaneIndex < 0 || inPlaneIndex >= kTotalAircraft)
        Misuse(Format("XPLMDrawAircraft: no aircraft %d", inPlaneIndex));
}

XPLM_API void XPLMReinitUsersPlane(void) {
    ApiCall("XPLMReinitUsersPlane");
    LogOnce("reinit", "XPLMReinitUsersPlane: the stand-in aircraft has nothing to reload");
}

}  // extern "C"
