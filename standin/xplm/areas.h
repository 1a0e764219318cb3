#pragma once
// Steps and clean-ups of the API areas that live in their own files, called by the frame cycle
// (frame.cpp) and when a plug-in goes away.
#include <string>

namespace sim {

void ForgetDrawCallbacks(int pluginId);
void ForgetCamera(int pluginId);
void ForgetPlanes(int pluginId);
void ForgetScenery(int pluginId);
void ForgetFeatures(int pluginId);
void ForgetSystem(int pluginId);
void ForgetOwnedData(int pluginId);

// Back to a fresh world (SIM_Init): every area's state cleared; records of handles given out stay
// so that stale ones are still recognised.
void ResetAreas();
void ResetDrawing();
void ResetCamera();
void ResetNavigation();
void ResetPlanes();
void ResetScenery();
void ResetFeatures();
void ResetSystem();
void ResetOwnedData();

void RunHeldCommands();
void CompleteObjectLoads();
void RunCameraControl();

// The drawing phase whose callbacks run now, -1 outside drawing callbacks.
int CurrentDrawingPhase();
// Whether the plug-in turned on a feature (XPLMEnableFeature).
bool FeatureEnabled(int pluginId, const std::string& feature);

}  // namespace sim
