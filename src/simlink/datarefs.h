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
// Item `index` of an int or float array dataref; 0 when missing, not an array or shorter.
double ReadDatarefItem(const DatarefHandle& dataref, int index);
// Writes through the accessor the type set allows (float, then double, then int, truncated);
// nothing when the dataref is missing, read-only or has no single-value type.
void WriteDataref(const DatarefHandle& dataref, double value);

// Where the weather comes from. X-Plane 12 still serves the weather datarefs of 11 but marks them
// replaced, and some changed unit or meaning under the same name (the wind speed is in metres per
// second, the cloud coverage a 0..4 scale); its own weather datarefs are arrays in SI units.
enum class WeatherSource { Legacy, Xp12 };

struct DatarefHandles {
    int simulatorVersion = 0;  // XPLMGetVersions: 11550 for 11.55, 12100 for 12.1
    WeatherSource weatherSource = WeatherSource::Legacy;
    DatarefHandle onGround;  // "sim/flightmodel/failures/onground_any", > 0 on the ground
    DatarefHandle killAtc;   // "sim/private/controls/perf/kill_atc"
    // X-Plane 12's published switches for its own ATC (see native_atc.h); each may be missing.
    DatarefHandle atisEnabled;       // "sim/atc/atis_enabled"
    DatarefHandle overrideAutotune;  // "sim/operation/override/override_autotune"
    DatarefHandle com1RxOverride;    // "sim/atc/com1_rx_override"
    DatarefHandle com2RxOverride;    // "sim/atc/com2_rx_override"
    // Legacy: the names of the first flight loop's list, in its units. X-Plane 12: the dataref of
    // the same meaning; the unit in brackets where it differs, converted by the data feed.
    DatarefHandle windDirection;     // degrees true, at the aircraft
    DatarefHandle windSpeed;         // knots [12: m/s, layer 0 of 13]
    DatarefHandle shearSpeed;        // knots [12: m/s, layer 0 of 13]
    DatarefHandle barometer;         // inHg at sea level [12: pascals]
    // 12.1 on: the aircraft's QNH in pascals, which the record carries instead of the sea-level
    // pressure (at a high, cold field the two differ by tens of hectopascals). Missing on 12.0.
    DatarefHandle qnh;
    DatarefHandle visibility;        // metres [12: statute miles]
    DatarefHandle temperature;       // degrees Celsius, at the aircraft
    DatarefHandle dewPoint;          // degrees Celsius, at sea level [12: layer 0 of 13]
    DatarefHandle cloudCoverage[3];  // coverage 0..6 [12: one array, ratio 0..1 per layer]
    DatarefHandle cloudType[3];      // X-Plane 11 cloud type [12: one array, 0 cirrus .. 3 cumulonimbus]
    DatarefHandle cloudBase[3];      // metres above sea level [12: one array]
    DatarefHandle com1;       // 10 kHz units
    // "sim/cockpit2/radios/actuators/com1_frequency_hz_833": the exact channel in kHz (132835 is
    // 132.835 MHz); missing in simulators before 11.
    DatarefHandle com1Khz;
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

// The simulator's version and the datarefs of the first flight loop, in their order (on X-Plane 12
// the weather's replacements instead of the weather datarefs), then the 8.33 kHz COM1. The UTC
// hour's is looked up at every sample (kZuluHourDataref). The log names the version and the
// weather source once per load.
void FindFlightLoopDatarefs();
// The weather datarefs of X-Plane 11 (and 10), in the first flight loop's order.
void FindLegacyWeatherDatarefs(DatarefHandles& handles);
// The weather source of a simulator version: X-Plane 12 and later serve the weather in SI units.
WeatherSource WeatherSourceOf(int simulatorVersion);
// Latitude and longitude, at each link start before the first feed.
void FindPositionDatarefs();
