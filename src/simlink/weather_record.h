#pragma once
// The FSUIPC weather area as the server's clients read it, built from one sample of the
// simulator's weather. Portable: no windows.h.
#include <array>
#include <cstdint>

struct WeatherSample {
    float windDirection = 0;  // degrees true
    float windSpeed = 0;      // knots
    float shearSpeed = 0;     // knots
    float barometer = 0;      // inches of mercury at sea level
    float visibility = 0;     // metres
    float temperature = 0;    // degrees Celsius
    float dewPoint = 0;       // degrees Celsius
    float cloudCoverage[3] = {};
    float cloudType[3] = {};
    float cloudBase[3] = {};  // metres above sea level
    int zuluHour = 0;
};

// The blocks of the area, each as written at its offset.
std::array<uint8_t, 6> UtcHourBlock(int hour);                    // 0xCF80
std::array<uint8_t, 16> WindLayer(const WeatherSample& s);        // 0xCCFC
std::array<uint8_t, 4> PressureBlock(const WeatherSample& s);     // 0xCC28
std::array<uint8_t, 8> VisibilityBlock(const WeatherSample& s);   // 0xCC2C
std::array<uint8_t, 8> TemperatureLayer(const WeatherSample& s);  // 0xCC38
std::array<uint8_t, 48> CloudLayers(const WeatherSample& s);      // 0xCE80

// Float to integer as the feed converts: toward zero, then cut to the field's width. Values
// beyond what an int64 holds (and NaN) give 0 instead of undefined behaviour.
int64_t Truncate(double value);
