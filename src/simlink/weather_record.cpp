#include "simlink/weather_record.h"

#include <cmath>

namespace {
template <size_t N>
void Put16(std::array<uint8_t, N>& block, size_t at, int64_t value) {
    block[at] = (uint8_t)(value & 0xFF);
    block[at + 1] = (uint8_t)((value >> 8) & 0xFF);
}
}  // namespace

int64_t Truncate(double value) {
    if (!(std::fabs(value) < 9.0e18)) return 0;
    return (int64_t)value;  // C++ converts toward zero
}

std::array<uint8_t, 6> UtcHourBlock(int hour) {
    std::array<uint8_t, 6> block{};
    block[0] = (uint8_t)(hour / 10);
    block[1] = (uint8_t)(hour % 10);
    return block;
}

std::array<uint8_t, 16> WindLayer(const WeatherSample& s) {
    std::array<uint8_t, 16> block{};
    int64_t speed = Truncate(s.windSpeed) & 0xFFFF;
    float turn = s.windDirection * 65536.0f / 360.0f;  // single precision, as the record is defined
    int64_t direction = Truncate(turn) & 0xFFFF;
    int64_t gust = s.shearSpeed > (float)(speed + 5) ? Truncate(s.shearSpeed - (float)speed) : 0;
    Put16(block, 2, speed);
    Put16(block, 4, gust);
    Put16(block, 6, direction);
    return block;
}

std::array<uint8_t, 4> PressureBlock(const WeatherSample& s) {
    std::array<uint8_t, 4> block{};
    float inches = s.barometer + 0.01f;
    int64_t hpa = Truncate(33.8637526 * (double)inches) & 0xFFFF;
    Put16(block, 0, (hpa * 16) & 0xFFFF);
    return block;
}

std::array<uint8_t, 8> VisibilityBlock(const WeatherSample& s) {
    std::array<uint8_t, 8> block{};
    float units = s.visibility / 1632.0f * 100.0f;
    Put16(block, 4, Truncate(units));
    return block;
}

std::array<uint8_t, 8> TemperatureLayer(const WeatherSample& s) {
    std::array<uint8_t, 8> block{};
    Put16(block, 2, Truncate(s.temperature) + 1);
    Put16(block, 6, Truncate(s.dewPoint));
    return block;
}

std::array<uint8_t, 48> CloudLayers(const WeatherSample& s) {
    std::array<uint8_t, 48> block{};
    for (int layer = 0; layer < 3; ++layer) {
        size_t at = (size_t)layer * 16;
        Put16(block, at + 2, Truncate(s.cloudBase[layer]));
        block[at + 6] = (uint8_t)(Truncate(s.cloudCoverage[layer]) & 0xFF);
        block[at + 7] = (uint8_t)(Truncate(s.cloudType[layer]) & 0xFF);
    }
    return block;
}
