#include "simlink/datarefs.h"

#include <cstdio>
#include <cstring>

#include "XPLMUtilities.h"
#include "base/checks.h"
#include "base/log.h"
#include "simlink/native_atc.h"

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
// The version and weather source were named in the log since the plug-in was loaded.
bool g_sourceLogged = false;

// True the first time a name is given: it is to be logged now.
bool FirstMention(LoggedNames& logged, const char* name) {
    for (int i = 0; i < logged.count; ++i)
        if (strncmp(logged.names[i], name, kLoggedNameSize - 1) == 0) return false;
    // A full list stops the lines: a plug-in looking up that many such names floods nothing.
    if (!DURAR_CHECK(logged.count, <, kLoggedNames)) return false;
    snprintf(logged.names[logged.count++], kLoggedNameSize, "%s", name);
    return true;
}

// The handle of a dataref that exists, with its types and writability.
DatarefHandle HandleOf(XPLMDataRef ref) {
    DatarefHandle d;
    d.ref = ref;
    d.types = XPLMGetDataRefTypes(ref);
    d.writable = XPLMCanWriteDataRef(ref) != 0;
    return d;
}

// A dataref looked up (the caller checked the thread, so the log names the caller); when it is
// missing or has none of the wanted types, it is named once in the log, however often it is
// looked up.
DatarefHandle FindNamedOnce(const char* name, int wanted, const char* lacking) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    if (!ref) {
        if (FirstMention(g_missing, name)) LogLine("dataref %s not found; it reads as 0", name);
        return DatarefHandle();
    }
    const DatarefHandle d = HandleOf(ref);
    if (!(d.types & wanted) && FirstMention(g_noSingleValue, name))
        LogLine("dataref %s %s (types %d); it reads as 0", name, lacking, d.types);
    return d;
}

}  // namespace

void ResetDatarefs() {
    ForgetNativeAtc();  // its handles go now; what it took was given back at the link's stop
    Datarefs = DatarefHandles();
    memset(&g_missing, 0, sizeof g_missing);
    memset(&g_noSingleValue, 0, sizeof g_noSingleValue);
    g_sourceLogged = false;
}

DatarefHandle FindDataref(const char* name) {
    if (!name || !CHECK_SIMULATOR_THREAD()) return DatarefHandle();
    return FindNamedOnce(name, xplmType_Int | xplmType_Float | xplmType_Double, "has no single value");
}

double ReadDataref(const DatarefHandle& d) {
    // Off the simulator's thread the simulator must not be asked: it reads as a missing one.
    if (!d.ref || !CHECK_SIMULATOR_THREAD()) return 0.0;
    if (d.types & xplmType_Double) return XPLMGetDatad(d.ref);
    if (d.types & xplmType_Float) return XPLMGetDataf(d.ref);
    if (d.types & xplmType_Int) return XPLMGetDatai(d.ref);
    return 0.0;
}

double ReadDatarefItem(const DatarefHandle& d, int index) {
    if (!d.ref || index < 0 || !CHECK_SIMULATOR_THREAD()) return 0.0;
    if (d.types & xplmType_FloatArray) {
        float value = 0;
        return XPLMGetDatavf(d.ref, &value, index, 1) == 1 ? value : 0.0;
    }
    if (d.types & xplmType_IntArray) {
        int value = 0;
        return XPLMGetDatavi(d.ref, &value, index, 1) == 1 ? value : 0.0;
    }
    return 0.0;
}

void WriteDataref(const DatarefHandle& d, double value) {
    if (!d.ref || !d.writable || !CHECK_SIMULATOR_THREAD()) return;
    if (d.types & xplmType_Float) XPLMSetDataf(d.ref, (float)value);
    else if (d.types & xplmType_Double) XPLMSetDatad(d.ref, value);
    else if (d.types & xplmType_Int) XPLMSetDatai(d.ref, (int)value);
}

WeatherSource WeatherSourceOf(int simulatorVersion) {
    return simulatorVersion >= 12000 ? WeatherSource::Xp12 : WeatherSource::Legacy;
}

namespace {

// A dataref the plug-in uses when the simulator has it and does without otherwise: no log line.
DatarefHandle FindOptionalDataref(const char* name) {
    if (!CHECK_SIMULATOR_THREAD()) return DatarefHandle();
    XPLMDataRef ref = XPLMFindDataRef(name);
    return ref ? HandleOf(ref) : DatarefHandle();
}

// An array dataref: only an int or float array is read item by item.
DatarefHandle FindArrayDataref(const char* name) {
    if (!CHECK_SIMULATOR_THREAD()) return DatarefHandle();
    return FindNamedOnce(name, xplmType_IntArray | xplmType_FloatArray, "is no array");
}

// X-Plane 12's weather: for each field of the record the dataref whose description in 12's list
// is that of the 11 dataref (the aircraft's wind direction and temperature, the weather region's
// lowest wind and atmosphere layer, its sea-level pressure, reported visibility and clouds). The
// 11 names stay unread here: 12 serves them as replaced, some in other units.
void FindXp12WeatherDatarefs(DatarefHandles& d) {
    d.windDirection = FindDataref("sim/weather/aircraft/wind_now_direction_degt");
    d.windSpeed = FindArrayDataref("sim/weather/region/wind_speed_msc");
    d.shearSpeed = FindArrayDataref("sim/weather/region/shear_speed_msc");
    d.barometer = FindDataref("sim/weather/region/sealevel_pressure_pas");
    // The region's "qnh_pas" is described as a base elevation, not a pressure: never read here.
    d.qnh = FindOptionalDataref("sim/weather/aircraft/qnh_pas");
    d.visibility = FindDataref("sim/weather/region/visibility_reported_sm");
    d.temperature = FindDataref("sim/weather/aircraft/temperature_ambient_deg_c");
    d.dewPoint = FindArrayDataref("sim/weather/region/dewpoint_deg_c");
    const DatarefHandle coverage = FindArrayDataref("sim/weather/region/cloud_coverage_percent");
    const DatarefHandle type = FindArrayDataref("sim/weather/region/cloud_type");
    const DatarefHandle base = FindArrayDataref("sim/weather/region/cloud_base_msl_m");
    for (int i = 0; i < 3; ++i) {
        d.cloudCoverage[i] = coverage;
        d.cloudType[i] = type;
        d.cloudBase[i] = base;
    }
}

}  // namespace

void FindFlightLoopDatarefs() {
    DatarefHandles& d = Datarefs;
    int xplane = 0, xplm = 0;
    XPLMHostApplicationID host = 0;
    XPLMGetVersions(&xplane, &xplm, &host);
    d.simulatorVersion = xplane;
    d.weatherSource = WeatherSourceOf(xplane);
    d.onGround = FindDataref("sim/flightmodel/failures/onground_any");
    d.killAtc = FindDataref("sim/private/controls/perf/kill_atc");
    d.atisEnabled = FindOptionalDataref("sim/atc/atis_enabled");
    d.overrideAutotune = FindOptionalDataref("sim/operation/override/override_autotune");
    d.com1RxOverride = FindOptionalDataref("sim/atc/com1_rx_override");
    d.com2RxOverride = FindOptionalDataref("sim/atc/com2_rx_override");
    if (d.weatherSource == WeatherSource::Xp12) {
        FindXp12WeatherDatarefs(d);
    } else {
        FindLegacyWeatherDatarefs(d);
    }
    d.com1 = FindDataref("sim/cockpit/radios/com1_freq_hz");
    d.com1Khz = FindOptionalDataref("sim/cockpit2/radios/actuators/com1_frequency_hz_833");
    if (!g_sourceLogged) {
        g_sourceLogged = true;
        // 11550 is 11.55; a longer number (a build with more digits) is shown by its first five.
        int shown = xplane;
        while (shown >= 100000) shown /= 10;
        LogLine("X-Plane %d.%02d: weather from %s; COM1 %s", shown / 1000, shown / 10 % 100,
                d.weatherSource == WeatherSource::Xp12 ? "the X-Plane 12 weather datarefs (converted from SI units)"
                                                       : "the X-Plane 11 weather datarefs",
                d.com1Khz ? "to the exact 8.33 kHz channel" : "in 10 kHz steps");
    }
}

void FindLegacyWeatherDatarefs(DatarefHandles& d) {
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
}

void FindPositionDatarefs() {
    Datarefs.latitude = FindDataref("sim/flightmodel/position/latitude");
    Datarefs.longitude = FindDataref("sim/flightmodel/position/longitude");
}
