// The generated APT.dat and Radio.dat of the build's plug-in folder; skipped when the build has
// none (no sources or tools at build time).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "airport/airport_data.h"
#include "airport_test_support.h"
#include "reference.h"

namespace {

std::string RealFile(const char* name) { return std::string(AIRDATA_DIR) + "/" + name; }

struct Lines {
    std::vector<std::string> text;
    size_t skipped = 0;
};

Lines ReadLinesOf(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Lines lines;
    LineSplitter splitter(limit);
    auto keep = [&](const char* line) {
        lines.text.emplace_back(line);
        return true;
    };
    splitter.Feed(bytes.data(), bytes.size(), keep);
    splitter.Finish(keep);
    lines.skipped = splitter.SkippedLines();
    return lines;
}

class RealAirportData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (GetFileAttributesA(RealFile("APT.dat").c_str()) == INVALID_FILE_ATTRIBUTES ||
            GetFileAttributesA(RealFile("Radio.dat").c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        apt = ReadLinesOf(RealFile("APT.dat"), kAirportLineLimit);
        radio = ReadLinesOf(RealFile("Radio.dat"), kRadioLineLimit);
        for (const std::string& line : apt.text) {
            GeoPosition at;
            valid.push_back(AirportPosition(line.c_str(), &at));
            positions.push_back(at);
            vectors.push_back(UnitVector(at));
        }
    }
    void SetUp() override {
        // The build always generates them (its sources are pinned): missing data is a fault.
        if (apt.text.empty()) FAIL() << "no generated airport data in " << AIRDATA_DIR;
    }

    // The five-pass procedure over angles known in advance: the first line within the radius,
    // radius by radius. Gives the pass and the line's index.
    static std::pair<int, size_t> FivePass(const std::vector<double>& angles) {
        for (int pass = 1; pass <= kSearchPasses; ++pass) {
            const double radius = SearchRadius(pass);
            for (size_t i = 0; i < angles.size(); ++i)
                if (valid[i] && angles[i] < radius) return {pass, i};
        }
        return {0, 0};
    }

    struct Vector {
        double x, y, z;
    };
    static Vector UnitVector(const GeoPosition& p) {
        return {std::cos(p.Latitude) * std::cos(p.Longitude), std::cos(p.Latitude) * std::sin(p.Longitude),
                std::sin(p.Latitude)};
    }

    // Angles of every line from a position. With the shortcut, lines whose straight-line distance
    // on the unit sphere exceeds the widest radius (plus a margin far above rounding) get the
    // angle pi without computing it: the central angle is never smaller than that distance, so
    // no pass could take them.
    static std::vector<double> Angles(const GeoPosition& at, bool shortcut) {
        const double outside = SearchRadius(kSearchPasses) + 1e-9;
        const Vector v = UnitVector(at);
        std::vector<double> angles(positions.size());
        for (size_t i = 0; i < angles.size(); ++i) {
            const Vector& w = vectors[i];
            double dx = v.x - w.x, dy = v.y - w.y, dz = v.z - w.z;
            bool distant = shortcut && dx * dx + dy * dy + dz * dz > outside * outside;
            angles[i] = distant ? 3.14159265358979 : CentralAngle(at, positions[i]);
        }
        return angles;
    }

    static Lines apt, radio;
    static std::vector<GeoPosition> positions;
    static std::vector<Vector> vectors;
    static std::vector<char> valid;
};

Lines RealAirportData::apt, RealAirportData::radio;
std::vector<GeoPosition> RealAirportData::positions;
std::vector<RealAirportData::Vector> RealAirportData::vectors;
std::vector<char> RealAirportData::valid;

// Test positions: anywhere on the globe (mostly ocean), near the poles, near the antimeridian,
// within 5 nm of an airport and within 150 nm of one.
std::vector<GeoPosition> TestPositions(const std::vector<GeoPosition>& airports, int count) {
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<GeoPosition> out;
    for (int i = 0; i < count; ++i) {
        double lat = 0, lon = 0;
        switch (i % 6) {
            case 0:
                lat = std::asin(2 * unit(random) - 1) * kDegreesPerRadian;
                lon = 360 * unit(random) - 180;
                break;
            case 1:
                lat = (unit(random) < 0.5 ? 1 : -1) * (80 + 10 * unit(random));
                lon = 360 * unit(random) - 180;
                if (i % 60 == 1) lat = i % 120 == 1 ? 90 : -90;
                break;
            case 2:
                lat = 130 * unit(random) - 60;
                lon = (unit(random) < 0.5 ? 1 : -1) * (175 + 5 * unit(random));
                break;
            default: {
                const GeoPosition& a = airports[random() % airports.size()];
                double miles = i % 6 == 3 ? 5 * unit(random) : 150 * unit(random);
                if (i % 60 == 3) miles = 0;
                double bearing = 2 * 3.14159265358979 * unit(random);
                lat = a.Latitude * kDegreesPerRadian + miles / 60 * std::cos(bearing);
                lon = a.Longitude * kDegreesPerRadian + miles / 60 * std::sin(bearing) / std::cos(a.Latitude);
                if (lat > 90) lat = 180 - lat;
                if (lat < -90) lat = -180 - lat;
                if (lon > 180) lon -= 360;
                if (lon < -180) lon += 360;
                if (miles == 0) {
                    out.push_back(a);
                    continue;
                }
            }
        }
        out.push_back(FromDegrees(lat, lon));
    }
    return out;
}

}  // namespace

TEST_F(RealAirportData, OneReadSearchAgreesWithTheFivePassProcedureOn10000Positions) {
    const std::vector<GeoPosition> tests = TestPositions(positions, 10000);
    std::vector<int> passOf(tests.size()), mismatch(tests.size());
    auto work = [&](size_t first, size_t step) {
        for (size_t t = first; t < tests.size(); t += step) {
            // Every 50th position with every angle computed, which also checks the shortcut.
            const bool shortcut = t % 50 != 0;
            const std::vector<double> angles = Angles(tests[t], shortcut);
            NearestAirportScan scan(tests[t]);
            for (size_t i = 0; i < angles.size(); ++i)
                if (valid[i] && !scan.OfferAngle(angles[i], apt.text[i].c_str())) break;
            auto [pass, index] = FivePass(angles);
            passOf[t] = pass;
            char ident[5] = {};
            if (pass) CopyLineIdent(apt.text[index].c_str(), ident);
            mismatch[t] = scan.Pass() != pass || (pass && strcmp(scan.Ident(), ident) != 0);
            if (!shortcut) {
                auto quick = FivePass(Angles(tests[t], true));
                mismatch[t] |= quick.first != pass || (pass && quick.second != index);
            }
        }
    };
    std::thread helper(work, 1, 2);
    work(0, 2);
    helper.join();

    std::map<int, int> perPass;
    for (size_t t = 0; t < tests.size(); ++t) {
        ++perPass[passOf[t]];
        EXPECT_FALSE(mismatch[t]) << "position " << t << ": " << tests[t].Latitude * kDegreesPerRadian << ", "
                                  << tests[t].Longitude * kDegreesPerRadian;
    }
    // Every outcome occurs: found in each of the five passes, and nothing within 200 nm.
    for (int pass = 0; pass <= kSearchPasses; ++pass) EXPECT_GT(perPass[pass], 0) << "pass " << pass;
}

TEST_F(RealAirportData, FileSearchesAgreeOnTheRealFile) {
    const std::string path = RealFile("APT.dat");
    for (const GeoPosition& at : TestPositions(positions, 12)) {
        char one[8] = "", five[8] = "";
        int result = FindNearestAirportIn(path.c_str(), at, one);
        EXPECT_EQ(FindNearestAirportFivePass(path.c_str(), at, five), result);
        EXPECT_STREQ(one, five);
    }
}

TEST_F(RealAirportData, RecordsKeepTheLimitsAndTheSyntaxTheReaderExpects) {
    EXPECT_EQ(apt.skipped, 0u);
    EXPECT_EQ(radio.skipped, 0u);
    EXPECT_GT(apt.text.size(), 30000u);
    for (const std::string& line : apt.text) {
        ASSERT_GE(line.size(), 5u) << line;
        bool three = line[3] == ',';
        for (int i = 0; i < (three ? 3 : 4); ++i) ASSERT_TRUE(isalnum((unsigned char)line[i])) << line;
        if (!three) {
            ASSERT_EQ(line[4], ',') << line;
        }
        float lat = CsvField(line.c_str(), 3), lon = CsvField(line.c_str(), 4);
        ASSERT_TRUE(lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180) << line;
        ASSERT_FALSE(lat == 0 && lon == 0) << line;
    }
    for (const std::string& line : radio.text) {
        float type = CsvField(line.c_str(), 1), mhz = CsvField(line.c_str(), 2);
        ASSERT_TRUE(type >= 1 && type <= 12 && type == (int)type) << line;
        ASSERT_TRUE(mhz >= 108 && mhz <= 137) << line;
    }
}

TEST_F(RealAirportData, EveryAirportLoadsOnlyItsOwnRadioLines) {
    // Lines per airport by their first field; each ident's load must give exactly those lines.
    std::map<std::string, std::vector<std::string>> byIdent;
    for (const std::string& line : radio.text) {
        std::string field0 = line.substr(0, line.find(','));
        std::string ident = field0[0] == '"' ? field0.substr(1, field0.size() - 2) + "" : field0 + ",";
        byIdent[ident].push_back(line);
    }
    size_t n = 0;
    for (const auto& [ident, own] : byIdent) {
        if (n++ % 7) continue;  // a sample keeps the run short
        FrequencyCollector collector(ident.c_str());
        for (const std::string& line : radio.text) collector.Offer(line.c_str());
        ASSERT_EQ(collector.Count(), (int)std::min<size_t>(own.size(), kFrequencyTableSize)) << ident;
    }
    EXPECT_GT(n, 5000u);
}

TEST_F(RealAirportData, LargeAirportAtItsOwnPositionWithItsRadios) {
    const std::string path = RealFile("APT.dat");
    for (const char* wanted : {"EGLL", "KJFK", "YSSY"}) {
        auto line = std::find_if(apt.text.begin(), apt.text.end(),
                                 [&](const std::string& l) { return l.compare(0, 5, std::string(wanted) + ",") == 0; });
        ASSERT_NE(line, apt.text.end()) << wanted;
        GeoPosition at;
        AirportPosition(line->c_str(), &at);
        char ident[8] = "";
        ASSERT_EQ(FindNearestAirportIn(path.c_str(), at, ident), 1);
        EXPECT_STREQ(ident, wanted);
        FrequencyEntry table[kFrequencyTableSize];
        ASSERT_EQ(LoadAirportFrequenciesFrom(RealFile("Radio.dat").c_str(), ident, table), 1);
        bool tower = false;
        for (const FrequencyEntry& e : table) tower |= e.Type == FrequencyTower && e.Frequency > 118;
        EXPECT_TRUE(tower) << wanted;
    }
}
