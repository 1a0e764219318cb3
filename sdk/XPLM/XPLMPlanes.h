#pragma once
// The user's aircraft and the other (AI and multiplayer) aircraft.
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

#define XPLM_USER_AIRCRAFT 0

typedef struct {
    int structSize;  // sizeof(XPLMPlaneDrawState_t), filled in by the caller
    float gearPosition;
    float flapRatio;
    float spoilerRatio;
    float speedBrakeRatio;
    float slatRatio;
    float wingSweep;
    float thrust;
    float yokePitch;
    float yokeHeading;
    float yokeRoll;
} XPLMPlaneDrawState_t;

typedef void (*XPLMPlanesAvailable_f)(void* inRefcon);

XPLM_API void XPLMSetUsersAircraft(const char* inAircraftPath);
XPLM_API void XPLMPlaceUserAtAirport(const char* inAirportCode);
XPLM_API void XPLMCountAircraft(int* outTotalAircraft, int* outActiveAircraft, XPLMPluginID* outController);
// outFileName takes 256 bytes, outPath 512.
XPLM_API void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath);
// inAircraft: a null-terminated list of paths (or null); 1 when the planes are now ours.
XPLM_API int XPLMAcquirePlanes(char** inAircraft, XPLMPlanesAvailable_f inCallback, void* inRefcon);
XPLM_API void XPLMReleasePlanes(void);
XPLM_API void XPLMSetActiveAircraftCount(int inCount);
XPLM_API void XPLMSetAircraftModel(int inIndex, const char* inAircraftPath);
XPLM_API void XPLMDisableAIForPlane(int inPlaneIndex);
XPLM_API void XPLMDrawAircraft(int inPlaneIndex, float inX, float inY, float inZ, float inPitch, float inRoll,
                               float inYaw, int inFullDraw, XPLMPlaneDrawState_t* inDrawStateInfo);
XPLM_API void XPLMReinitUsersPlane(void);

#ifdef __cplusplus
}
#endif
