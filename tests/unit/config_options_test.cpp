// Options as read from and written to the configuration file.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "config/colour_text.h"
#include "config_test_support.h"
#include "import_patch.h"
#include "base/deferred_work.h"

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveConfig();
        ResetOptions();
    }
    void TearDown() override { RemoveConfig(); }
};

void ExpectColour(const float* rgb, float r, float g, float b) {
    EXPECT_NEAR(rgb[0], r, 1e-6);
    EXPECT_NEAR(rgb[1], g, 1e-6);
    EXPECT_NEAR(rgb[2], b, 1e-6);
}

TEST_F(Options, NoFileGivesTheDefaults) {
    ASSERT_NE(ConfigFilePath().find("\\Resources\\plugins\\DURarUravud\\DURarUravud.cfg"), std::string::npos);
    LoadOptions();
    const OptionRecord& o = PluginOptions;
    EXPECT_EQ(o.WindowPosition, 1);
    EXPECT_EQ(o.ShowFrequencies, 1);
    EXPECT_EQ(o.BoostQVEProcessPriority, 1);
    EXPECT_EQ(o.AutoStart + o.DisableNativeAtc + o.DisableReminder + o.EnableKeyboardHints, 0);
    EXPECT_EQ(o.FlightPlanningOnline, 1);
    EXPECT_STREQ(o.FlightPlanningTarget, "ONLINE");
    ExpectColour(o.TitleColour, 0.3f, 0.9f, 0.9f);
    ExpectColour(o.OptionsColour, 1.0f, 0.0f, 0.0f);
    ExpectColour(o.HintsColour, 0.6f, 0.6f, 0.6f);
    EXPECT_EQ(ReadOptionInt("HintLeftPos", 0), 0);
    EXPECT_EQ(ReadOptionInt("HintTopPos", 768), 768);
}

TEST_F(Options, ModeSelectsAddressOrUtility) {
    WriteConfig("[FLIGHT_PLANNING]\nMode=online\nURL=https://plan.example/\nUtilityPath=C:\\Plan\\plan.exe\n");
    LoadOptions();
    EXPECT_EQ(PluginOptions.FlightPlanningOnline, 1);
    EXPECT_STREQ(PluginOptions.FlightPlanningTarget, "https://plan.example/");
    WriteConfig("[FLIGHT_PLANNING]\nMode=OFFLINE\nURL=https://plan.example/\nUtilityPath=C:\\Plan\\plan.exe\n");
    LoadOptions();
    EXPECT_EQ(PluginOptions.FlightPlanningOnline, 0);
    EXPECT_STREQ(PluginOptions.FlightPlanningTarget, "C:\\Plan\\plan.exe");
    WriteConfig("[FLIGHT_PLANNING]\nMode=\nURL=https://plan.example/\n");
    LoadOptions();
    EXPECT_EQ(PluginOptions.FlightPlanningOnline, 0);
    EXPECT_STREQ(PluginOptions.FlightPlanningTarget, "");
}

TEST_F(Options, FlagsCountWhenNotZeroAndTheReminderIsKeptAsRead) {
    WriteConfig("[options]\nautostart=2\nShowFrequencies=0\nDisableNativeAtc=-1\nDisableReminder=7\n"
                "WindowPosition=3\nEnableKeyboardHints=abc\nBoostQVEProcessPriority=0\n");
    LoadOptions();
    EXPECT_EQ(PluginOptions.AutoStart, 1);
    EXPECT_EQ(PluginOptions.ShowFrequencies, 0);
    EXPECT_EQ(PluginOptions.DisableNativeAtc, 1);
    EXPECT_EQ(PluginOptions.DisableReminder, 7);
    EXPECT_EQ(PluginOptions.WindowPosition, 3);
    EXPECT_EQ(PluginOptions.EnableKeyboardHints, 0);  // not a number reads 0
    EXPECT_EQ(PluginOptions.BoostQVEProcessPriority, 0);
}

TEST_F(Options, WritesReplaceAKeyWhateverItsCase) {
    WriteConfig("[OPTIONS]\nautostart=1\n");
    WriteOptionFlag("AutoStart", 0);
    WriteOptionInt("HintTopPos", -25);
    std::string text = ReadTextFile(ConfigFilePath());
    EXPECT_EQ(text.find("autostart=1"), std::string::npos) << text;
    EXPECT_EQ(ReadOptionInt("Autostart", 9), 0);
    EXPECT_EQ(ReadOptionInt("HintTopPos", 0), -25);
}

TEST_F(Options, BadFilesGiveDefaultsAndNeverCrash) {
    std::string garbage = "[OPTIONS\n\x01\x02\xff=\x7f\n==\n[OPTIONS]\nWindowPosition=99999999999999999999\n"
                          "WindowPosition=2\nShowFrequencies\n[COLOURS]\nTitle=,,,,,\nOptions=\xff\xfe\xfd\n";
    garbage += std::string(100000, 'x') + "\n[FLIGHT_PLANNING]\nURL=" + std::string(5000, 'u') + "\n";
    WriteConfig(garbage);
    LoadOptions();
    EXPECT_EQ(PluginOptions.ShowFrequencies, 1);
    EXPECT_EQ(strlen(PluginOptions.FlightPlanningTarget), 255u);  // cut to its buffer, terminated
    EXPECT_TRUE(PluginOptions.WindowPosition < 1 || PluginOptions.WindowPosition > 4 ||
                PluginOptions.WindowPosition == 2);
}

TEST(ColourText, ReadsThreeCharactersOfEachFieldAndGuardsTheRange) {
    const float builtin[3] = {0.3f, 0.9f, 0.9f};
    float rgb[3];
    ParseColourText("255,0,0", builtin, rgb);
    ExpectColour(rgb, 1.0f, 0.0f, 0.0f);
    ParseColourText("300,0,0", builtin, rgb);
    ExpectColour(rgb, 0.5f, 0.0f, 0.0f);
    ParseColourText("1000,0,0", builtin, rgb);
    ExpectColour(rgb, 100 / 255.0f, 0.0f, 0.0f);
    ParseColourText("-1,abc,127", builtin, rgb);
    ExpectColour(rgb, 0.5f, 0.0f, 127 / 255.0f);
    ParseColourText("nan,inf,1e9", builtin, rgb);
    ExpectColour(rgb, 0.0f, 0.0f, 0.5f);
}

TEST(ColourText, FieldsAreDecimalOnly) {
    // The number ends where a decimal one cannot go on: "0x9" is 0, not nine.
    const float builtin[3] = {0.3f, 0.9f, 0.9f};
    float rgb[3];
    ParseColourText("0x9,0,0", builtin, rgb);
    ExpectColour(rgb, 0.0f, 0.0f, 0.0f);
    ParseColourText("0XF,0x1,12", builtin, rgb);
    ExpectColour(rgb, 0.0f, 0.0f, 12 / 255.0f);
    ParseColourText("INF,NaN,0x", builtin, rgb);
    ExpectColour(rgb, 0.0f, 0.0f, 0.0f);
    ParseColourText(" 51,+51,2e1", builtin, rgb);
    ExpectColour(rgb, 51 / 255.0f, 51 / 255.0f, 20 / 255.0f);
    ParseColourText("1e,.5,9.", builtin, rgb);
    ExpectColour(rgb, 1 / 255.0f, 0.5f / 255.0f, 9 / 255.0f);
    EXPECT_EQ(LeadingNumber("0x10", 4), 0.0);
    EXPECT_EQ(LeadingNumber("-0x1p3", 6), 0.0);
    EXPECT_EQ(LeadingNumber("12e-1", 5), 1.2);
}

TEST(ColourText, MissingFieldsKeepTheBuiltInColour) {
    const float builtin[3] = {0.3f, 0.9f, 0.9f};
    float rgb[3];
    ParseColourText("", builtin, rgb);
    ExpectColour(rgb, 0.3f, 0.9f, 0.9f);
    ParseColourText("51", builtin, rgb);
    ExpectColour(rgb, 0.3f, 0.9f, 0.2f);
    ParseColourText("255,51", builtin, rgb);
    ExpectColour(rgb, 1.0f, 0.9f, 0.2f);
    ParseColourText(",,", builtin, rgb);
    ExpectColour(rgb, 0.0f, 0.0f, 0.0f);
}

TEST_F(Options, ColoursComeFromTheFile) {
    WriteConfig("[COLOURS]\nTitle=255,0,0\nOptions=0,255,0\n");
    LoadOptions();
    ExpectColour(PluginOptions.TitleColour, 1.0f, 0.0f, 0.0f);
    ExpectColour(PluginOptions.OptionsColour, 0.0f, 1.0f, 0.0f);
    ExpectColour(PluginOptions.HintsColour, 0.6f, 0.6f, 0.6f);
}

std::deque<COLORREF> g_colourAnswers;  // CLR_INVALID = cancel
std::vector<COLORREF> g_colourInitial;

BOOL WINAPI FakeChooseColor(LPCHOOSECOLORA dialog) {
    g_colourInitial.push_back(dialog->rgbResult);
    EXPECT_EQ(dialog->Flags, (DWORD)(CC_RGBINIT | CC_FULLOPEN));
    EXPECT_EQ(dialog->hwndOwner, nullptr);
    EXPECT_NE(dialog->lpCustColors, nullptr);
    COLORREF answer = g_colourAnswers.empty() ? CLR_INVALID : g_colourAnswers.front();
    if (!g_colourAnswers.empty()) g_colourAnswers.pop_front();
    if (answer == CLR_INVALID) return FALSE;
    dialog->rgbResult = answer;
    return TRUE;
}

TEST_F(Options, ChosenColoursAreStoredAndCancellingChangesNothing) {
    PatchOwnImport("comdlg32.dll", "ChooseColorA", (void*)FakeChooseColor);
    g_colourAnswers = {RGB(255, 128, 0), CLR_INVALID};
    EXPECT_EQ(ChooseColour(1), 1);
    ExpectColour(PluginOptions.OptionsColour, 1.0f, 128 / 255.0f, 0.0f);
    EXPECT_EQ(ChooseColour(2), 0);
    ExpectColour(PluginOptions.HintsColour, 0.6f, 0.6f, 0.6f);
    std::string text = ReadTextFile(ConfigFilePath());
    EXPECT_NE(text.find("Options=255,128,0"), std::string::npos) << text;
    EXPECT_EQ(text.find("KeyboardHints"), std::string::npos) << text;
    // The second dialog starts from the colour chosen last.
    ASSERT_EQ(g_colourInitial.size(), 2u);
    EXPECT_EQ(g_colourInitial[1], RGB(255, 128, 0));
}

TEST_F(Options, TheSiblingAutostartsOnlyWithExactlyOne) {
    std::string sibling = SimulatorPath("\\Resources\\plugins\\RX9toXplane\\RX9toXplane.cfg");
    DeleteFileA(sibling.c_str());
    EXPECT_FALSE(SiblingAutostartEnabled());
    WriteTextFile(sibling, "[OPTIONS]\nAutostart=2\n");
    EXPECT_FALSE(SiblingAutostartEnabled());
    WriteTextFile(sibling, "[options]\nAUTOSTART=1\n");
    EXPECT_TRUE(SiblingAutostartEnabled());
    DeleteFileA(sibling.c_str());
}


// ---- writes made on the deferred-work thread

std::atomic<bool> g_holdOpen{false}, g_holding{false};

void Hold() {
    g_holding = true;
    while (!g_holdOpen) Sleep(1);
}

class DeferredOptionWrites : public Options {
protected:
    void SetUp() override {
        Options::SetUp();
        ASSERT_TRUE(DeferredWork.Start());
        g_holdOpen = false;
        g_holding = false;
        // The worker is kept busy: queued writes stay queued until the test lets it go.
        ASSERT_TRUE(DeferredWork.Queue(Hold));
        while (!g_holding) Sleep(1);
    }
    void TearDown() override {
        g_holdOpen = true;
        DeferredWork.Stop();
        FlushOptionWrites();
        Options::TearDown();
    }
};

TEST_F(DeferredOptionWrites, AWriteWaitsForTheWorkerAndAReadSeesItAtOnce) {
    WriteConfig("[OPTIONS]\nWindowPosition=2\n");
    WriteOptionFlag("DisableNativeAtc", 1);
    EXPECT_EQ(ReadTextFile(ConfigFilePath()), "[OPTIONS]\nWindowPosition=2\n");
    EXPECT_EQ(ReadOptionInt("DisableNativeAtc", 0), 1);  // flushed by the read
    EXPECT_NE(ReadTextFile(ConfigFilePath()).find("DisableNativeAtc=1"), std::string::npos);
    // Once let go, the worker writes what is queued by itself.
    WriteOptionInt("HintTopPos", -5);
    g_holdOpen = true;
    for (int i = 0; i < 5000 && ReadTextFile(ConfigFilePath()).find("HintTopPos=-5") == std::string::npos; ++i)
        Sleep(1);
    EXPECT_NE(ReadTextFile(ConfigFilePath()).find("HintTopPos=-5"), std::string::npos);
}

TEST_F(DeferredOptionWrites, QueuedWritesLeaveTheFileAsWritesMadeOneByOne) {
    const std::string start = "[OPTIONS]\r\nAutoStart=1\r\n[COLOURS]\r\nTitle=1,2,3\r\n";
    const std::string longValue(MAX_PATH + 40, 'p');  // does not fit a queue slot
    struct Write {
        const char* key;
        std::string value;
    };
    std::vector<Write> writes = {{"WindowPosition", "3"}, {"AutoStart", "0"}, {"autostart", "1"}, {"QVEpath", "C:\\A\\"},
                                 {"WindowPosition", "4"}, {"QVEpath", longValue},  {"HintLeftPos", "7"}};
    // More different keys than the queue holds.
    for (int i = 0; i < 20; ++i) writes.push_back({nullptr, std::to_string(i)});
    writes.push_back({"HintLeftPos", "8"});
    auto keyOf = [](const Write& w, int i) { return w.key ? std::string(w.key) : "Extra" + std::to_string(i); };

    WriteConfig(start);
    for (size_t i = 0; i < writes.size(); ++i) {
        const std::string key = keyOf(writes[i], (int)i);
        WritePrivateProfileStringA("OPTIONS", key.c_str(), writes[i].value.c_str(), ConfigFilePath().c_str());
    }
    const std::string oneByOne = ReadTextFile(ConfigFilePath());

    WriteConfig(start);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ConfigFilePath().c_str());
    for (size_t i = 0; i < writes.size(); ++i) WriteOptionText(keyOf(writes[i], (int)i).c_str(), writes[i].value.c_str());
    FlushOptionWrites();
    EXPECT_EQ(ReadTextFile(ConfigFilePath()), oneByOne);
}

}  // namespace
