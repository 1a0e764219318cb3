#pragma once
// Airport and radio files written for tests, and positions at a given distance.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "airport/airport_records.h"
#include "config/options.h"

// The plug-in folder under the test program's own "simulator folder", ending in a backslash.
inline std::string PluginFolder() { return SimulatorFolder() + "\\Resources\\Plugins\\DURarUravud\\"; }

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// An APT.dat line as the generator writes it (the ident is the line's first four characters).
inline std::string AirportLine(const std::string& ident, double lat, double lon) {
    char text[160];
    snprintf(text, sizeof text, "%s,small_airport,\"Field, %s\",%.7f,%.7f,100,XX\r\n", ident.c_str(),
             ident.c_str(), lat, lon);
    return text;
}

// Degrees of latitude for a distance in nautical miles along a meridian.
inline double MilesNorth(double miles) { return miles / 60.0; }

inline GeoPosition FromDegrees(double lat, double lon) { return {lat / kDegreesPerRadian, lon / kDegreesPerRadian}; }
