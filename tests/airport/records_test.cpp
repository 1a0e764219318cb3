// Record fields, the great-circle angle, line cutting and the frequency choice, on text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "airport/airport_records.h"

namespace {

std::vector<std::string> Split(const std::string& bytes, size_t limit, size_t chunk) {
    std::vector<std::string> lines;
    LineSplitter splitter(limit);
    auto keep = [&](const char* line) {
        lines.emplace_back(line);
        return true;
    };
    for (size_t at = 0; at < bytes.size(); at += chunk)
        splitter.Feed(bytes.data() + at, std::min(chunk, bytes.size() - at), keep);
    splitter.Finish(keep);
    return lines;
}

constexpr double kPi = 3.14159265358979323846;

GeoPosition Degrees(double lat, double lon) { return {lat / kDegreesPerRadian, lon / kDegreesPerRadian}; }

}  // namespace

TEST(CsvField, CountsFieldsAndQuotedFieldsWithCommasAsOne) {
    EXPECT_FLOAT_EQ(CsvField("EDDF,large,Frankfurt,50.0333,8.5706", 3), 50.0333f);
    EXPECT_FLOAT_EQ(CsvField("EDDF,large,Frankfurt,50.0333,8.5706", 4), 8.5706f);
    EXPECT_FLOAT_EQ(CsvField("EDDF,large,\"Frankfurt, Main\",50.0333,8.5706", 3), 50.0333f);
    EXPECT_FLOAT_EQ(CsvField("EDDF,\"a,b,c\",\"x, y\",-12.5,7", 3), -12.5f);
    EXPECT_FLOAT_EQ(CsvField("\"KJFK\",6,119.1", 2), 119.1f);
    EXPECT_FLOAT_EQ(CsvField("ABC,8,118.025", 1), 8.0f);
    // The field's leading number; text, a quoted number and an empty field read as 0.
    EXPECT_FLOAT_EQ(CsvField("X,12abc,", 1), 12.0f);
    EXPECT_EQ(CsvField("X,abc,1", 1), 0.0f);
    EXPECT_EQ(CsvField("X,\"5\",1", 1), 0.0f);
    EXPECT_EQ(CsvField("X,,1", 1), 0.0f);
    // Fewer fields than asked for, no comma at all, field 0, null.
    EXPECT_EQ(CsvField("EDDF,large,Frankfurt", 3), 0.0f);
    EXPECT_EQ(CsvField("no commas at all 123", 1), 0.0f);
    EXPECT_EQ(CsvField("5,6", 0), 0.0f);
    EXPECT_EQ(CsvField(nullptr, 1), 0.0f);
}

TEST(CsvField, NumbersThatAreNotFiniteFloatsReadAsZero) {
    for (const char* text : {"X,1e999", "X,-1e999", "X,nan", "X,NAN(123)", "X,inf", "X,-infinity", "X,1e39"})
        EXPECT_EQ(CsvField(text, 1), 0.0f) << text;
    EXPECT_FLOAT_EQ(CsvField("X,3e38", 1), 3e38f);
    EXPECT_EQ(CsvField("X,1e-999", 1), 0.0f);
}

TEST(CsvField, ReadsNumbersAsStrtodDoes) {
    std::mt19937_64 random(3);
    std::vector<std::string> texts = {"0", "-0", "+5", ".5", "-.25", "5.", "1.2.3", "007.50", "12x", "1e5", "1e",
                                      "-1.5E-3", "0x1A", " 42", "123456789012345", "1234567890123456",
                                      "0.000000000000001", "99999999999999.9", "-90.000000", "179.9757"};
    for (int i = 0; i < 20000; ++i) {
        char text[64];
        double v = std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 60));
        snprintf(text, sizeof text, "%s%.*f", random() % 2 ? "-" : "", static_cast<int>(random() % 16), v);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        double expected = strtod(text.c_str(), nullptr);
        std::string line = "ABCD,x,y," + text + ",z";
        ASSERT_EQ(CsvField(line.c_str(), 3), static_cast<float>(expected)) << text;
    }
}

TEST(CsvField, ANumberFieldHoldsAtMost255Characters) {
    // 255 characters of the field are read: the digits after them are not part of the number.
    std::string digits = "1" + std::string(254, '0') + "99";
    std::string line = "X," + std::string(250, ' ') + "12345678";
    EXPECT_FLOAT_EQ(CsvField(line.c_str(), 1), 12345.0f);
    std::string longZeros = "X,0." + std::string(400, '0') + "1";
    EXPECT_EQ(CsvField(longZeros.c_str(), 1), 0.0f);
    std::string huge = "X," + digits;
    EXPECT_EQ(CsvField(huge.c_str(), 1), 0.0f);  // 1e254 is beyond float
}

TEST(CentralAngle, EqualPositionsAndRoundingToOneGiveZero) {
    EXPECT_EQ(CentralAngle(Degrees(50, 8), Degrees(50, 8)), 0.0);
    // Longitudes one ulp apart: the cosine computes to 1 or more.
    GeoPosition a = Degrees(45, 7);
    GeoPosition b = a;
    b.Longitude = std::nextafter(b.Longitude, 1.0);
    EXPECT_EQ(CentralAngle(a, b), 0.0);
    EXPECT_NEAR(CentralAngle(Degrees(0, 0), Degrees(0, 180)), kPi, 1e-7);
    EXPECT_NEAR(CentralAngle(Degrees(90, 0), Degrees(-90, 0)), kPi, 1e-7);
    // One degree of latitude is 60 nm.
    EXPECT_NEAR(CentralAngle(Degrees(10, 20), Degrees(11, 20)), 1 / kDegreesPerRadian, 1e-12);
    // Across the antimeridian, and around a pole.
    EXPECT_NEAR(CentralAngle(Degrees(0, 179.5), Degrees(0, -179.5)), 1 / kDegreesPerRadian, 1e-12);
    EXPECT_NEAR(CentralAngle(Degrees(89.5, 0), Degrees(89.5, 180)), 1 / kDegreesPerRadian, 1e-9);
    GeoPosition nan{std::nan(""), 0};
    EXPECT_EQ(CentralAngle(nan, Degrees(1, 1)), kPi);
}

TEST(SearchRadius, FivePassesOf1To200Miles) {
    const double expected[] = {0.000290887963, 0.000581775926, 0.000872663889, 0.0290887963, 0.0581775926};
    for (int pass = 1; pass <= 5; ++pass)
        EXPECT_NEAR(SearchRadius(pass), expected[pass - 1], expected[pass - 1] * 1e-9);
    EXPECT_EQ(SearchPassOf(0), 1);
    EXPECT_EQ(SearchPassOf(SearchRadius(1)), 2);  // strictly inside
    EXPECT_EQ(SearchPassOf(SearchRadius(4) * 1.5), 5);
    EXPECT_EQ(SearchPassOf(SearchRadius(5)), 0);
    EXPECT_EQ(SearchPassOf(kPi), 0);
}

TEST(NearestAirportScan, FirstInFileWithinTheSmallestRadiusWins) {
    NearestAirportScan scan(Degrees(50, 8));
    EXPECT_TRUE(scan.Offer("FAR1,x,x,51.5,8"));  // 90 nm: pass 4
    EXPECT_TRUE(scan.Offer("FAR2,x,x,50.5,8"));  // 30 nm: pass 4 too, later in the file
    EXPECT_EQ(std::string(scan.Ident()), "FAR1");
    EXPECT_TRUE(scan.Offer("ABC,x,x,50.04,8"));  // 2.4 nm: pass 3
    EXPECT_TRUE(scan.Offer("SHO"));              // too short: skipped
    EXPECT_EQ(scan.Pass(), 3);
    EXPECT_EQ(std::string(scan.Ident()), "ABC,");
    // Pass 1 ends the search: nothing later can beat it.
    EXPECT_FALSE(scan.Offer("HERE,x,x,50,8"));
    EXPECT_EQ(std::string(scan.Ident()), "HERE");
}

TEST(LineSplitter, EndsLinesAtFeedsDropsCarriageReturnsAndSkipsLongLines) {
    std::string bytes = "one\r\ntwo\n\nthree\r\r\n" + std::string(64, 'x') + "\n" + std::string(63, 'y') + "\r\nlast";
    for (size_t chunk : {1, 2, 7, 4096}) {
        std::vector<std::string> lines = Split(bytes, kRadioLineLimit, chunk);
        std::vector<std::string> expected = {"one", "two", "", "three\r", std::string(63, 'y'), "last"};
        EXPECT_EQ(lines, expected) << "chunk " << chunk;
    }
    // A NUL byte ends the line's text; a huge line is skipped and the read goes on.
    std::string withNul("ab\0cd\n", 6);
    EXPECT_EQ(Split(withNul + std::string(1 << 20, 'z') + "\nafter", kAirportLineLimit, 65536),
              (std::vector<std::string>{"ab", "after"}));
    EXPECT_EQ(Split(std::string(600, 'q'), kAirportLineLimit, 100), std::vector<std::string>{});
}

TEST(ContainsNoCase, FindsTheIdentAnywhereWithoutRegardToCase) {
    EXPECT_TRUE(ContainsNoCase("\"EDDF\",6,119.9", "eddf"));
    EXPECT_TRUE(ContainsNoCase("abc,6,119.9", "ABC,"));
    EXPECT_TRUE(ContainsNoCase("XXXX,6,119.9,see edds", "EDDS"));
    EXPECT_FALSE(ContainsNoCase("\"XABC\",6,119.9", "ABC,"));
    EXPECT_FALSE(ContainsNoCase("EDD", "EDDF"));
    EXPECT_FALSE(ContainsNoCase(nullptr, "EDDF"));
}

TEST(FrequencyCollector, KeepsTheFirst16PositiveFrequenciesOfLinesHoldingTheIdent) {
    FrequencyCollector collector("EDDF");
    collector.Offer("EDDF,1,0");           // not positive
    collector.Offer("EDDF,1,-118.0");      // not positive
    collector.Offer("EDDF,1,nan");         // not a number
    collector.Offer("EDDS,5,121.9");       // another airport
    collector.Offer("XXXX,14,121.1,EDDF"); // the ident in another field
    for (int i = 0; i < 20; ++i) {
        std::string line = "eddf," + std::to_string(i % 12 + 1) + "," + std::to_string(118 + i) + ".5";
        collector.Offer(line.c_str());
    }
    ASSERT_EQ(collector.Count(), 16);
    EXPECT_EQ(collector.Entries()[0].Type, 14);
    EXPECT_FLOAT_EQ(collector.Entries()[0].Frequency, 121.1f);
    for (int i = 1; i < 16; ++i) {
        EXPECT_FLOAT_EQ(collector.Entries()[i].Frequency, 118 + (i - 1) + 0.5f);
        EXPECT_EQ(collector.Entries()[i].Type, (i - 1) % 12 + 1);
    }
}

TEST(FrequencyCollector, TypesTruncateTowardsZeroAndHugeTypesGiveZero) {
    FrequencyCollector collector("AAA,");
    collector.Offer("AAA,6.9,118.1");
    collector.Offer("AAA,-2.5,118.2");
    collector.Offer("AAA,3e10,118.3");
    collector.Offer("AAA,1e999,118.4");
    ASSERT_EQ(collector.Count(), 4);
    EXPECT_EQ(collector.Entries()[0].Type, 6);
    EXPECT_EQ(collector.Entries()[1].Type, -2);
    EXPECT_EQ(collector.Entries()[2].Type, 0);
    EXPECT_EQ(collector.Entries()[3].Type, 0);
}

TEST(FrequencyTypeLabel, NamesTheTwelveCodes) {
    EXPECT_STREQ(FrequencyTypeLabel(FrequencyAtis), "ATIS");
    EXPECT_STREQ(FrequencyTypeLabel(FrequencyGround), "GRND");
    EXPECT_STREQ(FrequencyTypeLabel(FrequencyDelivery), "DELIV");
    EXPECT_STREQ(FrequencyTypeLabel(FrequencyAwos), "AWOS");
    EXPECT_EQ(FrequencyTypeLabel(0), nullptr);
    EXPECT_EQ(FrequencyTypeLabel(14), nullptr);
}
