#pragma once
// Taking over the camera from the simulator.
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef int XPLMCameraControlDuration;
enum { xplm_ControlCameraUntilViewChanges = 1, xplm_ControlCameraForever = 2 };

// Local OpenGL coordinates in metres, angles in degrees, zoom 1.0 = normal.
typedef struct {
    float x;
    float y;
    float z;
    float pitch;
    float heading;
    float roll;
    float zoom;
} XPLMCameraPosition_t;

// Called every frame while the plug-in controls the camera; return 1 to keep control. Called
// once more with inIsLosingControl = 1 (and a null position) when control is taken away.
typedef int (*XPLMCameraControl_f)(XPLMCameraPosition_t* outCameraPosition, int inIsLosingControl,
                                   void* inRefcon);

XPLM_API void XPLMControlCamera(XPLMCameraControlDuration inHowLong, XPLMCameraControl_f inControlFunc,
                                void* inRefcon);
XPLM_API void XPLMDontControlCamera(void);
XPLM_API int XPLMIsCameraBeingControlled(XPLMCameraControlDuration* outCameraControlDuration);
XPLM_API void XPLMReadCameraPosition(XPLMCameraPosition_t* outCameraPosition);

#ifdef __cplusplus
}
#endif
