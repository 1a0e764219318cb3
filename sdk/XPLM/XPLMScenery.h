#pragma once
// Terrain probes and scenery objects.
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef int XPLMProbeType;
enum { xplm_ProbeY = 0 };

typedef int XPLMProbeResult;
enum { xplm_ProbeHitTerrain = 0, xplm_ProbeError = 1, xplm_ProbeMissed = 2 };

typedef void* XPLMProbeRef;

typedef struct {
    int structSize;  // filled in by the caller
    float locationX;
    float locationY;
    float locationZ;
    float normalX;
    float normalY;
    float normalZ;
    float velocityX;
    float velocityY;
    float velocityZ;
    int is_wet;
} XPLMProbeInfo_t;

XPLM_API XPLMProbeRef XPLMCreateProbe(XPLMProbeType inProbeType);
XPLM_API void XPLMDestroyProbe(XPLMProbeRef inProbe);
XPLM_API XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef inProbe, float inX, float inY, float inZ,
                                             XPLMProbeInfo_t* outInfo);

typedef void* XPLMObjectRef;

typedef struct {
    int structSize;  // filled in by the caller
    float x;
    float y;
    float z;
    float pitch;
    float heading;
    float roll;
} XPLMDrawInfo_t;

typedef void (*XPLMObjectLoaded_f)(XPLMObjectRef inObject, void* inRefcon);
typedef void (*XPLMLibraryEnumerator_f)(const char* inFilePath, void* inRef);

XPLM_API XPLMObjectRef XPLMLoadObject(const char* inPath);
XPLM_API void XPLMLoadObjectAsync(const char* inPath, XPLMObjectLoaded_f inCallback, void* inRefcon);
XPLM_API void XPLMDrawObjects(XPLMObjectRef inObject, int inCount, XPLMDrawInfo_t* inLocations, int lighting,
                              int earth_relative);
XPLM_API void XPLMUnloadObject(XPLMObjectRef inObject);
XPLM_API int XPLMLookupObjects(const char* inPath, float inLatitude, float inLongitude,
                               XPLMLibraryEnumerator_f enumerator, void* ref);

#ifdef __cplusplus
}
#endif
