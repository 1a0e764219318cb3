// The stand-in's datarefs are as strict as the simulator's: each is read and written only through
// the accessors of its published type set, arrays and byte blocks copy within their bounds, and
// read-only ones ignore writes. A plug-in that gets any of this wrong reads 0 and is reported.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "common/sim_control.h"

namespace {

std::vector<std::string> g_events;
void Sink(const char* line) { g_events.push_back(line); }

class Datarefs : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        SIM_Init(Sink);
    }
    static double Value(const char* name) {
        double value = -1;
        SIM_GetDataref(name, &value);
        return value;
    }
    static std::vector<double> Items(const char* name) {
        std::vector<double> items(SIM_GetDatarefArray(name, nullptr, 0));
        SIM_GetDatarefArray(name, items.data(), (int)items.size());
        return items;
    }
};

TEST_F(Datarefs, AnAccessorOutsideTheTypeSetReadsZeroWritesNothingAndIsReported) {
    SIM_SetDataref("sim/weather/cloud_type[0]", xplmType_Int, 4);
    XPLMDataRef type = XPLMFindDataRef("sim/weather/cloud_type[0]");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(type), xplmType_Int);
    EXPECT_EQ(XPLMGetDatai(type), 4);
    EXPECT_EQ(SIM_Misuses(), 0);

    EXPECT_EQ(XPLMGetDataf(type), 0.0f);
    EXPECT_EQ(SIM_Misuses(), 1);
    EXPECT_STREQ(SIM_FirstMisuse(), "XPLMGetDataf: sim/weather/cloud_type[0] is int");
    EXPECT_EQ(g_events.back(), "XPLMGetDataf: sim/weather/cloud_type[0] is int");
    EXPECT_EQ(XPLMGetDatad(type), 0.0);
    XPLMSetDataf(type, 2.0f);
    XPLMSetDatad(type, 2.0);
    int items[2] = {7, 7};
    EXPECT_EQ(XPLMGetDatavi(type, items, 0, 2), 0);
    EXPECT_EQ(XPLMGetDatavi(type, nullptr, 0, 0), 0);  // not an array: no size either
    EXPECT_EQ(items[0], 7);
    EXPECT_EQ(SIM_Misuses(), 6);
    EXPECT_EQ(XPLMGetDatai(type), 4);

    // The position is published as double only: a float read gives 0, the double the full value.
    SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 50.0333);
    XPLMDataRef latitude = XPLMFindDataRef("sim/flightmodel/position/latitude");
    EXPECT_EQ(XPLMGetDataf(latitude), 0.0f);
    EXPECT_EQ(XPLMGetDatad(latitude), 50.0333);
}

TEST_F(Datarefs, EveryAccessorOfTheSetWorksOnTheOneValue) {
    SIM_SetDataref("sim/test/both", xplmType_Float | xplmType_Double, 1.5);
    SIM_SetDataref("sim/test/float", xplmType_Float, 0.1);
    SIM_SetDataref("sim/test/int", xplmType_Int, 3.9);
    XPLMDataRef both = XPLMFindDataRef("sim/test/both");
    EXPECT_EQ(XPLMGetDataRefTypes(both), xplmType_Float | xplmType_Double);
    EXPECT_EQ(XPLMGetDataf(both), 1.5f);
    XPLMSetDatad(both, 2.25);
    EXPECT_EQ(XPLMGetDataf(both), 2.25f);
    XPLMSetDataf(both, 0.1f);
    EXPECT_EQ(XPLMGetDatad(both), (double)0.1f);
    // A float keeps float precision, an int is whole.
    EXPECT_EQ(Value("sim/test/float"), (double)0.1f);
    EXPECT_EQ(XPLMGetDatai(XPLMFindDataRef("sim/test/int")), 3);
    XPLMSetDatai(XPLMFindDataRef("sim/test/int"), -8);
    EXPECT_EQ(Value("sim/test/int"), -8);
    EXPECT_EQ(SIM_Misuses(), 0);
}

TEST_F(Datarefs, ArraysGiveTheirSizeForNoBufferAndCopyOnlyWithinTheirEnd) {
    const double five[] = {1, 2, 3, 4, 5};
    SIM_SetDatarefArray("sim/test/floats", xplmType_FloatArray, five, 5);
    XPLMDataRef floats = XPLMFindDataRef("sim/test/floats");
    EXPECT_EQ(XPLMGetDataRefTypes(floats), xplmType_FloatArray);
    EXPECT_EQ(XPLMGetDatavf(floats, nullptr, 3, 1), 5);  // offset and count do not matter
    float out[4] = {-1, -1, -1, -1};
    EXPECT_EQ(XPLMGetDatavf(floats, out, 3, 4), 2);
    EXPECT_EQ(out[0], 4.0f);
    EXPECT_EQ(out[1], 5.0f);
    EXPECT_EQ(out[2], -1.0f);  // nothing past what was copied
    EXPECT_EQ(XPLMGetDatavf(floats, out, 5, 4), 0);
    EXPECT_EQ(XPLMGetDatavf(floats, out, 900, 4), 0);
    EXPECT_EQ(XPLMGetDatavf(floats, out, 0, 0), 0);
    float nines[4] = {9, 9, 9, 9};
    XPLMSetDatavf(floats, nines, 3, 4);  // two fit
    EXPECT_EQ(Items("sim/test/floats"), (std::vector<double>{1, 2, 3, 9, 9}));
    XPLMSetDatavf(floats, nines, 5, 1);
    EXPECT_EQ(Items("sim/test/floats").size(), 5u);
    EXPECT_EQ(SIM_Misuses(), 0);

    // A negative offset or count would read outside the array: nothing happens, it is reported.
    EXPECT_EQ(XPLMGetDatavf(floats, out, -1, 2), 0);
    EXPECT_EQ(XPLMGetDatavf(floats, out, 0, -2), 0);
    XPLMSetDatavf(floats, nines, -2, 2);
    XPLMSetDatavf(floats, nullptr, 0, 2);
    EXPECT_EQ(SIM_Misuses(), 4);
    EXPECT_EQ(Items("sim/test/floats"), (std::vector<double>{1, 2, 3, 9, 9}));

    // One array published both ways: int reads are whole numbers; an int read of a float-only
    // array is a wrong accessor.
    const double mixed[] = {1.75, -2.5};
    SIM_SetDatarefArray("sim/test/both", xplmType_IntArray | xplmType_FloatArray, mixed, 2);
    int whole[2] = {};
    EXPECT_EQ(XPLMGetDatavi(XPLMFindDataRef("sim/test/both"), whole, 0, 2), 2);
    EXPECT_EQ(whole[0], 1);
    EXPECT_EQ(whole[1], -2);
    EXPECT_EQ(XPLMGetDatavi(floats, whole, 0, 2), 0);
    EXPECT_EQ(XPLMGetDataf(floats), 0.0f);
    EXPECT_EQ(SIM_Misuses(), 6);
}

TEST_F(Datarefs, ByteBlocksCopyLikeArraysCountedInBytes) {
    SIM_SetDatarefBytes("sim/aircraft/view/acf_tailnum", "D-EABC\0\0", 8);
    XPLMDataRef tail = XPLMFindDataRef("sim/aircraft/view/acf_tailnum");
    EXPECT_EQ(XPLMGetDataRefTypes(tail), xplmType_Data);
    EXPECT_EQ(XPLMGetDatab(tail, nullptr, 6, 1), 8);
    char text[8] = "xxxxxxx";
    EXPECT_EQ(XPLMGetDatab(tail, text, 2, 3), 3);
    EXPECT_EQ(std::string(text, 4), "EABx");
    char longer[] = "ABCDEFGHIJ";
    XPLMSetDatab(tail, longer, 6, 10);  // two bytes fit
    char all[9] = {};
    EXPECT_EQ(XPLMGetDatab(tail, all, 0, 100), 8);
    EXPECT_EQ(std::string(all, 8), "D-EABCAB");
    EXPECT_EQ(XPLMGetDatai(tail), 0);
    EXPECT_EQ(SIM_Misuses(), 1);
}

TEST_F(Datarefs, ReadOnlyDatarefsIgnoreWritesButTheSimulatorStillChangesThem) {
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 7);
    SIM_SetDatarefWritable("sim/cockpit2/clock_timer/zulu_time_hours", 0);
    XPLMDataRef hour = XPLMFindDataRef("sim/cockpit2/clock_timer/zulu_time_hours");
    EXPECT_EQ(XPLMCanWriteDataRef(hour), 0);
    XPLMSetDatai(hour, 12);
    EXPECT_EQ(XPLMGetDatai(hour), 7);
    EXPECT_EQ(SIM_Misuses(), 1);
    EXPECT_STREQ(SIM_FirstMisuse(), "XPLMSetDatai: sim/cockpit2/clock_timer/zulu_time_hours is read-only");
    SIM_SetDataref("sim/cockpit2/clock_timer/zulu_time_hours", xplmType_Int, 8);
    EXPECT_EQ(XPLMGetDatai(hour), 8);
    EXPECT_EQ(XPLMCanWriteDataRef(hour), 0);  // retyping keeps the flag

    const double two[] = {1, 2};
    SIM_SetDatarefArray("sim/test/fixed", xplmType_IntArray, two, 2);
    SIM_SetDatarefWritable("sim/test/fixed", 0);
    int three[] = {3, 3};
    XPLMSetDatavi(XPLMFindDataRef("sim/test/fixed"), three, 0, 2);
    EXPECT_EQ(Items("sim/test/fixed"), (std::vector<double>{1, 2}));
    SIM_SetDatarefWritable("sim/test/fixed", 1);
    XPLMSetDatavi(XPLMFindDataRef("sim/test/fixed"), three, 1, 1);
    EXPECT_EQ(Items("sim/test/fixed"), (std::vector<double>{1, 3}));
    EXPECT_EQ(XPLMCanWriteDataRef(XPLMFindDataRef("sim/test/fixed")), 1);
    EXPECT_EQ(SIM_Misuses(), 2);
}

TEST_F(Datarefs, UnknownNamesAndNullGiveNothingAndJunkHandlesAreReported) {
    EXPECT_EQ(XPLMFindDataRef("sim/test/none"), nullptr);
    EXPECT_EQ(XPLMGetDatai(nullptr), 0);  // the SDK checks for NULL
    EXPECT_EQ(XPLMGetDatavf(nullptr, nullptr, 0, 0), 0);
    XPLMSetDatad(nullptr, 1.0);
    EXPECT_EQ(XPLMGetDataRefTypes(nullptr), xplmType_Unknown);
    EXPECT_EQ(SIM_Misuses(), 0);
    int junk = 0;
    EXPECT_EQ(XPLMGetDatai(&junk), 0);
    EXPECT_EQ(SIM_Misuses(), 1);
}

TEST_F(Datarefs, ARemovedDatarefIsOrphanedUntilItComesBack) {
    SIM_SetDataref("sim/test/int", xplmType_Int, 1);
    SIM_SetDatarefArray("sim/test/array", xplmType_FloatArray, std::vector<double>{1, 2}.data(), 2);
    XPLMDataRef kept = XPLMFindDataRef("sim/test/int");
    XPLMDataRef array = XPLMFindDataRef("sim/test/array");
    SIM_RemoveDataref("sim/test/int");
    SIM_RemoveDataref("sim/test/array");
    EXPECT_EQ(XPLMFindDataRef("sim/test/int"), nullptr);
    // The handle stays valid: not good any more, read as 0 (0 items), not writable.
    EXPECT_EQ(XPLMIsDataRefGood(kept), 0);
    EXPECT_EQ(XPLMCanWriteDataRef(kept), 0);
    EXPECT_EQ(XPLMGetDataRefTypes(kept), xplmType_Int);
    EXPECT_EQ(XPLMGetDatai(kept), 0);
    XPLMSetDatai(kept, 5);
    float items[2] = {};
    EXPECT_EQ(XPLMGetDatavf(array, nullptr, 0, 0), 0);
    EXPECT_EQ(XPLMGetDatavf(array, items, 0, 2), 0);
    EXPECT_EQ(SIM_Misuses(), 0);
    EXPECT_EQ(XPLMGetDataf(kept), 0.0f);  // the wrong accessor is a fault all the same
    EXPECT_EQ(SIM_Misuses(), 1);
    // Published again under its name, the same handle reads the new value.
    SIM_SetDataref("sim/test/int", xplmType_Int, 7);
    EXPECT_EQ(XPLMFindDataRef("sim/test/int"), kept);
    EXPECT_EQ(XPLMIsDataRefGood(kept), 1);
    EXPECT_EQ(XPLMGetDatai(kept), 7);
    EXPECT_EQ(SIM_Misuses(), 1);
}

}  // namespace

// ---- simulator versions

namespace {

std::string LogText() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file = path;
    file = file.substr(0, file.find_last_of('\\')) + "\\Log.txt";
    std::string text;
    if (FILE* f = fopen(file.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

}  // namespace

TEST_F(Datarefs, AVersionPublishesItsListAndLogsReplacedDatarefsOnce) {
    int xplane = 0, xplm = 0, host = 0;
    XPLMGetVersions(&xplane, &xplm, &host);
    EXPECT_EQ(xplane, 11550);
    EXPECT_EQ(xplm, 303);
    char error[256] = "";
    EXPECT_EQ(SIM_SetSimulatorVersion(12000 + 99, error, sizeof error), 0);
    EXPECT_NE(std::string(error).find("no published dataref list for version 12099"), std::string::npos);
    ASSERT_EQ(SIM_SetSimulatorVersion(12100, error, sizeof error), 1) << error;
    XPLMGetVersions(&xplane, &xplm, &host);
    EXPECT_EQ(xplane, 12100);
    EXPECT_EQ(xplm, 410);

    // The 12.1 list's types and writability: the region's wind is 13 writable layers, the
    // aircraft's wind a read-only float, the 8.33 kHz COM1 a writable int.
    XPLMDataRef region = XPLMFindDataRef("sim/weather/region/wind_speed_msc");
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(region), xplmType_FloatArray);
    EXPECT_EQ(XPLMGetDatavf(region, nullptr, 0, 0), 13);
    EXPECT_TRUE(XPLMCanWriteDataRef(region));
    XPLMDataRef now = XPLMFindDataRef("sim/weather/aircraft/wind_now_speed_msc");
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(now), xplmType_Float);
    EXPECT_FALSE(XPLMCanWriteDataRef(now));
    XPLMDataRef channel = XPLMFindDataRef("sim/cockpit2/radios/actuators/com1_frequency_hz_833");
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(channel), xplmType_Int);
    // A scenario's value stays when the list retypes nothing.
    SIM_SetDataref("sim/weather/barometer_sealevel_inhg", xplmType_Float, 29.5);
    ASSERT_EQ(SIM_SetSimulatorVersion(12100, error, sizeof error), 1);
    EXPECT_EQ(Value("sim/weather/barometer_sealevel_inhg"), 29.5);

    // Finding a replaced dataref writes the simulator's line once; a current one writes none.
    const size_t before = LogText().size();
    XPLMFindDataRef("sim/weather/wind_speed_kt[0]");
    XPLMFindDataRef("sim/weather/wind_speed_kt[0]");
    XPLMFindDataRef("sim/weather/region/wind_speed_msc");
    const std::string added = LogText().substr(before);
    EXPECT_EQ(added, "[X-Plane]: Dataref 'sim/weather/wind_speed_kt[0]' has been replaced. Please use the new name.\n");
    EXPECT_EQ(SIM_Misuses(), 0);
}
