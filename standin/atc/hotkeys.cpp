// Hot keys of the stand-in ATC program.
#include "hotkeys.h"

#include <windows.h>

#include <cstdio>

namespace atc {

long DefaultHotkeyNumber(int index) {
    // Hotkey1..10 are the digit keys, the rest Ctrl+Shift+letter.
    static const char kLetters[] = "AERWVCYNDHL";
    if (index >= 1 && index <= 10) return 47 + index;
    if (index >= 11 && index <= kHotkeys) return 3000 + kLetters[index - 11];
    return 0;
}

bool DecodeHotkeyNumber(long number, uint8_t* key, uint8_t* modifiers) {
    *key = 0;
    *modifiers = 0;
    if (number < 0) return false;
    if (number >= 2000) {
        *modifiers |= 2;
        number -= 2000;
    }
    if (number >= 1000) {
        *modifiers |= 1;
        number -= 1000;
    }
    if (number <= 0 || number > 255) return false;
    *key = uint8_t(number);
    return true;
}

HotkeySet LoadHotkeys(const std::string& iniPath, bool* iniFound) {
    *iniFound = GetFileAttributesA(iniPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    HotkeySet keys;
    for (int i = 1; i <= kHotkeys; ++i) {
        char name[16];
        snprintf(name, sizeof name, "Hotkey%d", i);
        Hotkey& k = keys[i - 1];
        k.number = DefaultHotkeyNumber(i);
        k.active = true;
        if (*iniFound) {
            // Read as text: GetPrivateProfileIntA gives no way to tell a negative number.
            char text[32] = "";
            GetPrivateProfileStringA("Hotkeys", name, "", text, sizeof text, iniPath.c_str());
            if (text[0]) k.number = strtol(text, nullptr, 10);
            k.active = GetPrivateProfileIntA("HotkeysActive", name, 0, iniPath.c_str()) != 0;
        }
        k.usable = DecodeHotkeyNumber(k.number, &k.key, &k.modifiers);
    }
    return keys;
}

std::string LastFlightPlanName(const std::string& iniPath) {
    char path[MAX_PATH] = "";
    GetPrivateProfileStringA("Config", "LastADV", "", path, sizeof path, iniPath.c_str());
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    return name;
}

std::string HotkeyFunction(int index) {
    static const char* const kFunctions[] = {"Acknowledge",  "Declare Emergency", "Say Again",
                                             "Request Direct To", "VCP Mode",      "Toggle Panel",
                                             "Affirmative",  "Negative",          "Repeat Clearance",
                                             "Request Frequency", "Ground Services"};
    if (index >= 0 && index < 10) return "Option " + std::to_string(index);
    if (index >= 10 && index < kHotkeys) return kFunctions[index - 10];
    return "Unknown";
}

std::string PressAnswer(int index) {
    // "P.I.C" opens the program's pilot messages; the plug-in recognises its texts by it.
    return "P.I.C: " + HotkeyFunction(index) + " (Hotkey" + std::to_string(index + 1) + ")";
}

SlotReview ReviewSlots(const HotkeySet& keys, const uint32_t* slots, int slotCount, std::array<int, kHotkeys>* slotOf) {
    SlotReview r;
    if (slotCount < 0) slotCount = 0;
    if (slotCount > kMaxSlots) slotCount = kMaxSlots;
    std::array<uint32_t, kMaxSlots> table{};
    for (int n = 0; n < slotCount; ++n) table[n] = slots[n];
    std::array<bool, kMaxSlots> ours{};

    for (int i = 0; i < kHotkeys; ++i) {
        int& slot = (*slotOf)[i];
        const Hotkey& k = keys[i];
        if (slot < 0) continue;
        if (slot >= slotCount || !k.active || !k.usable) {
            slot = -1;
            continue;
        }
        uint32_t value = table[slot], mine = SlotValue(k.key, k.modifiers);
        if (value >> 24) {
            // Pressed: whoever reported it may have rewritten the key byte, so the slot decides.
            r.presses.push_back({i, slot, value});
            r.writes.push_back({slot, mine});
            table[slot] = mine;
        } else if (value == 0) {
            r.writes.push_back({slot, mine});
            table[slot] = mine;
            ++r.retaken;
        } else if ((value & 0xFFFF) != mine) {
            ++r.lost;
            slot = -1;
            continue;
        }
        ours[slot] = true;
    }
    for (int i = 0; i < kHotkeys; ++i) {
        const Hotkey& k = keys[i];
        if ((*slotOf)[i] >= 0 || !k.active || !k.usable) continue;
        int free = -1;
        for (int n = 0; n < slotCount && free < 0; ++n)
            if (table[n] == 0 && !ours[n]) free = n;
        if (free < 0) {
            ++r.unplaced;
            continue;
        }
        uint32_t mine = SlotValue(k.key, k.modifiers);
        table[free] = mine;
        ours[free] = true;
        (*slotOf)[i] = free;
        r.writes.push_back({free, mine});
    }
    return r;
}

}  // namespace atc
