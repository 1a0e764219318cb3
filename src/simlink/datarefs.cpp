#include "simlink/datarefs.h"

#include <cstdio>
#include <cstring>

#include "base/checks.h"
#include "base/log.h"

DatarefHandles Datarefs;

namespace {

// Names of the datarefs already logged as missing, and of those logged as having no single
// value: some are looked up every second. Only the simulator's thread looks datarefs up, so the
// lists need no lock.
constexpr int kLoggedNames = 64;
constexpr size_t kLoggedNameSize = 128;
struct LoggedNames {
    char names[kLoggedNames][kLoggedNameSize];
    int count;
};
LoggedNames g_missing;
LoggedNames g_noSingleValue;

// True the first time a name is given: it is to be logged now.
bool FirstMention(LoggedNames& logged, const char* name) {
    for (int i = 0; i < logged.count; ++i)
        if (strncmp(logged.names[i], name, kLoggedNameSize - 1) == 0) return false;
    // A full list stops the lines: a plug-in looking up that many such names floods nothing.
    if (!DURAR_CHECK(logged.count, <, kLoggedNames)) return false;
    snprintf(logged.names[logged.count++], kLoggedNameSize, "%s", name);
    return true;
}

}  // namespace

void ResetDatarefs() {
    Datarefs = DatarefHandles();
    memset(&g_missing, 0, sizeof g_missing);
    memset(&g_noSingleValue, 0, sizeof g_noSingleValue);
}

DatarefHandle FindDataref(const char* name) {
    DatarefHandle d;
    if (!name || !CHECK_SIMULATOR_THREAD()) return d;
    d.ref = XPLMFindDataRef(name);
    if (!d.ref) {
        if (FirstMention(g_missing, name)) LogLine("dataref %s not found; it reads as 0", name);
        return d;
    }
    d.types = XPLMGetDataRefTypes(d.ref);
    d.writable = XPLMCanWriteDataRef(d.ref) != 0;
    // Each one named once, however often it is looked up.
    if (!(d.types & (xplmType_Int | xplmType_Float | xplmType_Double)) && FirstMention(g_noSingleValue, name))
        LogLine("dataref %s has no single value (types %d); it reads as 0", name, d.types);
    return d;
}

double ReadDataref(const DatarefHandle& d) {
    // Off the simulator's thread the simulator must not be asked: it reads as a missing one.
    if (!d.ref || !CHECK_SIMULATOR_THREAD()) return 0.0;
    if (d.types & xplmType_Double) return XPLMGetDatad(d.ref);
    if (d.types & xplmType_Float) return XPLMGetDataf(d.ref);
    if (d.types & xplmType_Int) return XPLMGetDatai(d.ref);
    return 0.0;
}

void WriteDataref(const DatarefHandle& d, double value) {
    if (!d.ref || !d.writable || !CHECK_SIMULATOR_THREAD()) return;
    if (d.types & xplmType_Float) XPLMSetDataf(d.ref, (float)value);
    else if (d.types & xplmType_Double) XPLMSetDatad(d.ref, value);
    else if (d.types & xplmType_Int) XPLMSetDatai(d.ref, (int)value);
}

void FindFlightLoopDatarefs() {
    DatarefHandles& d = Datarefs;
    d.onGround = FindDataref("sim/flightmodel/failures/onground_any");
    d.killAtc = FindDataref("sim/private/controls/perf/kill_atc");
    d.windDirection = FindDataref("sim/weather/wind_direction_degt");
    d.windSpeed = FindDataref("sim/weather/wind_speed_kt[0]");
    d.shearSpeed = FindDataref("sim/weather/shear_speed_kt[0]");
    d.barometer = FindDataref("sim/weather/barometer_sealevel_inhg");
    d.visibility = FindDataref("sim/weather/visibility_reported_m");
    d.temperature = FindDataref("sim/weather/temperature_ambient_c");
    d.dewPoint = FindDataref("sim/weather/dewpoi_sealevel_c");
    d.cloudCoverage[0] = FindDataref("sim/weather/cloud_coverage[0]");
    d.cloudCoverage[1] = FindDataref("sim/weather/cloud_coverage[1]");
    d.cloudCoverage[2] = FindDataref("sim/weather/cloud_coverage[2]");
    d.cloudType[0] = FindDataref("sim/weather/cloud_type[0]");
    d.cloudType[1] = FindDataref("sim/weather/cloud_type[1]");
    d.cloudType[2] = FindDataref("sim/weather/cloud_type[2]");
    d.cloudBase[0] = FindDataref("sim/weather/cloud_base_msl_m[0]");
    d.cloudBase[1] = FindDataref("sim/weather/cloud_base_msl_m[1]");
    d.cloudBase[2] = FindDataref("sim/weather/cloud_base_msl_m[2]");
    d.com1 = FindDataref("sim/cockpit/radios/com1_freq_hz");
}

void FindPositionDatarefs() {
    Datarefs.latitude = FindDataref("sim/flightmodel/position/latitude");
    Datarefs.longitude = FindDataref("sim/flightmodel/position/longitude");
}
