// Conversions of the weather record, on the examples that pin down rounding and widths.
#include <gtest/gtest.h>

#include "simlink/weather_record.h"

namespace {

int Word(const uint8_t* at) { return at[0] | at[1] << 8; }
int SignedWord(const uint8_t* at) { return (int16_t)Word(at); }

TEST(WeatherRecord, WindSpeedGustAndDirection) {
    WeatherSample s;
    s.windSpeed = 10.9f;
    s.shearSpeed = 16.2f;
    s.windDirection = 359.99f;
    auto wind = WindLayer(s);
    EXPECT_EQ(Word(&wind[2]), 10);
    EXPECT_EQ(Word(&wind[4]), 6);
    EXPECT_EQ(Word(&wind[6]), 65534);
    s.shearSpeed = 15.0f;  // not more than speed + 5
    s.windDirection = 360.0f;
    wind = WindLayer(s);
    EXPECT_EQ(Word(&wind[4]), 0);
    EXPECT_EQ(Word(&wind[6]), 0);
    for (int i : {0, 1, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_EQ(wind[i], 0) << i;
}

TEST(WeatherRecord, PressureVisibilityAndTemperature) {
    WeatherSample s;
    s.barometer = 29.92f;
    s.visibility = 16093.0f;
    s.temperature = -5.5f;
    s.dewPoint = -7.9f;
    EXPECT_EQ(Word(&PressureBlock(s)[0]), 1013 * 16);
    auto visibility = VisibilityBlock(s);
    EXPECT_EQ(Word(&visibility[4]), 986);
    auto temperature = TemperatureLayer(s);
    EXPECT_EQ(SignedWord(&temperature[2]), -4);
    EXPECT_EQ(SignedWord(&temperature[6]), -7);
    s.temperature = 0.4f;
    EXPECT_EQ(SignedWord(&TemperatureLayer(s)[2]), 1);
}

TEST(WeatherRecord, CloudsAndHourAreCutToTheirFields) {
    WeatherSample s;
    s.cloudCoverage[1] = 300.7f;  // kept to 8 bits
    s.cloudType[1] = 2.9f;
    s.cloudBase[1] = 70000.5f;    // kept to 16 bits
    s.cloudBase[2] = 1200.9f;
    auto clouds = CloudLayers(s);
    EXPECT_EQ(clouds[16 + 6], 300 & 0xFF);
    EXPECT_EQ(clouds[16 + 7], 2);
    EXPECT_EQ(Word(&clouds[16 + 2]), 70000 & 0xFFFF);
    EXPECT_EQ(Word(&clouds[32 + 2]), 1200);
    EXPECT_EQ(UtcHourBlock(7), (std::array<uint8_t, 6>{0, 7, 0, 0, 0, 0}));
    EXPECT_EQ(UtcHourBlock(23), (std::array<uint8_t, 6>{2, 3, 0, 0, 0, 0}));
}

TEST(WeatherRecord, NonsenseValuesGiveZeroNotUndefinedBehaviour) {
    WeatherSample s;
    s.windSpeed = std::numeric_limits<float>::quiet_NaN();
    s.barometer = std::numeric_limits<float>::infinity();
    s.visibility = 1e30f;
    EXPECT_EQ(Word(&WindLayer(s)[2]), 0);
    EXPECT_EQ(Word(&PressureBlock(s)[0]), 0);
    EXPECT_EQ(Word(&VisibilityBlock(s)[4]), 0);
}

}  // namespace
