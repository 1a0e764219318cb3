// The plug-in's typed dataref accessor against the stand-in, which is as strict as the simulator:
// a read through an accessor outside the published type set gives 0 and is counted as a misuse.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "XPLMDataAccess.h"
#include "airport/airport_data.h"
#include "base/log.h"
#include "common/sim_control.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"

namespace {

class TypedDatarefs : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        RememberSimulatorThread();
        ResetDatarefs();
    }
    void TearDown() override {
        EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
        ResetDatarefs();
    }
    static double Value(const char* name) {
        double value = -1;
        SIM_GetDataref(name, &value);
        return value;
    }
};

TEST_F(TypedDatarefs, EachTypeSetIsReadThroughAnAccessorItAllows) {
    SIM_SetDataref("test/int", xplmType_Int, -12);
    SIM_SetDataref("test/float", xplmType_Float, 10.9);
    SIM_SetDataref("test/double", xplmType_Double, 50.0333);
    SIM_SetDataref("test/float-double", xplmType_Float | xplmType_Double, 29.92);
    const double eleven[] = {11};
    SIM_SetDatarefArray("test/array", xplmType_FloatArray, eleven, 1);
    SIM_SetDatarefBytes("test/bytes", "12", 2);

    DatarefHandle i = FindDataref("test/int");
    EXPECT_EQ(i.types, xplmType_Int);
    EXPECT_TRUE(i.writable);
    EXPECT_EQ(ReadDataref(i), -12.0);
    EXPECT_EQ((float)ReadDataref(FindDataref("test/float")), 10.9f);
    EXPECT_EQ(ReadDataref(FindDataref("test/double")), 50.0333);
    EXPECT_EQ((float)ReadDataref(FindDataref("test/float-double")), 29.92f);
    // No single value to read: 0, as for a dataref the simulator does not have.
    EXPECT_EQ(ReadDataref(FindDataref("test/array")), 0.0);
    EXPECT_EQ(ReadDataref(FindDataref("test/bytes")), 0.0);
    DatarefHandle missing = FindDataref("test/missing");
    EXPECT_FALSE(missing);
    EXPECT_EQ(ReadDataref(missing), 0.0);

    // The set is asked once: a later read uses the accessor chosen then.
    SIM_SetDataref("test/int", xplmType_Int, 5);
    EXPECT_EQ(ReadDataref(i), 5.0);
}

TEST_F(TypedDatarefs, WritesUseTheAccessorTheSetAllowsAndLeaveReadOnlyDatarefsAlone) {
    SIM_SetDataref("test/float", xplmType_Float, 0);
    SIM_SetDataref("test/double", xplmType_Double, 0);
    SIM_SetDataref("test/int", xplmType_Int, 0);
    SIM_SetDataref("test/fixed", xplmType_Float, 3);
    SIM_SetDatarefWritable("test/fixed", 0);
    WriteDataref(FindDataref("test/float"), 1.0);
    WriteDataref(FindDataref("test/double"), 0.1);
    WriteDataref(FindDataref("test/int"), 2.9);
    DatarefHandle fixed = FindDataref("test/fixed");
    EXPECT_FALSE(fixed.writable);
    WriteDataref(fixed, 1.0);
    WriteDataref(FindDataref("test/missing"), 1.0);
    EXPECT_EQ(Value("test/float"), 1.0);
    EXPECT_EQ(Value("test/double"), 0.1);
    EXPECT_EQ(Value("test/int"), 2.0);
    EXPECT_EQ(Value("test/fixed"), 3.0);
}

// The weather and position as the simulator publishes them: cloud types and the hour as int, the
// position as double, the rest as float.
TEST_F(TypedDatarefs, TheSampleFedToTheAtcProgramHasThePublishedValues) {
    SIM_SetDataref("sim/flightmodel/failures/onground_any", xplmType_Int, 1);
    SIM_SetDataref("sim/weather/wind_speed_kt[0]", xplmType_Float, 10.9);
    SIM_SetDataref("sim/weather/wind_direction_degt", xplmType_Float, 359.99);
    const char* const coverage[] = {"sim/weather/cloud_coverage[0]", "sim/weather/cloud_coverage[1]",
                                    "sim/weather/cloud_coverage[2]"};
    const char* const type[] = {"sim/weather/cloud_type[0]", "sim/weather/cloud_type[1]",
                                "sim/weather/cloud_type[2]"};
    const char* const base[] = {"sim/weather/cloud_base_msl_m[0]", "sim/weather/cloud_base_msl_m[1]",
                                "sim/weather/cloud_base_msl_m[2]"};
    for (int layer = 0; layer < 3; ++layer) {
        SIM_SetDataref(coverage[layer], xplmType_Float, 2 + layer);
        SIM_SetDataref(type[layer], xplmType_Int, 1 + layer);
        SIM_SetDataref(base[layer], xplmType_Float, 1200.9 + 1000 * layer);
    }
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 23);
    SIM_SetDataref("sim/cockpit/radios/com1_freq_hz", xplmType_Int, 11850);
    SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 50.0333);
    SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, -8.5706);
    FindFlightLoopDatarefs();
    FindPositionDatarefs();
    SampleSimulator();

    const WeatherSample s = LastWeatherSample();
    EXPECT_EQ(s.windSpeed, 10.9f);
    EXPECT_EQ(s.windDirection, 359.99f);
    EXPECT_EQ(s.zuluHour, 23);
    const auto layers = CloudLayers(s);
    for (int layer = 0; layer < 3; ++layer) {
        EXPECT_EQ(layers[16 * layer + 6], 2 + layer);
        EXPECT_EQ(layers[16 * layer + 7], 1 + layer);
        EXPECT_EQ(layers[16 * layer + 2] | layers[16 * layer + 3] << 8, 1200 + 1000 * layer);
    }
    EXPECT_EQ(SampledCom1(), 11850);
    EXPECT_EQ(SampledOnGround(), 1);
    GeoPosition p;
    ASSERT_EQ(GetAircraftPosition(&p), 1);
    EXPECT_NEAR(p.Latitude * 57.29577951308232, 50.0333, 1e-5);
    EXPECT_NEAR(p.Longitude * 57.29577951308232, -8.5706, 1e-5);
}

std::vector<std::string> g_logged;

void Sink(const char* line) {
    std::string text = line;
    if (text.rfind("log ", 0) == 0) g_logged.push_back(text.substr(4));
}

class LoggedDatarefs : public TypedDatarefs {
protected:
    void SetUp() override {
        TypedDatarefs::SetUp();
        SIM_Init(Sink);
        SIM_Trace("log", 1);
        RememberSimulatorThread();
        FlushQueuedLog();
        g_logged.clear();
    }
    void TearDown() override {
        SIM_Trace("log", 0);
        TypedDatarefs::TearDown();
    }
};

TEST_F(LoggedDatarefs, AMissingDatarefIsNamedOnce) {
    // Looked up again and again: one line, not one a look-up.
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(FindDataref("test/logged-missing"));
    FindDataref("test/logged-missing-too");
    SIM_SetDataref("test/present", xplmType_Int, 1);
    EXPECT_TRUE(FindDataref("test/present"));
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[0], "DURarUravud: dataref test/logged-missing not found; it reads as 0");
    EXPECT_EQ(g_logged[1], "DURarUravud: dataref test/logged-missing-too not found; it reads as 0");
}

TEST_F(LoggedDatarefs, EachDatarefWithoutASingleValueIsNamedOnce) {
    const double values[] = {1, 2};
    SIM_SetDatarefArray("test/array-one", xplmType_FloatArray, values, 2);
    SIM_SetDatarefArray("test/array-two", xplmType_IntArray, values, 2);
    SIM_SetDatarefBytes("test/bytes", "ab", 2);
    for (int i = 0; i < 3; ++i) {
        FindDataref("test/array-one");
        FindDataref("test/array-two");
        FindDataref("test/bytes");
    }
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 3u);
    EXPECT_EQ(g_logged[0], "DURarUravud: dataref test/array-one has no single value (types 8); it reads as 0");
    EXPECT_EQ(g_logged[1], "DURarUravud: dataref test/array-two has no single value (types 16); it reads as 0");
    EXPECT_EQ(g_logged[2], "DURarUravud: dataref test/bytes has no single value (types 32); it reads as 0");
}

// The UTC hour is looked up at every sample, not once by the first flight loop: before that loop
// has run (a link started from the menu in the first seconds) and when the simulator publishes
// the dataref only later, the sample has the hour.
TEST_F(LoggedDatarefs, TheHourIsLookedUpAtEverySample) {
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 9);
    SampleSimulator();
    EXPECT_EQ(LastWeatherSample().zuluHour, 9);
    SIM_RemoveDataref("sim/cockpit2/clock_timer/zulu_time_hours");
    FindFlightLoopDatarefs();
    SampleSimulator();
    EXPECT_EQ(LastWeatherSample().zuluHour, 0);
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 15);
    SampleSimulator();
    EXPECT_EQ(LastWeatherSample().zuluHour, 15);
    // Missing meanwhile: named once however often it was looked up.
    FlushQueuedLog();
    int named = 0;
    for (const std::string& line : g_logged)
        if (line.find("zulu_time_hours not found") != std::string::npos) ++named;
    EXPECT_EQ(named, 1);
}

TEST_F(LoggedDatarefs, ResetForgetsTheHandlesAndWhatWasNamed) {
    SIM_SetDataref("sim/cockpit/radios/com1_freq_hz", xplmType_Int, 12150);
    FindFlightLoopDatarefs();
    ASSERT_TRUE(Datarefs.com1);
    g_logged.clear();  // the flight loop's datarefs this world lacks
    FindDataref("test/named-before");
    ASSERT_EQ(g_logged.size(), 1u);
    ResetDatarefs();
    EXPECT_FALSE(Datarefs.com1);
    EXPECT_EQ(ReadDataref(Datarefs.com1), 0.0);
    // A new world that lacks the same dataref hears of it again.
    FindDataref("test/named-before");
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[1], g_logged[0]);
}

TEST_F(LoggedDatarefs, ResetDataFeedEmptiesTheSamples) {
    SIM_SetDataref("sim/cockpit/radios/com1_freq_hz", xplmType_Int, 12150);
    SIM_SetDataref("sim/flightmodel/failures/onground_any", xplmType_Int, 1);
    SIM_SetDataref("sim/weather/wind_speed_kt[0]", xplmType_Float, 12.0);
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 14);
    FindFlightLoopDatarefs();
    SampleSimulator();
    ASSERT_EQ(SampledCom1(), 12150);
    ASSERT_EQ(LastWeatherSample().zuluHour, 14);
    ResetDataFeed();
    // Worker threads read these until the next sample: nothing of the past world.
    EXPECT_EQ(SampledCom1(), 0);
    EXPECT_EQ(SampledOnGround(), 0);
    const WeatherSample s = LastWeatherSample();
    EXPECT_EQ(s.windSpeed, 0.0f);
    EXPECT_EQ(s.zuluHour, 0);
}

TEST_F(LoggedDatarefs, OffTheSimulatorsThreadNothingAsksTheSimulator) {
    SIM_SetDataref("test/worker", xplmType_Float, 3);
    DatarefHandle found = FindDataref("test/worker");
    ASSERT_TRUE(found);
    double read = -1;
    DatarefHandle lookedUp;
    lookedUp.ref = found.ref;
    std::thread worker([&] {
        read = ReadDataref(found);
        WriteDataref(found, 9);
        lookedUp = FindDataref("test/worker");
    });
    worker.join();
    EXPECT_EQ(read, 0.0);
    EXPECT_FALSE(lookedUp);
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    EXPECT_EQ(ReadDataref(found), 3.0);  // the write was refused
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 3u);
    EXPECT_EQ(g_logged[0], "DURarUravud: ReadDataref ran off the simulator's thread");
    EXPECT_EQ(g_logged[1], "DURarUravud: WriteDataref ran off the simulator's thread");
    EXPECT_EQ(g_logged[2], "DURarUravud: FindDataref ran off the simulator's thread");
}

TEST_F(LoggedDatarefs, ASampleFromAWorkerKeepsTheLastOne) {
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 7);
    SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 47.26);
    SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, 11.34);
    FindFlightLoopDatarefs();
    FindPositionDatarefs();
    SampleSimulator();
    std::thread worker([] {
        SampleSimulator();
        SampleAircraftPosition();
    });
    worker.join();
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    EXPECT_EQ(LastWeatherSample().zuluHour, 7);
    GeoPosition p;
    ASSERT_EQ(GetAircraftPosition(&p), 1);
    EXPECT_NEAR(p.Latitude * 57.29577951308232, 47.26, 1e-5);  // not 0, 0
    g_logged.clear();
    FlushQueuedLog();
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[0], "DURarUravud: SampleSimulator ran off the simulator's thread");
    EXPECT_EQ(g_logged[1], "DURarUravud: SampleAircraftPosition ran off the simulator's thread");
}

// X-Plane 12's weather as the simulator versions publish it (the stand-in's lists of 12.0 and 12.1).
class Xp12Weather : public TypedDatarefs {
protected:
    void Publish(int version) {
        char error[256] = "";
        ASSERT_EQ(SIM_SetSimulatorVersion(version, error, sizeof error), 1) << error;
    }
    // Hectopascals as the record carries them (sixteenths).
    static int RecordHectopascals() {
        const auto block = PressureBlock(LastWeatherSample());
        return (block[0] | block[1] << 8) / 16;
    }
    // A high, cold field: the sea-level pressure reads 1032 hPa where the field's QNH is 1013.
    // The region's "qnh_pas" (a base elevation) and the pressure at the aircraft differ from both.
    static void HighColdField() {
        SIM_SetDataref("sim/weather/region/sealevel_pressure_pas", xplmType_Float, 103250.0);
        SIM_SetDataref("sim/weather/aircraft/qnh_pas", xplmType_Float, 101320.76);
        SIM_SetDataref("sim/weather/region/qnh_pas", xplmType_Float, 2380.0);
        SIM_SetDataref("sim/weather/aircraft/barometer_current_pas", xplmType_Float, 75400.0);
    }
};

TEST_F(Xp12Weather, TheRecordCarriesTheQnhNotTheSeaLevelPressure) {
    Publish(12100);
    HighColdField();
    FindFlightLoopDatarefs();
    SampleSimulator();
    EXPECT_EQ(RecordHectopascals(), 1013);
    EXPECT_NEAR(LastWeatherSample().barometer, 29.92, 0.001);
}

TEST_F(Xp12Weather, WithoutAQnhTheSeaLevelPressureIsUsed) {
    // 12.0 publishes no aircraft QNH; a QNH that reads nothing yet is no pressure either.
    Publish(12000);
    EXPECT_EQ(XPLMFindDataRef("sim/weather/aircraft/qnh_pas"), nullptr);
    SIM_SetDataref("sim/weather/region/sealevel_pressure_pas", xplmType_Float, 101320.76);
    FindFlightLoopDatarefs();
    SampleSimulator();
    EXPECT_EQ(RecordHectopascals(), 1013);

    ResetDatarefs();
    Publish(12100);
    SIM_SetDataref("sim/weather/aircraft/qnh_pas", xplmType_Float, 0.0);
    SIM_SetDataref("sim/weather/region/sealevel_pressure_pas", xplmType_Float, 99000.0);
    FindFlightLoopDatarefs();
    SampleSimulator();
    EXPECT_EQ(RecordHectopascals(), 990);
    SIM_SetDataref("sim/weather/aircraft/qnh_pas", xplmType_Float, std::nan(""));
    SampleSimulator();
    EXPECT_EQ(RecordHectopascals(), 990);
}

TEST_F(Xp12Weather, TwelvePointZeroIsTwelve) {
    EXPECT_EQ(WeatherSourceOf(11550), WeatherSource::Legacy);
    EXPECT_EQ(WeatherSourceOf(11999), WeatherSource::Legacy);
    EXPECT_EQ(WeatherSourceOf(12000), WeatherSource::Xp12);
    EXPECT_EQ(WeatherSourceOf(12100), WeatherSource::Xp12);
    // 12.0 serves 11's wind speed name in metres per second: read as knots it would be 10 kt low.
    Publish(12000);
    SIM_SetDataref("sim/weather/wind_speed_kt[0]", xplmType_Float, 10.288889);
    double layers[13] = {10.288889, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    SIM_SetDatarefArray("sim/weather/region/wind_speed_msc", xplmType_FloatArray, layers, 13);
    FindFlightLoopDatarefs();
    EXPECT_EQ(Datarefs.weatherSource, WeatherSource::Xp12);
    SampleSimulator();
    EXPECT_NEAR(LastWeatherSample().windSpeed, 20.0, 0.001);
}

}  // namespace
