// Importing the ATC program's hotkeys and flight-plan route.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "XPLMDisplay.h"
#include "base/deferred_work.h"
#include "base/plugin_state.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "base/log.h"
#include "bridge/monitor.h"
#include "config/hotkeys.h"
#include "config_test_support.h"
#include "import_patch.h"
#include "ui/hints_window.h"

namespace {

// The route published the way the attach step publishes it, the keys left as they are.
void SetRoute(const char* route) {
    AtcKeys keys = CurrentAtcKeys();
    snprintf(keys.route, sizeof keys.route, "%s", route);
    PublishAtcKeys(keys);
}

HotkeyEntry Decoded(int number) {
    uint16_t packed = DecodeHotkey(number);
    return {(uint8_t)(packed & 0xFF), (uint8_t)(packed >> 8)};
}

TEST(DecodeHotkey, ModifiersAndKeyConversion) {
    struct Case {
        int number;
        int modifiers;
        int key;
    } cases[] = {
        {3065, 3, 'A'}, {1065, 1, 'A'}, {2065, 2, 'A'}, {65, 0, 'A'}, {1186, 1, ';'}, {2191, 2, '/'},
        {96, 0, 0x60},  {112, 0, 0x70}, {5065, 3, 0},   {106, 0, '*'}, {187, 0, '+'}, {192, 0, '\''},
        {255, 0, 255},  {256, 0, 0},    {-5, 0, 0},
    };
    for (const Case& c : cases) {
        HotkeyEntry e = Decoded(c.number);
        EXPECT_EQ(e.modifiers, c.modifiers) << c.number;
        EXPECT_EQ(e.key, c.key) << c.number;
    }
}

std::string Route(const std::vector<std::string>& lines) {
    BriefingReader reader;
    for (const std::string& line : lines) ReadBriefingLine(reader, line.c_str());
    return reader.route;
}

TEST(Briefing, DepartureThenDestination) {
    EXPECT_EQ(Route({"Flight plan briefing", "Departure Airport - EDDF, Frankfurt", "Route: DCT",
                     "destination airport - LOWW, Vienna"}),
              "EDDF to LOWW");
    // A departure after the destination starts the route again.
    EXPECT_EQ(Route({"Destination Airport - LOWW, Vienna", "Departure Airport - EDDF, Frankfurt"}), "EDDF to ");
    // Lines without a comma, and short lines, do not count.
    EXPECT_EQ(Route({"Departure Airport - EDDF Frankfurt", "Dep-X,"}), "");
    // A second destination line cannot push the route past its size.
    EXPECT_EQ(Route({"Departure Airport - EDDF, a", "Destination Airport - LOWW, b",
                     "Destination Airport - LIRF, c"}),
              "EDDF to LOWW");
    // The ident may be short when the line ends early.
    EXPECT_EQ(Route({"Departure Airport, - KX"}), "KX to ");
    // Only the first 127 characters of a long line count.
    EXPECT_EQ(Route({std::string(120, 'x') + " Departure Airport - EDDF, z"}), "");
}

const char* const kSetup =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1";

std::vector<std::string> g_boxes;
DWORD g_boxThread = 0;
int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    g_boxThread = GetCurrentThreadId();
    g_boxes.push_back(std::string(caption) + ": " + text);
    return IDOK;
}

class Import : public ::testing::Test {
protected:
    void SetUp() override {
        PatchOwnImport("user32.dll", "MessageBoxA", (void*)RecordBox);
        g_boxes.clear();
        folder = SimulatorFolder() + "\\hotkey-test\\QV3";
        WriteTextFile(folder + "\\QV3.exe", "");
        DeleteFileA((folder + "\\QV3.ini").c_str());
        DeleteFileA((folder + "\\QV_Station.ini").c_str());
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSetup, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        RegSetValueExA(key, "Inno Setup: App Path", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
        RegCloseKey(key);
        ResetAtcKeys();
    }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSetup); }
    // The import as the attach step runs it: over the published keys, published again.
    static int RunImport(int* emergency) {
        AtcKeys keys = CurrentAtcKeys();
        const int result = ReadAtcHotkeys(&keys);
        PublishAtcKeys(keys);
        *emergency = keys.emergencyKey;
        return result;
    }
    std::string folder;
};

TEST_F(Import, NoIniKeepsTheTableAndSaysSo) {
    AtcKeys keys;
    keys.table[3] = {2, 'Q'};
    PublishAtcKeys(keys);
    int emergency = -1;
    EXPECT_EQ(RunImport(&emergency), 1);
    EXPECT_EQ(CurrentAtcKeys().table[3].key, 'Q');
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"DURarUravud: Plugin could not read QVE hotkeys"}));
}

TEST_F(Import, DefaultsAndSwitchedOffKeysAndTheRoute) {
    WriteTextFile(folder + "\\QV_Station.ini",
                  "[Hotkeys]\nHotkey2=1186\nHotkey12=2069\n[Config]\nLastADV=" + folder + "\\plans\\today.adv\n");
    WriteTextFile(folder + "\\plans\\today.brf", "Departure Airport - EGLL, London\nDestination Airport - LFPG, x\n");
    int emergency = 0;
    EXPECT_EQ(RunImport(&emergency), 1);
    EXPECT_EQ(CurrentAtcKeys().table[0].key, '0');
    EXPECT_EQ(CurrentAtcKeys().table[9].key, '9');
    EXPECT_EQ(CurrentAtcKeys().table[1].modifiers, 1);
    EXPECT_EQ(CurrentAtcKeys().table[1].key, ';');
    EXPECT_EQ(CurrentAtcKeys().table[12].key, 'R');
    EXPECT_EQ(CurrentAtcKeys().table[12].modifiers, 3);
    EXPECT_EQ(CurrentAtcKeys().table[20].key, 'L');
    EXPECT_EQ(emergency, 'E');
    EXPECT_STREQ(CurrentAtcKeys().route, "EGLL to LFPG");
    // No HotkeysActive section: every key counts as switched off.
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"DURarUravud: Some QVE hotkeys are currenty disabled"}));
}

TEST_F(Import, AShortOrMissingPlanLeavesTheRoute) {
    SetRoute("KSEA to KPDX");
    std::string active = "[HotkeysActive]\n";
    for (int i = 1; i <= 21; ++i) active += "Hotkey" + std::to_string(i) + "=1\n";
    WriteTextFile(folder + "\\QV3.ini", active + "[Config]\nLastADV=a.adv\n");
    int emergency = 0;
    EXPECT_EQ(RunImport(&emergency), 1);
    EXPECT_STREQ(CurrentAtcKeys().route, "KSEA to KPDX");
    WriteTextFile(folder + "\\QV3.ini", active + "[Config]\nLastADV=" + folder + "\\none.adv\n");
    EXPECT_EQ(RunImport(&emergency), 1);
    EXPECT_STREQ(CurrentAtcKeys().route, "KSEA to KPDX");
    EXPECT_TRUE(g_boxes.empty());
}

// Briefing files as they come: binary junk, huge, without line ends, CR LF, endless destinations.
// The read always reaches the end and the route stays within its 15 characters.
class BriefingFile : public ::testing::Test {
protected:
    std::string Read(const std::string& bytes) {
        std::string path = SimulatorFolder() + "\\briefing-test\\plan.brf";
        WriteTextFile(path, bytes);
        char route[kRouteTextSize];
        memset(route, 'Z', sizeof route);  // ReadBriefing must empty it first
        EXPECT_EQ(ReadBriefing(path.c_str(), route), 1);
        EXPECT_EQ(route[kRouteTextSize - 1], 0);
        return route;
    }
};

TEST_F(BriefingFile, BinaryBytesAndCtrlZDoNotEndTheRead) {
    std::mt19937 random(3);
    std::string junk;
    for (int i = 0; i < 20000; ++i) junk += (char)(random() % 256);
    junk += "\x1A\n";
    EXPECT_EQ(Read(junk + "Departure Airport - EDDF, x\nDestination Airport - EDDM, y\n"), "EDDF to EDDM");
    std::string stops = "Departure Airport - EDDF, x\n";
    stops += '\0';
    stops += "\x1A\n";
    EXPECT_EQ(Read(stops + "Destination Airport - LOWW, y"), "EDDF to LOWW");
}

TEST_F(BriefingFile, HugeFilesLongLinesAndNoLineEnds) {
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += "Route leg " + std::to_string(i) + " - waypoint, heading 270\n";
    EXPECT_EQ(Read(lines + "Departure Airport - KSEA, a\nDestination Airport - KPDX, b\n"), "KSEA to KPDX");
    // One line of 3 MB: only its first 127 characters count, and they hold no label.
    EXPECT_EQ(Read(std::string(3 << 20, 'x') + "Departure Airport - KSEA, a"), "");
    // A last line without its line end still counts.
    EXPECT_EQ(Read("Departure Airport - KSEA, a"), "KSEA to ");
    EXPECT_EQ(Read(""), "");
}

TEST_F(BriefingFile, CrLfLineEndsStayOutOfTheIdents) {
    EXPECT_EQ(Read("Departure Airport, - KX\r\nDestination Airport, - LOW\r\n"), "KX to LOW");
}

TEST_F(BriefingFile, ManyDestinationLinesKeepTheFirst) {
    std::string plan = "Departure Airport - EDDF, x\n";
    for (int i = 0; i < 5000; ++i) plan += "Destination Airport - L" + std::to_string(100 + i % 900) + ", y\n";
    EXPECT_EQ(Read(plan), "EDDF to L100");
    // Destinations only, never a departure: the route stays within its size all the same.
    std::string only;
    for (int i = 0; i < 50; ++i) only += "Destination Airport - ABCD, y\n";
    EXPECT_EQ(Read(only), "ABCD");
}

TEST_F(Import, GarbageNumbersGiveNoKeyTheyDoNotName) {
    WriteTextFile(folder + "\\QV3.ini",
                  "[Hotkeys]\nHotkey1=-1\nHotkey2=abc\nHotkey3=2147483647\nHotkey4=4000000000\n"
                  "Hotkey5=-2147483648\nHotkey6=\nHotkey7=99999999999999999999999999999999\nHotkey8=\x01\xff\xfe\n"
                  "Hotkey12=-2065\n[HotkeysActive]\nHotkey1=yes\nHotkey2=-7\nHotkey3=99999999999\n"
                  "[Config]\nLastADV=" + std::string(400, 'p') + ".adv\n");
    SetRoute("KSEA to KPDX");
    int emergency = -1;
    EXPECT_EQ(RunImport(&emergency), 1);
    struct Case {
        int index, modifiers, key;
    } cases[] = {
        {0, 0, 0},    // -1
        {1, 0, 0},    // not a number: 0, which names no key
        {2, 3, 0},    // the largest int: both modifiers, nothing left that is a key
        {3, 0, 0},    // beyond int: negative
        {4, 0, 0},    // the smallest int
        {11, 0, 0},   // negative emergency key
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CurrentAtcKeys().table[c.index].modifiers, c.modifiers) << "Hotkey" << c.index + 1;
        EXPECT_EQ(CurrentAtcKeys().table[c.index].key, c.key) << "Hotkey" << c.index + 1;
    }
    EXPECT_EQ(emergency, 0);
    // Too long a plan path is not cut into another file's name.
    EXPECT_STREQ(CurrentAtcKeys().route, "KSEA to KPDX");
    // "yes" and the missing ones count as switched off: one message.
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"DURarUravud: Some QVE hotkeys are currenty disabled"}));
}

// The attach step publishes on the timer thread while the simulator's thread draws and watches
// keys: every reader sees one whole import, never the keys of one and the route of the other.
TEST_F(Import, AttachAgainstReadersNeverShowsAHalfImport) {
    std::string active = "[HotkeysActive]\n", ones = "[Hotkeys]\n", letters = "[Hotkeys]\n";
    for (int i = 1; i <= 21; ++i) {
        active += "Hotkey" + std::to_string(i) + "=1\n";
        ones += "Hotkey" + std::to_string(i) + "=49\n";       // "1"
        letters += "Hotkey" + std::to_string(i) + "=3081\n";  // Ctrl+Shift+Q
    }
    const std::string first = folder, second = folder + "\\other";
    WriteTextFile(second + "\\QV3.exe", "");
    WriteTextFile(first + "\\QV3.ini", ones + active + "[Config]\nLastADV=" + first + "\\a.adv\n");
    WriteTextFile(first + "\\a.brf", "Departure Airport - EDDF, x\nDestination Airport - EDDM, y\n");
    WriteTextFile(second + "\\QV3.ini", letters + active + "[Config]\nLastADV=" + second + "\\b.adv\n");
    WriteTextFile(second + "\\b.brf", "Departure Airport - KSEA, x\nDestination Airport - KPDX, y\n");
    auto point = [](const std::string& to) {
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSetup, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        RegSetValueExA(key, "Inno Setup: App Path", 0, REG_SZ, (const BYTE*)to.c_str(), (DWORD)to.size() + 1);
        RegCloseKey(key);
    };

    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0}, lists{0};
    std::thread reader([&] {
        while (!done) {
            const AtcKeys keys = CurrentAtcKeys();
            const bool a = keys.table[20].key == '1' && keys.table[20].modifiers == 0;
            const bool b = keys.table[20].key == 'Q' && keys.table[20].modifiers == 3;
            const std::string route = keys.route;
            bool whole = (a && route == "EDDF to EDDM" && keys.emergencyKey == '1') ||
                         (b && route == "KSEA to KPDX" && keys.emergencyKey == 'Q');
            for (int i = 0; i < kAtcHotkeyCount && whole; ++i)
                whole = keys.table[i].key == keys.table[20].key && keys.table[i].modifiers == keys.table[20].modifiers &&
                        (uint8_t)keys.keys[i] == keys.table[20].key;
            if (!whole && !(keys.table[20].key == 0 && route.empty())) ++torn;
            ++reads;
        }
    });
    std::thread drawer([&] {
        // The option list as the panel gets it: every entry labelled from one import.
        while (!done) {
            BuildOptionList();
            const std::string text = CurrentOptionList().text;
            const bool ones = text.find("\t 1*") != std::string::npos, qs = text.find("\tCS Q*") != std::string::npos;
            if (ones && qs) ++torn;
            if (text.find("\tCS 1*") != std::string::npos || text.find("\t Q*") != std::string::npos) ++torn;
            ++lists;
        }
    });
    const auto watch = BeginLinkWatch();  // the attach is for a link that is up
    for (int round = 0; round < 60; ++round) {
        point(round % 2 ? second : first);
        watch->attached = 0;
        AttachToAtc();
    }
    done = true;
    reader.join();
    drawer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    EXPECT_GT(lists, 0);
    EXPECT_STREQ(CurrentAtcKeys().route, "KSEA to KPDX");
    EXPECT_TRUE(g_boxes.empty());
    EndLinkWatch(watch);
    ResetPluginState();
}


// The panel's first draw of a connection asks for the import, which reads the ATC program's
// files: the deferred-work thread makes it, not the simulator's, and says so as it would.
TEST_F(Import, ThePanelHandsItsImportToTheDeferredWorkThread) {
    SIM_Init(nullptr);
    RememberSimulatorThread();
    ResetMonitorState();
    PluginOptions.EnableKeyboardHints = 1;
    PluginOptions.ShowFrequencies = 0;
    UseHintsWindow(XPLMCreateWindow(100, 768, 320, 518, 1, DrawHints, HintsKeyHandler, HintsMouseClick, nullptr));
    const auto watch = BeginLinkWatch();
    ASSERT_TRUE(DeferredWork.Start());
    const long before = DeferredWork.Completed();
    g_boxThread = 0;
    SIM_RunFrames(1);
    for (int i = 0; i < 5000 && DeferredWork.Completed() == before; ++i) Sleep(1);
    DeferredWork.Stop();
    EXPECT_TRUE(AtcAttachedNow());
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"DURarUravud: Plugin could not read QVE hotkeys"}));
    EXPECT_NE(g_boxThread, 0u);
    EXPECT_NE(g_boxThread, GetCurrentThreadId());
    XPLMDestroyWindow(HintsWindowNow());
    UseHintsWindow(nullptr);
    ResetPluginState();
    ResetMonitorState();
    ResetOptions();
}

}  // namespace
