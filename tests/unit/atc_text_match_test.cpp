// Recognising the ATC text: the phrases, and the one-pass scan against testing every offset.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bridge/atc_text_match.h"

namespace {

bool StartMatch(const std::string& text) {
    std::vector<char> window(kAtcTextWindow, 0);
    memcpy(window.data(), text.data(), std::min(text.size(), window.size()));
    return IsAtcTextAtStart(window.data(), window.size());
}

TEST(AtcTextMatch, StartPhrasesAnywherePhraseAndSecondCandidate) {
    EXPECT_TRUE(StartMatch("loaded fp EDDF-LOWW"));
    EXPECT_TRUE(StartMatch("P.I.C. you are cleared"));
    EXPECT_TRUE(StartMatch("Tower, COMFREQ 118.50"));
    EXPECT_FALSE(StartMatch("xLoaded FP"));  // only at the start
    EXPECT_FALSE(StartMatch(std::string("Hello\0ComFreq", 13)));  // text ends at the NUL
    EXPECT_FALSE(StartMatch(std::string(125, 'x') + "ComFreq"));  // cut by the 128-byte window
    char second[kAtcTextWindow] = "xLoaded FP now";
    EXPECT_TRUE(IsAtcTextAnywhere(second, sizeof second));
    EXPECT_FALSE(IsAtcTextAnywhere("virtual Co-pilot", 17));
}

long long Reference(const std::vector<uint8_t>& bytes, size_t starts) {
    for (size_t a = 0; a < starts && a + kAtcTextWindow <= bytes.size(); ++a)
        if (IsAtcTextAtStart(reinterpret_cast<const char*>(&bytes[a]), kAtcTextWindow)) return (long long)a;
    return -1;
}

TEST(AtcTextMatch, OnePassScanAgreesWithTheByteWiseScan) {
    std::mt19937 random(7);
    const char* pieces[] = {"ComFreq", "Loaded ADV", "You are not", "P.I.C", "comfreq 1", "virtual Co-pilot"};
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> bytes(200 + random() % 900);
        for (uint8_t& b : bytes) b = random() % 4 == 0 ? 0 : (uint8_t)('a' + random() % 26);
        int inserts = random() % 3;
        for (int i = 0; i < inserts; ++i) {
            const char* piece = pieces[random() % 6];
            size_t at = random() % bytes.size();
            for (size_t k = 0; piece[k] && at + k < bytes.size(); ++k) bytes[at + k] = (uint8_t)piece[k];
        }
        size_t starts = bytes.size() - random() % 150;
        ASSERT_EQ(FirstAtcTextWindow(bytes.data(), bytes.size(), starts), Reference(bytes, starts)) << round;
    }
}

TEST(AtcTextMatch, TheEarliestWindowMayLieBeforeComFreq) {
    std::vector<uint8_t> bytes(400, 'x');
    bytes[10] = 0;
    memcpy(&bytes[300], "ComFreq", 7);
    EXPECT_EQ(FirstAtcTextWindow(bytes.data(), bytes.size(), bytes.size()), 300 + 7 - 128);
    EXPECT_EQ(FirstAtcTextWindow(bytes.data(), 100, 100), -1);  // shorter than a window
}

}  // namespace
