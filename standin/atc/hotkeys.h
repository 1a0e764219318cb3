#pragma once
// The stand-in ATC program's hot keys: read from its QV3.ini, kept in the IPC server's hot-key
// slots, and the answers it gives when one is pressed. No window or link code here.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace atc {

constexpr int kHotkeys = 21;     // Hotkey1 .. Hotkey21
constexpr int kMaxSlots = 56;    // the server's hot-key table
constexpr uint32_t kSlotCountOffset = 0x320C;
constexpr uint32_t kSlotsOffset = 0x3210;
constexpr uint32_t kMessageText = 0x3380;
constexpr uint32_t kMessageTextSize = 128;
constexpr uint32_t kMessageTime = 0x32FA;

struct Hotkey {
    long number = 0;         // as in the ini: 2000 Ctrl + 1000 Shift + virtual-key code
    bool active = false;     // switched on: only those are registered
    bool usable = false;     // the number decodes to a key
    uint8_t key = 0;         // virtual-key code
    uint8_t modifiers = 0;   // bit 0 Shift, bit 1 Ctrl
};
using HotkeySet = std::array<Hotkey, kHotkeys>;

// The number used when the ini does not name hot key `index` (1..21).
long DefaultHotkeyNumber(int index);
// Splits a hot-key number; false (key 0) when there is no usable key in it.
bool DecodeHotkeyNumber(long number, uint8_t* key, uint8_t* modifiers);
// Without an ini file every key has its default and is switched on. With one, keys missing from
// [Hotkeys] take their defaults and keys missing from [HotkeysActive] are switched off.
HotkeySet LoadHotkeys(const std::string& iniPath, bool* iniFound);
// Config/LastADV without folder and extension; empty when not set.
std::string LastFlightPlanName(const std::string& iniPath);

// What the key stands for, and the message the program answers a press of it with.
std::string HotkeyFunction(int index);
std::string PressAnswer(int index);

inline uint32_t SlotValue(uint8_t key, uint8_t modifiers) { return key | uint32_t(modifiers) << 8; }

// One look at the slot table. `slotOf[i]` is the slot hot key i + 1 holds (-1: none) and is
// updated: a pressed slot is cleared back to the key (a press to answer), an emptied slot is
// taken again, a slot someone else took is given up, and active keys without a slot take free
// ones. `writes` gets the slot values to store, in slot order of decision.
struct SlotWrite {
    int slot;
    uint32_t value;
};
struct SlotPress {
    int hotkey;  // 0-based
    int slot;
    uint32_t value;  // as found
};
struct SlotReview {
    std::vector<SlotWrite> writes;
    std::vector<SlotPress> presses;
    int retaken = 0;   // slots found emptied and taken again
    int lost = 0;      // slots someone else had taken
    int unplaced = 0;  // active usable keys left without a slot
};
SlotReview ReviewSlots(const HotkeySet& keys, const uint32_t* slots, int slotCount, std::array<int, kHotkeys>* slotOf);

}  // namespace atc
