#pragma once
// The simulator's datarefs the plug-in uses, looked up on the simulator's thread.
//
// The simulator converts nothing: a dataref is read only through an accessor of the type set it
// is published with, any other reads 0. So each handle keeps the set, asked once when the dataref
// is found, and every read and write goes through ReadDataref / WriteDataref, which pick the
// accessor the set allows and convert the value.
#include "XPLMDataAccess.h"

struct DatarefHandle {
    XPLMDataRef ref = nullptr;  // NULL: the simulator has no such dataref; it reads as 0
    XPLMDataTypeID types = xplmType_Unknown;
    bool writable = false;
    explicit operator bool() const { return ref != nullptr; }
};

// Looks the dataref up and asks its type set and whether it can be written.
DatarefHandle FindDataref(const char* name);
// The value through the accessor the type set allows (double, then float, then int); 0 when the
// dataref is missing or has no single-value type.
double ReadDataref(const DatarefHandle& dataref);
// Writes through the accessor the type set allows (float, then double, then int, truncated);
// nothing when the dataref is missing, read-only or has no single-value type.
void WriteDataref(const DatarefHandle& dataref, double value);

struct DatarefHandles {
    DatarefHandle onGround;  // "sim/flightmodel/failures/onground_any", > 0 on the ground
    DatarefHandle killAtc;   // "sim/private/controls/perf/kill_atc"
    DatarefHandle windDirection;
    DatarefHandle windSpeed;
    DatarefHandle shearSpeed;
    DatarefHandle barometer;
    DatarefHandle visibility;
    DatarefHandle temperature;
    DatarefHandle dewPoint;
    DatarefHandle cloudCoverage[3];
    DatarefHandle cloudType[3];
    DatarefHandle cloudBase[3];
    DatarefHandle com1;       // 10 kHz units
    DatarefHandle latitude;   // degrees
    DatarefHandle longitude;  // degrees
};

// Looked up anew whenever the feed samples it, so a dataref that appears later is used.
constexpr const char* kZuluHourDataref = "sim/cockpit2/clock_timer/zulu_time_hours";

// Found and read on the simulator's thread only; other threads use the data feed's samples.
extern DatarefHandles Datarefs;
// Every handle forgotten and the list of names logged as missing emptied, as at load. Simulator's
// thread only.
void ResetDatarefs();

// The nineteen datarefs of the first flight loop, in their order. (The UTC hour's is looked up
// at every sample: kZuluHourDataref.)
void FindFlightLoopDatarefs();
// Latitude and longitude, at each link start before the first feed.
void FindPositionDatarefs();
