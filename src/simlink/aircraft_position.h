#pragma once
// The aircraft's position, sampled on the simulator's thread and read from any thread. The type
// is portable (no windows.h): the airport records use it too.

// Latitude and longitude in radians, north and east positive.
struct GeoPosition {
    double Latitude = 0;
    double Longitude = 0;
};

constexpr double kDegreesPerRadian = 57.29577951308232;

// On the simulator's thread: keeps the aircraft's position from the position datarefs for
// GetAircraftPosition, which runs on other threads. Does nothing while the handles are unknown.
void SampleAircraftPosition();
// The last sampled position in radians (0, 0 before the first sample). Gives 1; 0 only for a
// null out.
int GetAircraftPosition(GeoPosition* position);
