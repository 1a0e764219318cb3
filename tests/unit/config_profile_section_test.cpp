// A profile section read whole answers every key as the single-key read does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "config/profile_section.h"
#include "config/profile_text.h"
#include "config_test_support.h"

namespace {

std::string TestIni() { return SimulatorFolder() + "\\profile-section-test\\test.ini"; }

// Every key answered by the section and by GetPrivateProfileIntA, with two fallbacks (so that
// "fallback" and "the value happens to equal it" are told apart).
void ExpectSameAsSingleReads(const std::string& text, const char* section, const std::vector<std::string>& keys,
                             bool whole = true) {
    const std::string file = TestIni();
    WriteTextFile(file, text);
    // The system caches profile files by name and time: make sure this text is the one read.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    const ProfileSection read(file.c_str(), section);
    EXPECT_EQ(read.Whole(), whole);
    for (const std::string& key : keys)
        for (int fallback : {-7, 48}) {
            const int single = (int)GetPrivateProfileIntA(section, key.c_str(), fallback, file.c_str());
            EXPECT_EQ(read.Int(key.c_str(), fallback), single) << "key '" << key << "' fallback " << fallback;
        }
}

TEST(ProfileSection, MissingFileAndSectionGiveTheFallback) {
    DeleteFileA(TestIni().c_str());
    const ProfileSection none(TestIni().c_str(), "Hotkeys");
    EXPECT_EQ(none.Int("Hotkey1", 48), 48);
    ExpectSameAsSingleReads("[Other]\nHotkey1=5\n", "Hotkeys", {"Hotkey1"});
    ExpectSameAsSingleReads("", "Hotkeys", {"Hotkey1"});
}

TEST(ProfileSection, KeysSpacingCaseDuplicatesAndComments) {
    ExpectSameAsSingleReads("[Other]\nHotkey1=9\n"
                            "[hotkeys]\r\n"
                            "Hotkey1=3065\r\n"
                            "  Hotkey2  =  1186  \r\n"
                            "\tHotkey3\t=\t7\t\r\n"
                            "HOTKEY4=12\r\n"
                            "Hotkey5=1\r\nHotkey5=2\r\n"
                            ";Hotkey6=6\r\n#Hotkey7=7\r\n"
                            "Hotkey8=\r\n"
                            "Hotkey9\r\n"
                            "=10\r\n"
                            "Hotkey10 = 4 ; a note\r\n"
                            "Hotkey11=\"13\"\r\nHotkey12='14'\r\nHotkey13=\"15'\r\nHotkey14=\"\"\r\nHotkey15=\"\r\n"
                            "[Hotkeys]\r\nHotkey16=99\r\n"
                            "[After]\nHotkey17=1\n",
                            "Hotkeys",
                            {"Hotkey1", "Hotkey2", "Hotkey3", "Hotkey4", "hotkey4", "Hotkey5", "Hotkey6", "Hotkey7",
                             "Hotkey8", "Hotkey9", "Hotkey10", "Hotkey11", "Hotkey12", "Hotkey13", "Hotkey14",
                             "Hotkey15", "Hotkey16", "Hotkey17", "Hotkey"});
}

TEST(ProfileSection, NumbersAsTheSystemConvertsThem) {
    ExpectSameAsSingleReads("[N]\n"
                            "a=-5\nb=+6\nc=0x1F\nd=0X1F\ne=0b101\nf=0o17\ng=007\nh=12abc\ni=abc\n"
                            "j=99999999999\nk=4294967295\nl=-2147483649\nm=000000000000000000000000000000000123\n"
                            "n=1 2\no=0x\np=-\nq=0xfg\nr=1e3\n",
                            "N", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r"});
}

TEST(ProfileSection, ASectionTooLargeForTheBufferFallsBackToSingleReads) {
    std::string text = "[Hotkeys]\n";
    for (int i = 0; i < 3000; ++i) text += "Filler" + std::to_string(i) + "=" + std::string(10, 'x') + "\n";
    text += "Hotkey1=3065\nHotkey2=7\n";
    ExpectSameAsSingleReads(text, "Hotkeys", {"Hotkey1", "Hotkey2", "Hotkey3"}, false);
}

TEST(ProfileSection, ValuesFoundInTheSectionText) {
    const char text[] = "a=1\0 B = \"x y\" \0c\0a=2\0";
    std::string value;
    ASSERT_TRUE(FindProfileValue(text, sizeof text, "A", &value));
    EXPECT_EQ(value, "1");
    ASSERT_TRUE(FindProfileValue(text, sizeof text, "b", &value));
    EXPECT_EQ(value, "x y");
    ASSERT_TRUE(FindProfileValue(text, sizeof text, "c", &value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(FindProfileValue(text, sizeof text, "d", &value));
    // Text that lacks its final NULs is not read past its size.
    const char cut[3] = {'c', '=', '5'};
    ASSERT_TRUE(FindProfileValue(cut, sizeof cut, "c", &value));
    EXPECT_EQ(value, "5");
}

}  // namespace
