#pragma once
// The IPC server's table as the plug-in uses it: offsets, the identity marker and the hot-key
// slots. Portable: no windows.h, so plain code and tests can share the one definition.
#include <cstdint>

// The offsets of the server's table that the plug-in reads or writes.
namespace IpcOffset {
constexpr uint32_t ServerVersion = 0x3304;   // 4 bytes
constexpr uint32_t SimulatorCode = 0x3308;   // 2 bytes
constexpr uint32_t ClientVersion = 0x330A;   // 2 bytes
constexpr uint32_t Identity04D6 = 0x04D6;    // 2 bytes
constexpr uint32_t HotkeySlotCount = 0x320C; // 4 bytes
constexpr uint32_t HotkeySlots = 0x3210;     // 56 slots of 4 bytes
constexpr uint32_t HotkeyPressed = 0x32FE;   // 1 byte
constexpr uint32_t MessageText = 0x3380;     // 128 bytes
constexpr uint32_t MessageTime = 0x32FA;     // 2 bytes, seconds
constexpr uint32_t WeatherArea = 0xCC08;     // to 0xCF85
}  // namespace IpcOffset

// FSUIPC clients refuse a server unless the high word of the 4 bytes at 0x3308 (that is 0x330A)
// holds this marker, and every client's open overwrites it with its library version.
constexpr uint16_t kIdentityMarker = 0xFADE;

constexpr int kHotkeySlotCount = 56;
constexpr int kHotkeySlotBytes = 4;
constexpr uint32_t HotkeySlotOffset(int n) { return IpcOffset::HotkeySlots + 4u * (uint32_t)n; }

// One entry of the server's hot-key table.
struct HotkeySlot {
    uint8_t keyCode;
    uint8_t modifiers;  // 1 Shift, 2 Control
    uint8_t flags;
    uint8_t pressed;    // 1 = pressed
};
static_assert(sizeof(HotkeySlot) == kHotkeySlotBytes, "a slot is one 32-bit word");
