// Features: switches each plug-in turns on for itself. Native paths change nothing on Windows,
// where the simulator's paths are native in any case.
#include <set>
#include <utility>

#include "XPLMPlugin.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

// Each with the simulator version that brought it: native widget windows (modern windows under
// every root widget the plug-in makes from then on) came with 11.20.
const struct {
    const char* name;
    int version;
} kFeatures[] = {{"XPLM_USE_NATIVE_PATHS", 0}, {"XPLM_USE_NATIVE_WIDGET_WINDOWS", 11200}};

std::set<std::pair<int, std::string>> g_enabled;

bool Known(const char* feature) {
    if (!feature) return false;
    for (const auto& f : kFeatures)
        if (std::string(f.name) == feature) return W().xplaneVersion >= f.version;
    return false;
}

}  // namespace

bool FeatureEnabled(int pluginId, const std::string& feature) { return g_enabled.count({pluginId, feature}) != 0; }

void ResetFeatures() { g_enabled.clear(); }

void ForgetFeatures(int pluginId) {
    for (auto it = g_enabled.begin(); it != g_enabled.end();) it = it->first == pluginId ? g_enabled.erase(it) : ++it;
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API int XPLMHasFeature(const char* inFeature) {
    ApiCall("XPLMHasFeature");
    return Known(inFeature) ? 1 : 0;
}

XPLM_API int XPLMIsFeatureEnabled(const char* inFeature) {
    ApiCall("XPLMIsFeatureEnabled");
    return Known(inFeature) && FeatureEnabled(CurrentPlugin(), inFeature) ? 1 : 0;
}

XPLM_API void XPLMEnableFeature(const char* inFeature, int inEnable) {
    ApiCall("XPLMEnableFeature");
    if (!Known(inFeature)) {
        LogOnce(std::string("feature ") + (inFeature ? inFeature : ""),
                Format("XPLMEnableFeature: no feature \"%s\" here", inFeature ? inFeature : ""));
        return;
    }
    if (inEnable) g_enabled.insert({CurrentPlugin(), inFeature});
    else g_enabled.erase({CurrentPlugin(), inFeature});
}

XPLM_API void XPLMEnumerateFeatures(XPLMFeatureEnumerator_f inEnumerator, void* inRef) {
    ApiCall("XPLMEnumerateFeatures");
    if (!inEnumerator) return;
    for (const auto& f : kFeatures)
        if (W().xplaneVersion >= f.version) inEnumerator(f.name, inRef);
}

}  // extern "C"
