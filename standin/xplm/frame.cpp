// The frame steps and plug-in clean-up of the API areas kept outside the world record.
#include <set>

#include "areas.h"
#include "world.h"

namespace sim {

void RunFrameWork() {
    RunHeldCommands();
    CompleteObjectLoads();
    RunCameraControl();
}

void ForgetPluginExtras(int pluginId) {
    ForgetDrawCallbacks(pluginId);
    ForgetCamera(pluginId);
    ForgetPlanes(pluginId);
    ForgetScenery(pluginId);
    ForgetFeatures(pluginId);
    ForgetSystem(pluginId);
    ForgetOwnedData(pluginId);
}

void ResetAreas() {
    ResetDrawing();
    ResetCamera();
    ResetNavigation();
    ResetPlanes();
    ResetScenery();
    ResetFeatures();
    ResetSystem();
    ResetOwnedData();
}

void LogOnce(const std::string& key, const std::string& line) {
    static std::set<std::string> said;
    if (!said.insert(key).second) return;
    AppendLog(("X-Plane stand-in: " + line + "\n").c_str());
}

}  // namespace sim
