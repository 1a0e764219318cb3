// Features: switches each plug-in turns on for itself. The one feature of this API level changes
// nothing on Windows, where the simulator's paths are native in any case.
#include <set>
#include <utility>

#include "XPLMPlugin.h"
#include "areas.h"
#include "world.h"

namespace sim {
namespace {

const char* const kFeatures[] = {"XPLM_USE_NATIVE_PATHS"};

std::set<std::pair<int, std::string>> g_enabled;

bool Known(const char* feature) {
    if (!feature) return false;
    for (const char* f : kFeatures)
        if (std::string(f) == feature) return true;
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
    for (const char* f : kFeatures) inEnumerator(f, inRef);
}

}  // extern "C"
