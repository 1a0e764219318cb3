#include "simlink/datarefs.h"

#include <cstdio>
#include <cstring>

#include "base/checks.h"
#include "base/log.h"

DatarefHandles Datarefs;

namespace {

// Names of the datarefs already logged as missing: some are looked up every second. Only the
// simulator's thread looks datarefs up, so the list needs no lock.
constexpr int kMissingNames = 64;
constexpr size_t kMissingNameSize = 128;
char g_missing[kMissingNames][kMissingNameSize];
int g_missingCount = 0;

void LogMissingOnce(const char* name) {
    for (int i = 0; i < g_missingCount; ++i)
        if (strncmp(g_missing[i], name, kMissingNameSize - 1) == 0) return;
    // A full list stops the lines: a plug-in looking up that many missing names floods nothing.
    if (!DURAR_CHECK(g_missingCount, <, kMissingNames)) return;
    snprintf(g_missing[g_missingCount++], kMissingNameSize, "%s", name);
    LogLine("dataref %s not found; it reads as 0", name);
}

}  // namespace

void ResetDatarefs() {
    Datarefs = DatarefHandles();
    memset(g_missing, 0, sizeof g_missing);
    g_missingCount = 0;
}

DatarefHandle FindDataref(const char* name) {
    DatarefHandle d;
    if (!name || !CHECK_SIMULATOR_THREAD()) return d;
    d.ref = XPLMFindDataRef(name);
    if (!d.ref) {
        LogMissingOnce(name);
        return d;
    }
    d.types = XPLMGetDataRefTypes(d.ref);
    d.writable = XPLMCanWriteDataRef(d.ref) != 0;
    if (!(d.types & (xplmType_Int | xplmType_Float | xplmType_Double)))
        LogLineLimited(LogDatarefType, 60000, "dataref %s has no single value (types %d); it reads as 0", name,
                       d.types);
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
    d.zuluHour = FindDataref("sim/cockpit2/clock_timer/zulu_time_hours");
}

void FindPositionDatarefs() {
    Datarefs.latitude = FindDataref("sim/flightmodel/position/latitude");
    Datarefs.longitude = FindDataref("sim/flightmodel/position/longitude");
}
