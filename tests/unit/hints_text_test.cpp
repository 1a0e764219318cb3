// What the keyboard hints panel shows, and how keys meet hot-key slots, checked against the
// expected lists as text.
#include <gtest/gtest.h>

#include <cmath>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "XPLMDefs.h"
#include "config/hotkey_text.h"
#include "config/key_chars.h"
#include "ui/hints_text.h"

namespace {

// The ATC program's default hotkeys: digits, then Ctrl+Shift+A E R W V C Y N D H L.
struct DefaultKeys {
    HotkeyEntry table[kAtcHotkeyCount];
    char keys[kAtcHotkeyCount + 1] = {};
    DefaultKeys() {
        const char later[] = "AERWVCYNDHL";
        for (int i = 0; i < kAtcHotkeyCount; ++i) {
            table[i] = i < 10 ? HotkeyEntry{0, (uint8_t)('0' + i)} : HotkeyEntry{3, (uint8_t)later[i - 10]};
            keys[i] = (char)table[i].key;
        }
    }
};

// An airport with every service: the phase is chosen by tuning COM1 to one of them.
const FrequencyEntry kAirport[kFrequencyTableSize] = {
    {118.05f, 1}, {122.9f, 2}, {122.8f, 3},  {122.7f, 4},  {121.8f, 5},  {119.9f, 6},
    {121.9f, 7},  {120.8f, 8}, {125.35f, 9}, {127.1f, 10}, {122.2f, 11}, {124.0f, 14}, {128.5f, 12},
};

int Com1Of(int type) {
    for (const FrequencyEntry& e : kAirport)
        if (e.Type == type) return (int)(e.Frequency * 100.0f + 0.5f);
    return 13500;  // 135.00: not at this airport
}

std::vector<std::string> Entries(const OptionList& list) {
    std::vector<std::string> out;
    std::string text = list.text, entry;
    for (char c : text) {
        if (c == '*') {
            out.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    EXPECT_EQ(entry, "") << "text after the last entry";
    return out;
}

// The key column of an entry with the default hotkeys.
std::string Keys(int index) {
    static const char* const kLater[] = {"CS A", "CS E", "CS R", "CS W", "CS V", "CS C", "CS Y", "CS N",
                                         "CS D", "CS H", "CS L"};
    return index < 10 ? std::string(" ") + (char)('0' + index) : kLater[index - 10];
}

struct Expected {
    const char* text;
    int index;
};

std::vector<std::string> Text(std::initializer_list<Expected> entries) {
    std::vector<std::string> out;
    for (const Expected& e : entries) out.push_back(std::string(e.text) + "\t" + Keys(e.index));
    return out;
}

std::vector<std::string> List(int phaseType, bool onGround, bool emergency = false) {
    DefaultKeys keys;
    OptionInputs in;
    in.com1 = Com1Of(phaseType);
    in.onGround = onGround;
    in.emergency = emergency;
    in.frequencies = kAirport;
    in.hotkeys = keys.table;
    in.hotkeyKeys = keys.keys;
    OptionList list = ChooseOptionList(in);
    std::vector<std::string> entries = Entries(list);
    EXPECT_EQ(list.count, (int)entries.size());
    return entries;
}

const std::initializer_list<Expected> kFlightPlanList = {
    {"Request to Close FPLN____", 1}, {"Extend ETA by 30 Minutes_", 2}, {"Request WXR Advisories___", 3},
    {"Request Center Frequency_", 4}, {"Toggle FPLN VFR/IFR______", 6}, {"Request Field Advisories_", 7},
    {"Amend FPLN_______________", 8}, {"Report Position__________", 9}};

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<std::string> kAckSay = Text({{"Acknowledge______________", 10}, {"Say Again________________", 12}});
const std::vector<std::string> kAirTail = Text({{"Req Dir WPT or RWY_______", 13}, {"Declare Emergency________", 11}});
const std::vector<std::string> kVcp = Text({{"VCP Mode_________________", 14}});

// ---- AppendOption

TEST(AppendOption, EntryTextModifierLettersAndKeyLabel) {
    DefaultKeys keys;
    OptionList list;
    AppendOption(list, "Say Again________________", 12, keys.table, keys.keys);
    EXPECT_STREQ(list.text, "Say Again________________\tCS R*");
    EXPECT_EQ(list.count, 1);
    AppendOption(list, "Request clearance________", 0, keys.table, keys.keys);
    EXPECT_STREQ(list.text, "Say Again________________\tCS R*Request clearance________\t 0*");
    EXPECT_EQ(list.count, 2);
}

TEST(AppendOption, LabelsForKeypadFunctionKeysAndModifiers) {
    HotkeyEntry table[kAtcHotkeyCount] = {};
    char keys[kAtcHotkeyCount + 1] = {};
    struct Case {
        int number;
        const char* column;
    } cases[] = {{96, " NUM0"},   {105, " NUM9"},   {112, " F1"},    {123, " F12"},  {2065, "C A"},
                 {1186, "S ;"},   {3191, "CS /"},   {107, " NUM+"},  {109, " NUM-"}, {110, " NUM."},
                 {111, " NUM/"},  {106, " NUMx"},      {5065, "CS "},   {187, " +"},    {192, " '"}};
    for (const Case& c : cases) {
        uint16_t packed = DecodeHotkey(c.number);
        table[3] = {(uint8_t)(packed & 0xFF), (uint8_t)(packed >> 8)};
        keys[3] = (char)table[3].key;
        OptionList list;
        AppendOption(list, "Req Lower Alt Weather____", 3, table, keys);
        EXPECT_EQ(std::string(list.text), std::string("Req Lower Alt Weather____\t") + c.column + "*") << c.number;
    }
}

TEST(AppendOption, TheKeypadMultiplyKeepsItsEntryWhole) {
    // Its key character is the list's separator: the label must not be.
    HotkeyEntry table[kAtcHotkeyCount] = {};
    char keys[kAtcHotkeyCount + 1] = {};
    uint16_t packed = DecodeHotkey(106);
    table[3] = {(uint8_t)(packed & 0xFF), (uint8_t)(packed >> 8)};
    keys[3] = (char)table[3].key;
    OptionList list;
    AppendOption(list, "Req Lower Alt Weather____", 3, table, keys);
    AppendOption(list, "Req Higher Alt Weather___", 3, table, keys);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"Req Lower Alt Weather____\t NUMx",
                                                       "Req Higher Alt Weather___\t NUMx"}));
    EXPECT_EQ((int)Entries(list).size(), list.count);
    const char watched[] = {keys[3], 0};
    EXPECT_TRUE(IsWatchedKey(KeyCharOfSimulatorKey(XPLM_VK_MULTIPLY), watched));
}

TEST(AppendOption, AFullBufferTakesNoHalfEntry) {
    DefaultKeys keys;
    OptionList list;
    for (int i = 0; i < 40; ++i) AppendOption(list, "Request Vectors__________", 7, keys.table, keys.keys);
    EXPECT_LT(strlen(list.text), (size_t)kOptionListSize);
    EXPECT_EQ(list.text[strlen(list.text) - 1], '*');
    EXPECT_EQ((int)Entries(list).size(), list.count);
}

// ---- the phase and the lists

TEST(PhaseCode, Com1OffTheTableIsGroundOnTheGroundAndCenterInTheAir) {
    EXPECT_EQ(PhaseCode(13500, kAirport, true), 5);
    EXPECT_EQ(PhaseCode(13500, kAirport, false), 10);
    // COM1 at 0 meets the empty entries, whose type is 0: the same defaults.
    EXPECT_EQ(PhaseCode(0, kAirport, true), 5);
    EXPECT_EQ(PhaseCode(0, kAirport, false), 10);
}

TEST(PhaseCode, ExactFrequencyGivesItsType) {
    EXPECT_EQ(PhaseCode(11990, kAirport, false), 6);
    EXPECT_EQ(PhaseCode(11990, kAirport, true), 6);
    EXPECT_EQ(PhaseCode(12535, kAirport, true), 9);
    EXPECT_EQ(PhaseCode(11806, kAirport, true), 5);  // 118.06 is not 118.05
    // The first matching entry wins; a match with type 0 counts as no match.
    FrequencyEntry twice[kFrequencyTableSize] = {{119.9f, 0}, {119.9f, 6}, {119.9f, 7}};
    EXPECT_EQ(PhaseCode(11990, twice, false), 10);
    FrequencyEntry order[kFrequencyTableSize] = {{119.9f, 7}, {119.9f, 6}};
    EXPECT_EQ(PhaseCode(11990, order, false), 7);
}

// 8.33 kHz channels: 132.830 and 132.835 are both 13283 in 10 kHz units; the exact channel in kHz
// tells them apart, and 118.005 (11800 in 10 kHz units) is not 118.000.
TEST(PhaseCode, ExactChannelTellsEightThreeThreeNeighboursApart) {
    FrequencyEntry table[kFrequencyTableSize] = {{132.830f, 8}, {132.835f, 6}, {118.005f, 7}, {118.000f, 5}};
    EXPECT_EQ(PhaseCode(13283, 132830, table, false), 8);
    EXPECT_EQ(PhaseCode(13283, 132835, table, false), 6);
    EXPECT_EQ(PhaseCode(11800, 118005, table, true), 7);
    EXPECT_EQ(PhaseCode(11800, 118000, table, true), 5);
    // A channel on no entry is no match even where its 10 kHz value meets one.
    EXPECT_EQ(PhaseCode(13283, 132840, table, false), 10);
    // In 10 kHz units the first of the neighbours wins, and 118.005 is found by nothing.
    EXPECT_EQ(PhaseCode(13283, 0, table, false), 8);
    EXPECT_EQ(PhaseCode(11800, 0, table, true), 5);
    EXPECT_EQ(ChannelKhz(132.835f), 132835);
    EXPECT_EQ(ChannelKhz(0.0f), 0);
    EXPECT_EQ(ChannelKhz(-1.0f), 0);
    EXPECT_EQ(ChannelKhz(NAN), 0);
}

TEST(OptionLists, GroundControlOnTheGround) {
    EXPECT_EQ(List(5, true),
              Join({Text({{"Check-in Ready for taxi__", 0}}), kAckSay,
                    Text({{"Request Taxi OUT_________", 0},
                          {"Request Taxi IN__________", 5},
                          {"Request Another Runway___", 13},
                          {"Accept this Runway_______", 16},
                          {"Show Another Runway______", 17},
                          {"Request Radio Check______", 6},
                          {"Request Baro Setting_____", 7}}),
                    kVcp}));
    // COM1 off the table on the ground is the same list.
    EXPECT_EQ(List(99, true), List(5, true));
}

TEST(OptionLists, TowerOnTheGround) {
    EXPECT_EQ(List(6, true), Join({Text({{"Request Taxi to Runway___", 0}}), kAckSay,
                                   Text({{"Request Taxi OUT_________", 0},
                                         {"Request Taxi IN__________", 5},
                                         {"Request Another Runway___", 13},
                                         {"Accept this Runway_______", 16},
                                         {"Show Another Runway______", 17},
                                         {"Request takeoff__________", 6}}),
                                   kVcp}));
}

TEST(OptionLists, UncontrolledFieldsOnTheGroundHaveNoAcknowledge) {
    std::vector<std::string> expected = Join({Text({{"Initial Check-in_________", 0},
                                                    {"Announce clear of runway_", 5},
                                                    {"Announce taking the RWY__", 6},
                                                    {"Request Field Advisories_", 7},
                                                    {"Announce Departing area__", 8}}),
                                              kVcp});
    EXPECT_EQ(List(2, true), expected);
    EXPECT_EQ(List(3, true), expected);
}

TEST(OptionLists, FlightPlanServicesOnTheGround) {
    EXPECT_EQ(List(4, true), Join({Text({{"Request to Open FPLN_____", 0}}), kAckSay, Text(kFlightPlanList), kVcp}));
    EXPECT_EQ(List(11, true), Join({Text({{"Request to open FPLN_____", 0}}), kAckSay, Text(kFlightPlanList), kVcp}));
}

TEST(OptionLists, ClearanceAndOtherServicesOnTheGround) {
    EXPECT_EQ(List(7, true), Join({Text({{"Request clearance________", 0}}), kAckSay, kVcp}));
    EXPECT_EQ(List(14, true), Join({Text({{"Request clearance________", 0}}), kAckSay, kVcp}));
    for (int other : {1, 8, 9, 10, 12})
        EXPECT_EQ(List(other, true), Join({Text({{"Initial Check-in_________", 0}}), kAckSay, kVcp})) << other;
}

TEST(OptionLists, TowerInTheAirIsTheLandingList) {
    EXPECT_EQ(List(6, false), Join({Text({{"Request Taxi to Runway___", 0}}), kAckSay,
                                    Text({{"Check-in Request Landing_", 1},
                                          {"Report entring DOWNWIND__", 2},
                                          {"Report turning BASE______", 3},
                                          {"Report turning FINAL_____", 4},
                                          {"Request Touch and Go_____", 5},
                                          {"Request Field Advisories_", 7},
                                          {"Report going to Alternate", 8},
                                          {"Report Mised Approach____", 9}}),
                                    kAirTail, kVcp}));
    EXPECT_EQ(List(6, false).size(), 14u);  // the longest list
}

TEST(OptionLists, UncontrolledFieldsInTheAir) {
    std::vector<std::string> expected = Join({Text({{"Initial Check-in_________", 0},
                                                    {"Announce entring DOWNWIND", 2},
                                                    {"Announce turning BASE____", 3},
                                                    {"Announce turning FINAL___", 4},
                                                    {"Announce Cleared Runway__", 5},
                                                    {"Request Field Advisories_", 7},
                                                    {"Announce departing area__", 8}}),
                                              kAirTail, kVcp});
    EXPECT_EQ(List(2, false), expected);
    EXPECT_EQ(List(3, false), expected);
}

TEST(OptionLists, FlightServiceInTheAir) {
    EXPECT_EQ(List(11, false),
              Join({Text({{"Request to open FPLN_____", 0}}), kAckSay, Text(kFlightPlanList), kAirTail, kVcp}));
}

TEST(OptionLists, EnRouteInTheAirForCtafCenterAndTheRest) {
    std::vector<std::string> enRoute = Text({{"Req Lower Alt Weather____", 3},
                                             {"Req Higher Alt Weather___", 4},
                                             {"Req Lower Alt Turb_______", 5},
                                             {"Req Higher Alt Turb______", 6},
                                             {"Request Vectors__________", 7},
                                             {"Report Airport in sight__", 8},
                                             {"Report Position__________", 9}});
    EXPECT_EQ(List(4, false), Join({Text({{"Initial Check-in_________", 0}}), kAckSay, enRoute, kAirTail, kVcp}));
    EXPECT_EQ(List(10, false), Join({Text({{"Initial Check-in_________", 0}}), kAckSay, enRoute, kAirTail, kVcp}));
    // COM1 off the table in the air is phase 10.
    EXPECT_EQ(List(99, false), List(10, false));
    EXPECT_EQ(List(5, false), Join({Text({{"Check-in Ready for taxi__", 0}}), kAckSay, enRoute, kAirTail, kVcp}));
    EXPECT_EQ(List(7, false), Join({Text({{"Request clearance________", 0}}), kAckSay, enRoute, kAirTail, kVcp}));
}

TEST(OptionLists, EmergencyListInTheAirOnly) {
    std::vector<std::string> emergency = Join({Text({{"Affirmative______________", 16},
                                                     {"Negative_________________", 17},
                                                     {"Acknowledge______________", 10},
                                                     {"Request Vectors__________", 7},
                                                     {"Report Airport in sight__", 8},
                                                     {"Declare Emergency________", 11}}),
                                               kVcp});
    for (int phase : {2, 5, 6, 10, 11}) EXPECT_EQ(List(phase, false, true), emergency) << phase;
    // On the ground the emergency mode is over: the normal list.
    EXPECT_EQ(List(5, true, true), List(5, true));
}

TEST(OptionLists, EveryListFitsAndIsReady) {
    for (int phase = 0; phase <= 15; ++phase)
        for (bool ground : {false, true})
            for (bool emergency : {false, true}) {
                DefaultKeys keys;
                OptionInputs in{Com1Of(phase), ground, emergency, kAirport, keys.table, keys.keys};
                OptionList list = ChooseOptionList(in);
                EXPECT_LT(strlen(list.text), 500u);
                EXPECT_TRUE(OptionListReady(list.text));
                for (const std::string& e : Entries(list)) EXPECT_EQ(e.find('\t'), (size_t)kOptionTextWidth) << e;
            }
}

TEST(OptionLists, ReadyMeansLongerThanTenCharacters) {
    EXPECT_FALSE(OptionListReady(""));
    EXPECT_FALSE(OptionListReady("0123456789"));
    EXPECT_TRUE(OptionListReady("0123456789A"));
}

// ---- the panel

TEST(HintsBox, HeightsByFrequenciesAndReadiness) {
    EXPECT_EQ(HintsBoxBottom(768, true, false, 0), 648);
    EXPECT_EQ(HintsBoxBottom(768, true, true, 11), 768 - 100 - 198);
    EXPECT_EQ(HintsBoxBottom(768, false, false, 0), 708);  // 60 px
    EXPECT_EQ(HintsBoxBottom(768, false, false, 9), 708);  // a count without a ready list
    EXPECT_EQ(HintsBoxBottom(768, false, true, 14), 768 - 40 - 18 * 14);
}

TEST(HintsBox, CloseBoxIsPastLeftPlus210AndAboveTopMinus10) {
    EXPECT_TRUE(InHintsCloseBox(311, 759, 100, 768));
    EXPECT_FALSE(InHintsCloseBox(310, 759, 100, 768));
    EXPECT_FALSE(InHintsCloseBox(311, 758, 100, 768));
    EXPECT_TRUE(InHintsCloseBox(320, 768, 100, 768));
}

std::vector<int> Columns(int count, bool onGround, std::vector<std::string>* text = nullptr) {
    FrequencyEntry table[kFrequencyTableSize] = {};
    for (int i = 0; i < count; ++i) table[i] = {118.0f + 0.25f * i, 1 + i % 12};
    char lines[kMaxFrequencyLines][kFrequencyLineSize];
    int n = FrequencyLines(table, onGround, lines);
    std::vector<int> columns;
    for (int i = 0; i < n; ++i) {
        int tabs = 0;
        for (const char* p = lines[i]; *p; ++p) tabs += *p == '\t';
        columns.push_back(tabs);
        if (text) text->push_back(lines[i]);
    }
    return columns;
}

TEST(FrequencyLines, ThreeAThenTheRestOnTheFourthLine) {
    EXPECT_EQ(Columns(10, true), (std::vector<int>{3, 3, 3, 1}));
    EXPECT_EQ(Columns(16, true), (std::vector<int>{3, 3, 3, 7}));
    EXPECT_EQ(Columns(9, true), (std::vector<int>{3, 3, 3}));
    EXPECT_EQ(Columns(1, false), (std::vector<int>{1}));
    EXPECT_EQ(Columns(0, false), (std::vector<int>{}));
}

TEST(FrequencyLines, GroundOnlyServicesAreBareTabsInTheAir) {
    std::vector<std::string> air, ground;
    Columns(12, false, &air);
    Columns(12, true, &ground);
    EXPECT_EQ(air, (std::vector<std::string>{"ATIS=118.00\tMULTICOM=118.25\tUNICOM=118.50\t",
                                             "CTAF=118.75\t\tTWR=119.25\t", "DELIV=119.50\t\t\t",
                                             "\tFSS=120.50\tAWOS=120.75\t"}));
    EXPECT_EQ(ground, (std::vector<std::string>{"ATIS=118.00\tMULTICOM=118.25\tUNICOM=118.50\t",
                                                "CTAF=118.75\tGRND=119.00\tTWR=119.25\t",
                                                "DELIV=119.50\tAPP=119.75\tDEP=120.00\t",
                                                "CTR=120.25\tFSS=120.50\tAWOS=120.75\t"}));
}

// Frankfurt's Ground 121.805 and Delivery 122.035 exist only as 8.33 kHz channels: shown to the
// kHz, where two decimals would name 121.810 and 122.040. Channels on the 25 kHz raster keep two.
TEST(FrequencyLines, EightThreeThreeChannelsAreShownToTheKilohertz) {
    char line[kFrequencyLineSize] = "";
    AppendFrequency(5, 121.805f, true, line);
    AppendFrequency(7, 122.035f, true, line);
    AppendFrequency(1, 118.025f, true, line);
    AppendFrequency(6, 119.9f, true, line);
    EXPECT_STREQ(line, "GRND=121.805\tDELIV=122.035\tATIS=118.03\tTWR=119.90\t");
}

TEST(FrequencyLines, UnknownTypesAreBareTabsAndLinesStayWithin128) {
    char line[kFrequencyLineSize] = "";
    AppendFrequency(14, 124.0f, true, line);
    AppendFrequency(0, 124.0f, true, line);
    AppendFrequency(-3, 124.0f, true, line);
    EXPECT_STREQ(line, "\t\t\t");
    line[0] = 0;
    for (int i = 0; i < 20; ++i) AppendFrequency(2, 999999.0f, true, line);
    EXPECT_EQ(strlen(line), (size_t)kFrequencyLineSize - 1);
}

// ---- the key watcher's rules

TEST(KeyWatcher, TheFilterEndsAtAHotkeyWithoutAKey) {
    char keys[kAtcHotkeyCount + 1] = "0123456789AERW";
    keys[4] = 0;  // Hotkey5 has no key
    EXPECT_TRUE(IsWatchedKey('0', keys));
    EXPECT_TRUE(IsWatchedKey('3', keys));
    EXPECT_FALSE(IsWatchedKey('5', keys));
    EXPECT_FALSE(IsWatchedKey('A', keys));
    EXPECT_FALSE(IsWatchedKey(0, keys));
    char full[kAtcHotkeyCount + 1] = "0123456789AERWVCYNDHL";
    EXPECT_TRUE(IsWatchedKey('L', full));
    EXPECT_FALSE(IsWatchedKey('Z', full));
}

TEST(KeyWatcher, DownEventsOnlyExceptTheZeroKey) {
    EXPECT_TRUE(IsReportedEvent('5', 8));
    EXPECT_FALSE(IsReportedEvent('5', 16));
    EXPECT_FALSE(IsReportedEvent('5', 0));
    EXPECT_TRUE(IsReportedEvent('0', 8));
    EXPECT_TRUE(IsReportedEvent('0', 16));
    EXPECT_TRUE(IsReportedEvent('0', 0));
    EXPECT_FALSE(IsReportedEvent(0x60, 16));  // the keypad's 0 is not the "0" key
}

TEST(KeyWatcher, ModifierRules) {
    const uint8_t shiftOnly[4] = {'R', 1, 0, 0}, ctrlOnly[4] = {'R', 2, 0, 0}, both[4] = {'R', 3, 0, 0},
                  none[4] = {'R', 0, 0, 0};
    const int shift = 1, alt = 2, ctrl = 4, down = 8;
    EXPECT_TRUE(SlotMatches(shiftOnly, 'R', down | shift));
    EXPECT_TRUE(SlotMatches(shiftOnly, 'R', down | shift | ctrl));
    EXPECT_FALSE(SlotMatches(shiftOnly, 'R', down | ctrl));
    EXPECT_TRUE(SlotMatches(ctrlOnly, 'R', down | ctrl | shift));
    EXPECT_FALSE(SlotMatches(ctrlOnly, 'R', down));
    EXPECT_TRUE(SlotMatches(both, 'R', down | ctrl | shift));
    EXPECT_FALSE(SlotMatches(both, 'R', down | shift));
    EXPECT_TRUE(SlotMatches(none, 'R', down));
    EXPECT_TRUE(SlotMatches(none, 'R', down | alt));
    EXPECT_FALSE(SlotMatches(none, 'R', down | shift));
    EXPECT_FALSE(SlotMatches(none, 'R', down | ctrl));
    EXPECT_FALSE(SlotMatches(none, 'S', down));
    const uint8_t empty[4] = {0, 0, 0, 0};
    EXPECT_FALSE(SlotMatches(empty, 0, down));
}

TEST(KeyWatcher, FirstMatchingSlotWinsAndPressValue) {
    uint8_t slots[kHotkeySlotCount * 4] = {};
    auto set = [&](int n, uint8_t key, uint8_t mods) {
        slots[4 * n] = key;
        slots[4 * n + 1] = mods;
    };
    set(3, 'A', 3);
    set(7, 'A', 1);
    set(9, 'A', 1);
    set(55, 0xBA, 0);  // VK_OEM_1, ";"
    EXPECT_EQ(FirstMatchingSlot(slots, 'A', 8 | 1), 7);
    EXPECT_EQ(FirstMatchingSlot(slots, 'A', 8 | 1 | 4), 3);
    EXPECT_EQ(FirstMatchingSlot(slots, 'A', 8), -1);
    EXPECT_EQ(FirstMatchingSlot(slots, ';', 8), 55);
    EXPECT_EQ(PressedSlotValue('A', 3), 0x01000341u);
}

// ---- the three key conversions

// What the simulator reports for a key Windows names by a virtual-key code (from the simulator's
// key list): the same code up to F24, its own codes for the OEM keys and the keypad's equal sign.
int SimulatorCodeOf(int windowsKey) {
    if (windowsKey >= 1 && windowsKey <= 0x87) return windowsKey;
    static const struct {
        int windowsKey, simulatorKey;
    } kOwnCodes[] = {{0xBB, 0xB0}, {0xBD, 0xB1}, {0xDD, 0xB2}, {0xDB, 0xB3}, {0xDE, 0xB4}, {0xBA, 0xB5},
                     {0xDC, 0xB6}, {0xBC, 0xB7}, {0xBF, 0xB8}, {0xBE, 0xB9}, {0xC0, 0xBA}, {0x92, 0xBD}};
    for (const auto& k : kOwnCodes)
        if (k.windowsKey == windowsKey) return k.simulatorKey;
    return -1;
}

TEST(KeyConversions, AgreeForEveryKeyTheAtcProgramCanRegister) {
    int checked = 0;
    for (int vk = 1; vk < 256; ++vk) {
        int simulatorCode = SimulatorCodeOf(vk);
        if (simulatorCode < 0) continue;  // no key of the simulator's keyboard
        uint8_t imported = (uint8_t)(DecodeHotkey(vk) >> 8);
        EXPECT_NE(imported, 0) << vk;
        EXPECT_EQ(KeyCharOfSimulatorKey((uint8_t)simulatorCode), imported) << "vk " << vk;
        EXPECT_EQ(KeyCharOfSlotKey((uint8_t)vk), imported) << "vk " << vk;
        ++checked;
    }
    EXPECT_GT(checked, 120);
    // Punctuation and the numeric keypad by name.
    struct Key {
        int windowsKey, simulatorKey;
        char expected;
    } keys[] = {{0xBA, 0xB5, ';'}, {0xBB, 0xB0, '+'}, {0xBC, 0xB7, ','},  {0xBD, 0xB1, '-'}, {0xBE, 0xB9, '.'},
                {0xBF, 0xB8, '/'}, {0xC0, 0xBA, '\''}, {0xDB, 0xB3, '['}, {0xDC, 0xB6, '\\'}, {0xDD, 0xB2, ']'},
                {0xDE, 0xB4, '#'}, {0x6A, 0x6A, '*'}, {0x6B, 0x6B, 0x6B}, {0x6D, 0x6D, 0x6D}, {0x6F, 0x6F, 0x6F},
                {0x6E, 0x6E, 0x6E}, {0x60, 0x60, 0x60}, {0x0D, 0xBB, 0x0D}, {0x0D, 0xBC, 0x0D}};
    for (const Key& k : keys) {
        EXPECT_EQ(KeyCharOfSimulatorKey((uint8_t)k.simulatorKey), (uint8_t)k.expected) << k.windowsKey;
        EXPECT_EQ(KeyCharOfSlotKey((uint8_t)k.windowsKey), (uint8_t)k.expected) << k.windowsKey;
        EXPECT_EQ((uint8_t)(DecodeHotkey(k.windowsKey) >> 8), (uint8_t)k.expected) << k.windowsKey;
    }
}

TEST(KeyConversions, NoTwoKeysShareACharacter) {
    std::set<int> seen;
    for (int vk = 1; vk < 256; ++vk) EXPECT_TRUE(seen.insert(KeyCharOfWindowsKey(vk)).second) << vk;
    EXPECT_EQ(KeyCharOfWindowsKey(0), 0);
    EXPECT_EQ(KeyCharOfWindowsKey(256), 0);
    // Keys whose own codes are punctuation characters keep distinct characters: Insert is not "-".
    EXPECT_NE(KeyCharOfSimulatorKey(0x2D), KeyCharOfSimulatorKey(0xB1));
    EXPECT_NE(KeyCharOfSimulatorKey(0x6B), KeyCharOfSimulatorKey(0xB0));
    // Codes that name no key of the simulator give no key character.
    EXPECT_EQ(KeyCharOfSimulatorKey(0xC5), 0);
    EXPECT_EQ(KeyCharOfSimulatorKey(0), 0);
}

}  // namespace
