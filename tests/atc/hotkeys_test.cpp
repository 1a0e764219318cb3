// The stand-in ATC program's hot keys: numbers, its ini, the slot bookkeeping; and the order
// channel's argument quoting.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "atc_channel.h"
#include "hotkeys.h"

using namespace atc;

namespace {

// A new name each time: the profile functions may keep a file they read in a cache.
std::string TempIni(const std::string& text) {
    static int counter = 0;
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + "atc-hotkeys-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++counter) + ".ini";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

HotkeySet AllActive() {
    HotkeySet keys;
    for (int i = 0; i < kHotkeys; ++i) {
        keys[i].number = DefaultHotkeyNumber(i + 1);
        keys[i].active = true;
        keys[i].usable = DecodeHotkeyNumber(keys[i].number, &keys[i].key, &keys[i].modifiers);
    }
    return keys;
}

std::array<int, kHotkeys> NoSlots() {
    std::array<int, kHotkeys> s;
    s.fill(-1);
    return s;
}

}  // namespace

TEST(HotkeysNumbers, DecodeSplitsModifiersAndKey) {
    struct Case {
        long number;
        bool usable;
        uint8_t key, modifiers;
    } cases[] = {{3065, true, 'A', 3}, {1186, true, 0xBA, 1}, {2191, true, 0xBF, 2}, {96, true, 0x60, 0},
                 {112, true, 0x70, 0}, {255, true, 0xFF, 0}, {5065, false, 0, 3},  {256, false, 0, 0},
                 {0, false, 0, 0},     {2000, false, 0, 2},   {-65, false, 0, 0}};
    for (const Case& c : cases) {
        uint8_t key = 99, modifiers = 99;
        EXPECT_EQ(DecodeHotkeyNumber(c.number, &key, &modifiers), c.usable) << c.number;
        if (c.usable) {
            EXPECT_EQ(key, c.key) << c.number;
            EXPECT_EQ(modifiers, c.modifiers) << c.number;
        } else {
            EXPECT_EQ(key, 0) << c.number;
        }
    }
}

TEST(HotkeysNumbers, DefaultsAreDigitsThenCtrlShiftLetters) {
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(DefaultHotkeyNumber(i), 47 + i);
    const long rest[] = {3065, 3069, 3082, 3087, 3086, 3067, 3089, 3078, 3068, 3072, 3076};
    for (int i = 11; i <= 21; ++i) EXPECT_EQ(DefaultHotkeyNumber(i), rest[i - 11]) << i;
    EXPECT_EQ(DefaultHotkeyNumber(0), 0);
    EXPECT_EQ(DefaultHotkeyNumber(22), 0);
}

TEST(HotkeysNumbers, AnswersNameTheFunctionAndCarryThePilotPhrase) {
    EXPECT_EQ(PressAnswer(0), "P.I.C: Option 0 (Hotkey1)");
    EXPECT_EQ(PressAnswer(12), "P.I.C: Say Again (Hotkey13)");
    EXPECT_EQ(PressAnswer(20), "P.I.C: Ground Services (Hotkey21)");
    EXPECT_EQ(HotkeyFunction(21), "Unknown");
    EXPECT_EQ(HotkeyFunction(-1), "Unknown");
}

TEST(HotkeysIni, NoFileGivesDefaultsAllSwitchedOn) {
    bool found = true;
    HotkeySet keys = LoadHotkeys("C:\\no\\such\\folder\\QV3.ini", &found);
    EXPECT_FALSE(found);
    for (int i = 0; i < kHotkeys; ++i) {
        EXPECT_TRUE(keys[i].active);
        EXPECT_TRUE(keys[i].usable);
        EXPECT_EQ(keys[i].number, DefaultHotkeyNumber(i + 1));
    }
    EXPECT_EQ(keys[10].key, 'A');
    EXPECT_EQ(keys[10].modifiers, 3);
}

TEST(HotkeysIni, FileNumbersActiveFlagsAndDefaults) {
    std::string path = TempIni(
        "[Hotkeys]\r\nHotkey1=1186\r\nHotkey2=-7\r\nHotkey12=5065\r\n"
        "[HotkeysActive]\r\nHotkey1=1\r\nHotkey3=1\r\nHotkey12=1\r\n"
        "[Config]\r\nLastADV=C:\\Plans\\EDDF to EDDM.adv\r\n");
    bool found = false;
    HotkeySet keys = LoadHotkeys(path, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(keys[0].number, 1186);
    EXPECT_TRUE(keys[0].active && keys[0].usable);
    EXPECT_EQ(keys[0].key, 0xBA);
    EXPECT_FALSE(keys[1].usable) << "a negative number holds no key";
    EXPECT_FALSE(keys[1].active) << "missing from [HotkeysActive]";
    EXPECT_EQ(keys[2].number, 50) << "missing from [Hotkeys]: the default";
    EXPECT_TRUE(keys[2].active);
    EXPECT_TRUE(keys[11].active);
    EXPECT_FALSE(keys[11].usable);
    EXPECT_EQ(LastFlightPlanName(path), "EDDF to EDDM");
    DeleteFileA(path.c_str());
}

TEST(HotkeysIni, NoActiveSectionSwitchesAllOffAndNoPlanGivesEmptyName) {
    std::string path = TempIni("[Hotkeys]\r\nHotkey1=65\r\n");
    bool found = false;
    HotkeySet keys = LoadHotkeys(path, &found);
    for (const Hotkey& k : keys) EXPECT_FALSE(k.active);
    EXPECT_EQ(LastFlightPlanName(path), "");
    DeleteFileA(path.c_str());
}

TEST(HotkeysSlots, FirstLookPlacesKeysInFreeSlotsOnly) {
    std::array<uint32_t, kMaxSlots> slots{};
    slots[0] = 0x0141;  // someone else's
    slots[2] = 0x0242;
    auto slotOf = NoSlots();
    SlotReview r = ReviewSlots(AllActive(), slots.data(), 56, &slotOf);
    EXPECT_EQ(r.writes.size(), 21u);
    EXPECT_EQ(slotOf[0], 1);
    EXPECT_EQ(slotOf[1], 3);
    EXPECT_EQ(slotOf[20], 22);
    for (const SlotWrite& w : r.writes) EXPECT_NE(w.slot, 0) << "foreign slot overwritten";
    EXPECT_EQ(r.writes[0].value, 0x30u);
    EXPECT_EQ(r.writes[10].value, 0x0341u) << "Ctrl+Shift+A";
    EXPECT_TRUE(r.presses.empty());
    EXPECT_EQ(r.unplaced, 0);
}

TEST(HotkeysSlots, FewSlotsLeaveKeysUnplacedAndInactiveKeysStayOut) {
    HotkeySet keys = AllActive();
    keys[0].active = false;
    keys[1].usable = false;
    std::array<uint32_t, kMaxSlots> slots{};
    auto slotOf = NoSlots();
    SlotReview r = ReviewSlots(keys, slots.data(), 4, &slotOf);
    EXPECT_EQ(r.writes.size(), 4u);
    EXPECT_EQ(slotOf[0], -1);
    EXPECT_EQ(slotOf[1], -1);
    EXPECT_EQ(slotOf[2], 0);
    EXPECT_EQ(r.unplaced, 21 - 2 - 4);
    // The server offering fewer slots later gives up those beyond.
    std::array<uint32_t, kMaxSlots> now{};
    for (const SlotWrite& w : r.writes) now[w.slot] = w.value;
    r = ReviewSlots(keys, now.data(), 2, &slotOf);
    EXPECT_EQ(slotOf[4], -1);
    EXPECT_EQ(slotOf[3], 1);
    EXPECT_EQ(ReviewSlots(keys, now.data(), -3, &slotOf).writes.size(), 0u);
}

TEST(HotkeysSlots, PressIsReportedByItsSlotAndCleared) {
    auto keys = AllActive();
    std::array<uint32_t, kMaxSlots> slots{};
    auto slotOf = NoSlots();
    for (const SlotWrite& w : ReviewSlots(keys, slots.data(), 56, &slotOf).writes) slots[w.slot] = w.value;
    // The reporter rewrote the key byte with its own conversion: the slot still decides.
    slots[12] = 0x0100032Bu | 0x01000000u;
    slots[1] = 0x01000031u;
    SlotReview r = ReviewSlots(keys, slots.data(), 56, &slotOf);
    ASSERT_EQ(r.presses.size(), 2u);
    EXPECT_EQ(r.presses[0].hotkey, 1);
    EXPECT_EQ(r.presses[0].value, 0x01000031u);
    EXPECT_EQ(r.presses[1].hotkey, 12);
    ASSERT_EQ(r.writes.size(), 2u);
    EXPECT_EQ(r.writes[0].slot, 1);
    EXPECT_EQ(r.writes[0].value, 0x31u);
    EXPECT_EQ(r.writes[1].value, SlotValue('R', 3));
    EXPECT_EQ(slotOf[12], 12);
}

TEST(HotkeysSlots, EmptiedSlotIsRetakenAndForeignSlotGivenUp) {
    auto keys = AllActive();
    std::array<uint32_t, kMaxSlots> slots{};
    auto slotOf = NoSlots();
    for (const SlotWrite& w : ReviewSlots(keys, slots.data(), 56, &slotOf).writes) slots[w.slot] = w.value;
    SlotReview quiet = ReviewSlots(keys, slots.data(), 56, &slotOf);
    EXPECT_TRUE(quiet.writes.empty()) << "nothing changed, nothing written";
    slots[3] = 0;
    slots[4] = 0x0155;  // someone else's key now
    SlotReview r = ReviewSlots(keys, slots.data(), 56, &slotOf);
    EXPECT_EQ(r.retaken, 1);
    EXPECT_EQ(r.lost, 1);
    EXPECT_EQ(slotOf[3], 3);
    EXPECT_EQ(slotOf[4], 21) << "moved to the first free slot";
    ASSERT_EQ(r.writes.size(), 2u);
    EXPECT_EQ(r.writes[0].slot, 3);
    EXPECT_EQ(r.writes[1].slot, 21);
    EXPECT_EQ(r.writes[1].value, 0x34u);
}

TEST(ChannelQuoting, WindowsCommandLineRules) {
    EXPECT_EQ(QuoteArgument("plain"), "plain");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    EXPECT_EQ(QuoteArgument("    QV3 - Aeravox"), "\"    QV3 - Aeravox\"");
    EXPECT_EQ(QuoteArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArgument("C:\\a b\\"), "\"C:\\a b\\\\\"");
    EXPECT_EQ(QuoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");
    EXPECT_EQ(QuoteArgument("C:\\x\\y"), "C:\\x\\y");
}
