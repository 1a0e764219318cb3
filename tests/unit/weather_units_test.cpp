// X-Plane 12's weather in X-Plane 11's units, on the examples of the published dataref lists, and
// the record that comes out of each version's values for the same weather.
#include <gtest/gtest.h>

#include <cmath>

#include "simlink/weather_record.h"
#include "simlink/weather_units.h"

namespace {

int Word(const uint8_t* at) { return at[0] | at[1] << 8; }

// The ATC program heard half the wind on 12: 20 kt is 10.29 m/s in sim/weather/wind_speed_kt[0].
TEST(WeatherUnits, MetresPerSecondAreKnots) {
    EXPECT_FLOAT_EQ(KnotsFromMetresPerSecond(20.0 * 1852.0 / 3600.0), 20.0f);
    // The float the simulator holds for 20 kt, a hair below: still 20, not 19 after truncation.
    EXPECT_FLOAT_EQ(KnotsFromMetresPerSecond((float)(20.0 * 1852.0 / 3600.0)), 20.0f);
    EXPECT_FLOAT_EQ(KnotsFromMetresPerSecond(10.0), 19.438f);
    EXPECT_FLOAT_EQ(KnotsFromMetresPerSecond(0.0), 0.0f);
    EXPECT_FLOAT_EQ(KnotsFromMetresPerSecond(NAN), 0.0f);
}

// "29.92 +- ....": the standard sea-level pressure, 101325 Pa, is 29.921 inHg and 1013 hPa.
TEST(WeatherUnits, PascalsAreInchesOfMercury) {
    EXPECT_FLOAT_EQ(InchesOfMercuryFromPascals(29.92 * 3386.389), 29.92f);
    EXPECT_FLOAT_EQ(InchesOfMercuryFromPascals(101325.0), 29.921f);
    WeatherSample s;
    s.barometer = InchesOfMercuryFromPascals(101325.0);
    EXPECT_EQ(Word(&PressureBlock(s)[0]), 1013 * 16);
    EXPECT_FLOAT_EQ(InchesOfMercuryFromPascals(INFINITY), 0.0f);
}

// The record's own example, 16093 m, is ten statute miles.
TEST(WeatherUnits, StatuteMilesAreMetres) {
    EXPECT_FLOAT_EQ(MetresFromStatuteMiles(10.0), 16093.44f);
    WeatherSample s;
    s.visibility = MetresFromStatuteMiles(10.0f);
    EXPECT_EQ(Word(&VisibilityBlock(s)[4]), 986);
}

// "Cloud coverage per layer, range 0 - 1" on 12; "Coverage 0..6" on 11.
TEST(WeatherUnits, CoverageRatioIsTheElevenScale) {
    EXPECT_FLOAT_EQ(CoverageFromRatio(0.0), 0.0f);
    EXPECT_FLOAT_EQ(CoverageFromRatio(0.5), 3.0f);
    EXPECT_FLOAT_EQ(CoverageFromRatio(1.0), 6.0f);
    EXPECT_FLOAT_EQ(CoverageFromRatio(1.5), 6.0f);
    EXPECT_FLOAT_EQ(CoverageFromRatio(-0.2), 0.0f);
}

// 12: "0 = Cirrus, 1 = Stratus, 2 = Cumulus, 3 = Cumulo-nimbus"; 11: "Clear = 0, High Cirrus = 1,
// Scattered = 2, Broken = 3, Overcast = 4, Stratus = 5".
TEST(WeatherUnits, BlendedCloudTypeIsTheElevenType) {
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(2.0, 0.0), 0.0f);   // no coverage: clear
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(0.2, 0.3), 1.0f);   // cirrus
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(1.1, 1.0), 5.0f);   // stratus, whatever its coverage
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(2.0, 0.25), 2.0f);  // cumulus, 2/8: scattered
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(2.0, 0.5), 2.0f);   // 4/8: scattered
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(2.4, 0.75), 3.0f);  // 6/8: broken
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(3.0, 1.0), 4.0f);   // cumulonimbus, 8/8: overcast
    EXPECT_FLOAT_EQ(CloudTypeFromBlend(NAN, 1.0), 4.0f);   // unknown kind counts as heaped
}

// One weather in both versions' units gives one record.
TEST(WeatherUnits, SameWeatherSameRecord) {
    WeatherSample eleven;
    eleven.windSpeed = 20.0f;
    eleven.shearSpeed = 27.0f;
    eleven.windDirection = 250.0f;
    eleven.barometer = 29.92f;
    eleven.visibility = 16093.44f;
    eleven.cloudCoverage[0] = 3.0f;
    eleven.cloudType[0] = 2.0f;
    WeatherSample twelve = eleven;
    twelve.windSpeed = KnotsFromMetresPerSecond((float)(20.0 * 1852.0 / 3600.0));
    twelve.shearSpeed = KnotsFromMetresPerSecond((float)(27.0 * 1852.0 / 3600.0));
    twelve.barometer = InchesOfMercuryFromPascals((float)(29.92 * 3386.389));
    twelve.visibility = MetresFromStatuteMiles(10.0f);
    twelve.cloudCoverage[0] = CoverageFromRatio(0.5f);
    twelve.cloudType[0] = CloudTypeFromBlend(2.0f, 0.5f);
    EXPECT_EQ(WindLayer(eleven), WindLayer(twelve));
    EXPECT_EQ(PressureBlock(eleven), PressureBlock(twelve));
    EXPECT_EQ(VisibilityBlock(eleven), VisibilityBlock(twelve));
    EXPECT_EQ(CloudLayers(eleven), CloudLayers(twelve));
}

}  // namespace
