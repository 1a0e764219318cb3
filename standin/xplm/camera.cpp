// The camera: the simulator's own view, or a plug-in that has taken it over.
#include "XPLMCamera.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

struct CameraControl {
    XPLMCameraControl_f fn = nullptr;
    void* refcon = nullptr;
    int owner = 0;
    XPLMCameraControlDuration duration = 0;
};

CameraControl g_control;
XPLMCameraPosition_t g_position = {0, 0, 0, 0, 0, 0, 1.0f};

// The simulator's own view follows the user's aircraft as the datarefs place it.
void DefaultView() {
    double value = 0;
    auto get = [&](const char* name, float fallback) {
        return SIM_GetDataref(name, &value) ? (float)value : fallback;
    };
    g_position.x = get("sim/flightmodel/position/local_x", 0);
    g_position.y = get("sim/flightmodel/position/local_y", 0);
    g_position.z = get("sim/flightmodel/position/local_z", 0);
    g_position.pitch = get("sim/flightmodel/position/theta", 0);
    g_position.heading = get("sim/flightmodel/position/psi", 0);
    g_position.roll = get("sim/flightmodel/position/phi", 0);
    g_position.zoom = 1.0f;
}

// Takes control away from its holder, which hears of it once more with the losing flag.
void Revoke() {
    CameraControl was = g_control;
    g_control = CameraControl();
    if (!was.fn) return;
    PluginScope scope(was.owner);
    was.fn(nullptr, 1, was.refcon);
}

}  // namespace

void RunCameraControl() {
    if (!g_control.fn) {
        DefaultView();
        return;
    }
    XPLMCameraPosition_t next = g_position;
    int keep;
    {
        PluginScope scope(g_control.owner);
        keep = g_control.fn(&next, 0, g_control.refcon);
    }
    if (!g_control.fn) return;  // released from inside its callback
    if (keep) {
        g_position = next;
    } else {
        g_control = CameraControl();
        DefaultView();
    }
}

void ResetCamera() {
    g_control = CameraControl();
    g_position = {0, 0, 0, 0, 0, 0, 1.0f};
}

void ForgetCamera(int pluginId) {
    if (g_control.fn && g_control.owner == pluginId) g_control = CameraControl();
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_ViewChanged(void) {
    // The user picked another view: control "until the view changes" ends.
    if (g_control.fn && g_control.duration == xplm_ControlCameraUntilViewChanges) Revoke();
}

XPLM_API void XPLMControlCamera(XPLMCameraControlDuration inHowLong, XPLMCameraControl_f inControlFunc,
                                void* inRefcon) {
    ApiCall("XPLMControlCamera");
    if (!inControlFunc ||
        (inHowLong != xplm_ControlCameraUntilViewChanges && inHowLong != xplm_ControlCameraForever)) {
        Misuse("XPLMControlCamera: no callback or an unknown duration");
        return;
    }
    if (g_control.fn && g_control.owner != CurrentPlugin()) Revoke();
    g_control.fn = inControlFunc;
    g_control.refcon = inRefcon;
    g_control.owner = CurrentPlugin();
    g_control.duration = inHowLong;
}

XPLM_API void XPLMDontControlCamera(void) {
    ApiCall("XPLMDontControlCamera");
    // Given up by its holder: no losing-control call, the simulator's view is back next frame.
    if (g_control.fn && g_control.owner == CurrentPlugin()) g_control = CameraControl();
}

XPLM_API int XPLMIsCameraBeingControlled(XPLMCameraControlDuration* outCameraControlDuration) {
    ApiCall("XPLMIsCameraBeingControlled");
    if (!g_control.fn) return 0;
    if (outCameraControlDuration) *outCameraControlDuration = g_control.duration;
    return 1;
}

XPLM_API void XPLMReadCameraPosition(XPLMCameraPosition_t* outCameraPosition) {
    ApiCall("XPLMReadCameraPosition");
    if (outCameraPosition) *outCameraPosition = g_position;
}

}  // extern "C"
