#include "simlink/datarefs.h"

DatarefHandles Datarefs;

void FindFlightLoopDatarefs() {
    DatarefHandles& d = Datarefs;
    d.onGround = XPLMFindDataRef("sim/flightmodel/failures/onground_any");
    d.killAtc = XPLMFindDataRef("sim/private/controls/perf/kill_atc");
    d.windDirection = XPLMFindDataRef("sim/weather/wind_direction_degt");
    d.windSpeed = XPLMFindDataRef("sim/weather/wind_speed_kt[0]");
    d.shearSpeed = XPLMFindDataRef("sim/weather/shear_speed_kt[0]");
    d.barometer = XPLMFindDataRef("sim/weather/barometer_sealevel_inhg");
    d.visibility = XPLMFindDataRef("sim/weather/visibility_reported_m");
    d.temperature = XPLMFindDataRef("sim/weather/temperature_ambient_c");
    d.dewPoint = XPLMFindDataRef("sim/weather/dewpoi_sealevel_c");
    d.cloudCoverage[0] = XPLMFindDataRef("sim/weather/cloud_coverage[0]");
    d.cloudCoverage[1] = XPLMFindDataRef("sim/weather/cloud_coverage[1]");
    d.cloudCoverage[2] = XPLMFindDataRef("sim/weather/cloud_coverage[2]");
    d.cloudType[0] = XPLMFindDataRef("sim/weather/cloud_type[0]");
    d.cloudType[1] = XPLMFindDataRef("sim/weather/cloud_type[1]");
    d.cloudType[2] = XPLMFindDataRef("sim/weather/cloud_type[2]");
    d.cloudBase[0] = XPLMFindDataRef("sim/weather/cloud_base_msl_m[0]");
    d.cloudBase[1] = XPLMFindDataRef("sim/weather/cloud_base_msl_m[1]");
    d.cloudBase[2] = XPLMFindDataRef("sim/weather/cloud_base_msl_m[2]");
    d.com1 = XPLMFindDataRef("sim/cockpit/radios/com1_freq_hz");
}

void FindPositionDatarefs() {
    Datarefs.latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
    Datarefs.longitude = XPLMFindDataRef("sim/flightmodel/position/longitude");
}
