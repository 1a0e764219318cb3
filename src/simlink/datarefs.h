#pragma once
// The simulator's datarefs the plug-in uses, looked up on the simulator's thread.
#include "XPLMDataAccess.h"

struct DatarefHandles {
    XPLMDataRef onGround = nullptr;  // "sim/flightmodel/failures/onground_any", > 0 on the ground
    XPLMDataRef killAtc = nullptr;   // "sim/private/controls/perf/kill_atc"
    XPLMDataRef windDirection = nullptr;
    XPLMDataRef windSpeed = nullptr;
    XPLMDataRef shearSpeed = nullptr;
    XPLMDataRef barometer = nullptr;
    XPLMDataRef visibility = nullptr;
    XPLMDataRef temperature = nullptr;
    XPLMDataRef dewPoint = nullptr;
    XPLMDataRef cloudCoverage[3] = {};
    XPLMDataRef cloudType[3] = {};
    XPLMDataRef cloudBase[3] = {};
    XPLMDataRef com1 = nullptr;       // 10 kHz units
    XPLMDataRef latitude = nullptr;   // degrees
    XPLMDataRef longitude = nullptr;  // degrees
};

extern DatarefHandles Datarefs;

// The nineteen datarefs of the first flight loop, in their order.
void FindFlightLoopDatarefs();
// Latitude and longitude, at each link start before the first feed.
void FindPositionDatarefs();
