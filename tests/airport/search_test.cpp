// The nearest-airport search and the frequency load on files in the plug-in folder, with the
// aircraft's position taken from the simulator's datarefs.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "airport/airport_data.h"
#include "airport_test_support.h"
#include "common/sim_control.h"
#include "import_patch.h"
#include "reference.h"
#include "simlink/datarefs.h"

namespace {

struct BoxCall {
    HWND owner;
    std::string text, caption;
    UINT type;
};
std::vector<BoxCall> Boxes;

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}

class AirportFiles : public ::testing::Test {
protected:
    void SetUp() override {
        PatchOwnImport("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&RecordMessageBox));
        Boxes.clear();
        SIM_Init(nullptr);
        SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 0);
        SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, 0);
        FindPositionDatarefs();
        apt = AirportFilePath();
        radio = RadioFilePath();
        ASSERT_FALSE(apt.empty());
        DeleteFileA(apt.c_str());
        DeleteFileA(radio.c_str());
    }
    void TearDown() override {
        // The position is published as double only: a float read would give 0 and count here.
        EXPECT_EQ(SIM_Misuses(), 0) << SIM_FirstMisuse();
        DeleteFileA(apt.c_str());
        DeleteFileA(radio.c_str());
    }

    static void Aircraft(double lat, double lon) {
        SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, lat);
        SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, lon);
        SampleAircraftPosition();
    }

    // FindNearestAirport's result and ident, and that the five-pass reference agrees.
    std::string Nearest(int expectedResult) {
        char ident[8] = "XXXXXXX";
        EXPECT_EQ(FindNearestAirport(ident), expectedResult);
        GeoPosition aircraft;
        GetAircraftPosition(&aircraft);
        char reference[8] = "";
        EXPECT_EQ(FindNearestAirportFivePass(apt.c_str(), aircraft, reference), expectedResult);
        EXPECT_STREQ(reference, ident);
        return ident;
    }

    std::string apt, radio;
};

}  // namespace

TEST_F(AirportFiles, AircraftPositionIsTheLastSampleInRadians) {
    GeoPosition p;
    Aircraft(50.5, -8.25);
    SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 10);  // not sampled yet
    ASSERT_EQ(GetAircraftPosition(&p), 1);
    EXPECT_NEAR(p.Latitude, 50.5 / 57.29577951308232, 1e-9);
    EXPECT_NEAR(p.Longitude, -8.25 / 57.29577951308232, 1e-9);
    SampleAircraftPosition();
    GetAircraftPosition(&p);
    EXPECT_NEAR(p.Latitude, 10 / 57.29577951308232, 1e-9);
    EXPECT_EQ(GetAircraftPosition(nullptr), 0);
}

TEST_F(AirportFiles, AirportAtThePositionIsFoundInPassOneBeforeEarlierFartherOnes) {
    WriteBytes(apt, AirportLine("FARR", 50 + MilesNorth(50), 8) + AirportLine("NEAR", 50 + MilesNorth(2.5), 8) +
                        AirportLine("HERE", 50, 8) + AirportLine("LATE", 50, 8));
    Aircraft(50, 8);
    EXPECT_EQ(Nearest(1), "HERE");
    // A three-letter ident keeps its comma.
    WriteBytes(apt, AirportLine("ABC", 50, 8));
    EXPECT_EQ(Nearest(1), "ABC,");
}

TEST_F(AirportFiles, InsideOneRadiusTheFirstInTheFileWinsNotTheNearest) {
    std::string half = AirportLine("HALF", 50 + MilesNorth(0.5), 8);
    std::string most = AirportLine("MOST", 50 - MilesNorth(0.8), 8);
    Aircraft(50, 8);
    WriteBytes(apt, half + most);
    EXPECT_EQ(Nearest(1), "HALF");
    WriteBytes(apt, most + half);
    EXPECT_EQ(Nearest(1), "MOST");
}

TEST_F(AirportFiles, AirportAt150MilesIsFoundAnd250MilesIsNot) {
    Aircraft(40, -30);
    WriteBytes(apt, AirportLine("FAR2", 40 - MilesNorth(250), -30) + AirportLine("MID1", 40 + MilesNorth(150), -30));
    EXPECT_EQ(Nearest(1), "MID1");
    WriteBytes(apt, AirportLine("FAR2", 40 - MilesNorth(250), -30));
    EXPECT_EQ(Nearest(0), "?");
    // A buffer still holding an earlier ident does not pass for a find.
    char ident[8] = "EDDF";
    EXPECT_EQ(FindNearestAirport(ident), 0);
    EXPECT_STREQ(ident, "?");
}

TEST_F(AirportFiles, MissingAirportFileIsToldInABoxAndGivesZero) {
    char ident[8] = "EDDF";
    EXPECT_EQ(FindNearestAirport(ident), 0);
    EXPECT_STREQ(ident, "EDDF");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].owner, nullptr);
    EXPECT_EQ(Boxes[0].text, "Airport data file missing!\nPlease re-install plugin DURarUravud.");
    EXPECT_EQ(Boxes[0].caption, "");
    EXPECT_EQ(Boxes[0].type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(FindNearestAirport(nullptr), 0);
    EXPECT_EQ(Boxes.size(), 1u);
    // The reference and the one-read search on a file that is not there: 0, ident unchanged.
    EXPECT_EQ(FindNearestAirportIn(apt.c_str(), GeoPosition{}, ident), 0);
    EXPECT_EQ(FindNearestAirportFivePass(apt.c_str(), GeoPosition{}, ident), 0);
    EXPECT_STREQ(ident, "EDDF");
}

TEST_F(AirportFiles, BadInputIsReadToTheEndWithoutHarm) {
    std::mt19937 random(7);
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage += static_cast<char>(random());
    garbage += std::string("\x1a\x1a\r\n", 4);                     // Ctrl-Z ends nothing
    garbage += std::string(3 << 20, '7') + "\n";                    // a huge line
    garbage += std::string(600, ',') + "\n" + std::string(511, ',') + "\r\n";
    garbage += "no commas in this line at all\nZZZ\n\n\r\n";
    const std::string badNumbers = "NAN1,x,x,nan,nan\nINF1,x,x,1e999,-1e999\nBIG1,x,x,1e300,1e300\n";
    garbage += badNumbers;
    garbage += "QQQ1,\"unterminated, quote,1,2,3,4,5\n";
    WriteBytes(apt, garbage + AirportLine("LAST", -33.9, 151.2).substr(0, 50));  // no line end
    Aircraft(-33.9, 151.2);
    EXPECT_EQ(Nearest(1), "LAST");
    // Bad coordinates count as latitude 0, longitude 0.
    WriteBytes(apt, badNumbers);
    Aircraft(0, 0);
    EXPECT_EQ(Nearest(1), "NAN1");

    WriteBytes(radio, garbage + "\"LAST\",6,118.7\n\"LAST\",nan,1e999\n\"LAST\",8,nan\nlast,5,121.9");
    FrequencyEntry table[kFrequencyTableSize];
    ASSERT_EQ(LoadAirportFrequencies("LAST", table), 1);
    EXPECT_FLOAT_EQ(table[0].Frequency, 118.7f);
    EXPECT_EQ(table[0].Type, 6);
    EXPECT_FLOAT_EQ(table[1].Frequency, 121.9f);
    EXPECT_EQ(table[2].Frequency, 0.0f);
}

TEST_F(AirportFiles, OneReadAndFivePassSearchesAgreeOnAClusteredFile) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> offset(-1.5, 1.5);
    std::string bytes;
    for (int i = 0; i < 3000; ++i) {
        char ident[8];
        snprintf(ident, sizeof ident, "%c%03d", 'A' + i % 26, i % 1000);
        // Airports within a few degrees of a few centres, many of them within a mile of another.
        double lat = 10 * (i % 5) + offset(random) * (i % 3 ? 1 : 0.01);
        double lon = 175 + offset(random) * (i % 3 ? 2 : 0.01);
        bytes += AirportLine(ident, lat, lon > 180 ? lon - 360 : lon);
    }
    WriteBytes(apt, bytes);
    for (int i = 0; i < 300; ++i) {
        GeoPosition at = FromDegrees(10 * (i % 6) - 2 + offset(random) * 2, 175 + offset(random) * 4);
        char one[8] = "", five[8] = "";
        int result = FindNearestAirportIn(apt.c_str(), at, one);
        ASSERT_EQ(FindNearestAirportFivePass(apt.c_str(), at, five), result) << i;
        ASSERT_STREQ(one, five) << i;
    }
}

TEST_F(AirportFiles, FrequenciesOfLinesHoldingTheIdentAnywhere) {
    WriteBytes(radio,
               "\"EDDF\",1,118.025\r\n\"EDDS\",6,118.8\r\n\"XXXX\",5,121.7,EDDF\r\n\"eddf\",6,119.9\r\nABC,8,120.8\r\n");
    FrequencyEntry table[kFrequencyTableSize];
    for (auto& e : table) e = {999, 999};
    ASSERT_EQ(LoadAirportFrequencies("EDDF", table), 1);
    EXPECT_FLOAT_EQ(table[0].Frequency, 118.025f);
    EXPECT_EQ(table[0].Type, 1);
    EXPECT_FLOAT_EQ(table[1].Frequency, 121.7f);
    EXPECT_EQ(table[1].Type, 5);
    EXPECT_FLOAT_EQ(table[2].Frequency, 119.9f);
    for (int i = 3; i < kFrequencyTableSize; ++i) EXPECT_EQ(table[i].Frequency, 0.0f) << i;
    for (int i = 3; i < kFrequencyTableSize; ++i) EXPECT_EQ(table[i].Type, 0) << i;
}

TEST_F(AirportFiles, ThreeFrequenciesAfterTwelveLeaveExactlyThree) {
    std::string bytes;
    for (int i = 0; i < 12; ++i) bytes += "\"BIGA\"," + std::to_string(i + 1) + ",1" + std::to_string(18 + i) + ".1\n";
    for (int i = 0; i < 3; ++i) bytes += "SMA," + std::to_string(i + 4) + ",122." + std::to_string(i) + "\n";
    WriteBytes(radio, bytes);
    ASSERT_EQ(LoadFrequencyTable("BIGA"), 1);
    FrequencyEntry copy[kFrequencyTableSize];
    CopyFrequencyTable(copy);
    EXPECT_FLOAT_EQ(copy[11].Frequency, 129.1f);
    ASSERT_EQ(LoadFrequencyTable("SMA,"), 1);
    CopyFrequencyTable(copy);
    EXPECT_FLOAT_EQ(copy[2].Frequency, 122.2f);
    EXPECT_EQ(copy[2].Type, 6);
    for (int i = 3; i < kFrequencyTableSize; ++i) EXPECT_EQ(copy[i].Frequency, 0.0f) << i;
    // Nothing of this airport: an empty table.
    ASSERT_EQ(LoadFrequencyTable("NONE"), 1);
    CopyFrequencyTable(copy);
    EXPECT_EQ(copy[0].Frequency, 0.0f);
}

TEST_F(AirportFiles, NoIdentOrNoFileLeavesTheTableAsItWas) {
    FrequencyEntry table[kFrequencyTableSize] = {{118.5f, 6}};
    EXPECT_EQ(LoadAirportFrequencies("EDDF", table), 0);  // no Radio.dat
    WriteBytes(radio, "\"EDDF\",6,119.9\n");
    EXPECT_EQ(LoadAirportFrequencies(nullptr, table), 0);
    EXPECT_EQ(LoadAirportFrequencies("", table), 0);
    EXPECT_FLOAT_EQ(table[0].Frequency, 118.5f);
    EXPECT_EQ(LoadAirportFrequencies("EDDF", nullptr), 0);
}
