// OpenGL state, texture numbers and the local coordinate system. The stand-in draws no 3-d scene:
// the state is kept so that what a plug-in set is what it would get.
#include <cmath>

#include "XPLMGraphics.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

const int kTextureUnits = 4;
// Texture numbers the simulator keeps for itself: its UI bitmap and the aircraft textures.
const int kGeneralInterfaceTexture = 1, kAircraftPaintTexture = 2, kAircraftLiteMapTexture = 3;
int g_nextTexture = 1000;
int g_bound[kTextureUnits] = {};

const double kEarthRadius = 6378145.0;  // metres
const double kPi = 3.14159265358979323846;

// The local origin: on the ground at the reference point the simulator picked near the aircraft.
void Origin(double* lat, double* lon) {
    double value = 0;
    *lat = SIM_GetDataref("sim/flightmodel/position/lat_ref", &value) ? value : 0;
    *lon = SIM_GetDataref("sim/flightmodel/position/lon_ref", &value) ? value : 0;
}

}  // namespace
}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API void XPLMSetGraphicsState(int inEnableFog, int inNumberTexUnits, int inEnableLighting,
                                   int inEnableAlphaTesting, int inEnableAlphaBlending, int inEnableDepthTesting,
                                   int inEnableDepthWriting) {
    ApiCall("XPLMSetGraphicsState");
    if (!DrawingCall("XPLMSetGraphicsState")) return;
    if (inNumberTexUnits < 0 || inNumberTexUnits > kTextureUnits)
        Misuse(Format("XPLMSetGraphicsState: %d texture units (0..%d)", inNumberTexUnits, kTextureUnits));
}

XPLM_API void XPLMBindTexture2d(int inTextureNum, int inTextureUnit) {
    ApiCall("XPLMBindTexture2d");
    if (!DrawingCall("XPLMBindTexture2d")) return;
    if (inTextureUnit < 0 || inTextureUnit >= kTextureUnits) {
        Misuse(Format("XPLMBindTexture2d: texture unit %d (0..%d)", inTextureUnit, kTextureUnits - 1));
        return;
    }
    g_bound[inTextureUnit] = inTextureNum;
}

XPLM_API void XPLMGenerateTextureNumbers(int* outTextureIDs, int inCount) {
    ApiCall("XPLMGenerateTextureNumbers");
    if (inCount <= 0) return;
    if (!outTextureIDs) {
        Misuse("XPLMGenerateTextureNumbers: no buffer");
        return;
    }
    for (int i = 0; i < inCount; ++i) outTextureIDs[i] = g_nextTexture++;
}

XPLM_API int XPLMGetTexture(XPLMTextureID inTexture) {
    ApiCall("XPLMGetTexture");
    switch (inTexture) {
        case xplm_Tex_GeneralInterface: return kGeneralInterfaceTexture;
        case xplm_Tex_AircraftPaint: return kAircraftPaintTexture;
        case xplm_Tex_AircraftLiteMap: return kAircraftLiteMapTexture;
        default: return 0;
    }
}

XPLM_API void XPLMWorldToLocal(double inLatitude, double inLongitude, double inAltitude, double* outX,
                               double* outY, double* outZ) {
    ApiCall("XPLMWorldToLocal");
    double lat0, lon0;
    Origin(&lat0, &lon0);
    double dLon = std::remainder(inLongitude - lon0, 360.0);
    if (outX) *outX = kEarthRadius * std::cos(lat0 * kPi / 180) * dLon * kPi / 180;
    if (outY) *outY = inAltitude;
    if (outZ) *outZ = -kEarthRadius * (inLatitude - lat0) * kPi / 180;
}

XPLM_API void XPLMLocalToWorld(double inX, double inY, double inZ, double* outLatitude, double* outLongitude,
                               double* outAltitude) {
    ApiCall("XPLMLocalToWorld");
    double lat0, lon0;
    Origin(&lat0, &lon0);
    double scale = kEarthRadius * std::cos(lat0 * kPi / 180);
    if (outLatitude) *outLatitude = lat0 - inZ / kEarthRadius * 180 / kPi;
    if (outLongitude) *outLongitude = std::remainder(lon0 + (scale > 1 ? inX / scale * 180 / kPi : 0), 360.0);
    if (outAltitude) *outAltitude = inY;
}

}  // extern "C"
