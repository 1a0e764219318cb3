// Navigation: the stand-in has no navigation database (every search finds nothing), but the FMS
// holds the entries plug-ins give it, as the simulator's does.
#include <cstdio>
#include <cstring>

#include "XPLMNavigation.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

const int kFmsEntries = 100;

struct FmsEntry {
    XPLMNavType type = xplm_Nav_Unknown;
    int altitude = 0;
    float lat = 0, lon = 0;
};

struct Fms {
    FmsEntry entries[kFmsEntries];
    int count = 0;  // entries in use, from 0
    int displayed = 0;
    int destination = 0;
} g_fms;

void NoDatabase(const char* api) {
    LogOnce("navdb", std::string(api) + ": this simulator has no navigation database; nothing is found");
}

bool FmsIndex(int index, const char* api) {
    if (index >= 0 && index < kFmsEntries) return true;
    Misuse(Format("%s: FMS entry %d outside 0..%d", api, index, kFmsEntries - 1));
    return false;
}

void CopyOut(char* out, size_t size, const char* text) {
    if (!out) return;
    snprintf(out, size, "%s", text);
}

}  // namespace

void ResetNavigation() { g_fms = Fms(); }

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API XPLMNavRef XPLMGetFirstNavAid(void) {
    ApiCall("XPLMGetFirstNavAid");
    NoDatabase("XPLMGetFirstNavAid");
    return XPLM_NAV_NOT_FOUND;
}

XPLM_API XPLMNavRef XPLMGetNextNavAid(XPLMNavRef inNavAidRef) {
    ApiCall("XPLMGetNextNavAid");
    // With an empty database no reference but "not found" was ever given out.
    if (inNavAidRef != XPLM_NAV_NOT_FOUND) Misuse(Format("XPLMGetNextNavAid: not a navaid (%d)", inNavAidRef));
    return XPLM_NAV_NOT_FOUND;
}

XPLM_API XPLMNavRef XPLMFindFirstNavAidOfType(XPLMNavType inType) {
    ApiCall("XPLMFindFirstNavAidOfType");
    NoDatabase("XPLMFindFirstNavAidOfType");
    return XPLM_NAV_NOT_FOUND;
}

XPLM_API XPLMNavRef XPLMFindLastNavAidOfType(XPLMNavType inType) {
    ApiCall("XPLMFindLastNavAidOfType");
    NoDatabase("XPLMFindLastNavAidOfType");
    return XPLM_NAV_NOT_FOUND;
}

XPLM_API XPLMNavRef XPLMFindNavAid(const char* inNameFragment, const char* inIDFragment, float* inLat,
                                   float* inLon, int* inFrequency, XPLMNavType inType) {
    ApiCall("XPLMFindNavAid");
    if ((inLat == nullptr) != (inLon == nullptr)) Misuse("XPLMFindNavAid: a latitude without a longitude");
    NoDatabase("XPLMFindNavAid");
    return XPLM_NAV_NOT_FOUND;
}

XPLM_API void XPLMGetNavAidInfo(XPLMNavRef inRef, XPLMNavType* outType, float* outLatitude, float* outLongitude,
                                float* outHeight, int* outFrequency, float* outHeading, char* outID,
                                char* outName, char* outReg) {
    ApiCall("XPLMGetNavAidInfo");
    Misuse(Format("XPLMGetNavAidInfo: not a navaid (%d)", inRef));
    if (outType) *outType = xplm_Nav_Unknown;
}

XPLM_API int XPLMCountFMSEntries(void) {
    ApiCall("XPLMCountFMSEntries");
    return g_fms.count;
}

XPLM_API int XPLMGetDisplayedFMSEntry(void) {
    ApiCall("XPLMGetDisplayedFMSEntry");
    return g_fms.displayed;
}

XPLM_API int XPLMGetDestinationFMSEntry(void) {
    ApiCall("XPLMGetDestinationFMSEntry");
    return g_fms.destination;
}

XPLM_API void XPLMSetDisplayedFMSEntry(int inIndex) {
    ApiCall("XPLMSetDisplayedFMSEntry");
    if (FmsIndex(inIndex, "XPLMSetDisplayedFMSEntry")) g_fms.displayed = inIndex;
}

XPLM_API void XPLMSetDestinationFMSEntry(int inIndex) {
    ApiCall("XPLMSetDestinationFMSEntry");
    if (FmsIndex(inIndex, "XPLMSetDestinationFMSEntry")) g_fms.destination = inIndex;
}

XPLM_API void XPLMGetFMSEntryInfo(int inIndex, XPLMNavType* outType, char* outID, XPLMNavRef* outRef,
                                  int* outAltitude, float* outLat, float* outLon) {
    ApiCall("XPLMGetFMSEntryInfo");
    if (!FmsIndex(inIndex, "XPLMGetFMSEntryInfo")) return;
    const FmsEntry& e = g_fms.entries[inIndex];
    if (outType) *outType = e.type;
    // Lat/lon entries have no identifier; the ID buffer holds at least 32 bytes.
    CopyOut(outID, 32, "");
    if (outRef) *outRef = XPLM_NAV_NOT_FOUND;
    if (outAltitude) *outAltitude = e.altitude;
    if (outLat) *outLat = e.lat;
    if (outLon) *outLon = e.lon;
}

XPLM_API void XPLMSetFMSEntryInfo(int inIndex, XPLMNavRef inRef, int inAltitude) {
    ApiCall("XPLMSetFMSEntryInfo");
    if (!FmsIndex(inIndex, "XPLMSetFMSEntryInfo")) return;
    // Only database navaids go in this way, and the database is empty.
    Misuse(Format("XPLMSetFMSEntryInfo: not a navaid (%d)", inRef));
}

XPLM_API void XPLMSetFMSEntryLatLon(int inIndex, float inLat, float inLon, int inAltitude) {
    ApiCall("XPLMSetFMSEntryLatLon");
    if (!FmsIndex(inIndex, "XPLMSetFMSEntryLatLon")) return;
    if (inLat < -90 || inLat > 90 || inLon < -180 || inLon > 180) {
        Misuse(Format("XPLMSetFMSEntryLatLon: %.4f,%.4f is not a position", inLat, inLon));
        return;
    }
    // Writing past the end extends the plan; entries in between stay empty.
    FmsEntry& e = g_fms.entries[inIndex];
    e.type = xplm_Nav_LatLon;
    e.lat = inLat;
    e.lon = inLon;
    e.altitude = inAltitude;
    if (inIndex >= g_fms.count) g_fms.count = inIndex + 1;
}

XPLM_API void XPLMClearFMSEntry(int inIndex) {
    ApiCall("XPLMClearFMSEntry");
    if (!FmsIndex(inIndex, "XPLMClearFMSEntry") || inIndex >= g_fms.count) return;
    // The entries behind move up one place.
    for (int i = inIndex; i + 1 < g_fms.count; ++i) g_fms.entries[i] = g_fms.entries[i + 1];
    g_fms.entries[--g_fms.count] = FmsEntry();
    if (g_fms.displayed > 0 && g_fms.displayed >= g_fms.count) g_fms.displayed = g_fms.count ? g_fms.count - 1 : 0;
    if (g_fms.destination > 0 && g_fms.destination >= g_fms.count)
        g_fms.destination = g_fms.count ? g_fms.count - 1 : 0;
}

XPLM_API XPLMNavType XPLMGetGPSDestinationType(void) {
    ApiCall("XPLMGetGPSDestinationType");
    // The GPS flies to the FMS destination.
    return g_fms.destination < g_fms.count ? g_fms.entries[g_fms.destination].type : xplm_Nav_Unknown;
}

XPLM_API XPLMNavRef XPLMGetGPSDestination(void) {
    ApiCall("XPLMGetGPSDestination");
    return XPLM_NAV_NOT_FOUND;
}

}  // extern "C"
