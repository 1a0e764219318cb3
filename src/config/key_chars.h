#pragma once
// The one key-character code shared by the three key conversions: the hotkey import (a Windows
// virtual-key code from the ATC program's ini), the key watcher (an X-Plane virtual-key code of a
// pressed key) and the slot key (the Windows virtual-key code the ATC program registered in the
// IPC server's hot-key table). Portable: no windows.h.
//
// Every conversion goes through one mapping of Windows virtual-key codes, so a key the ATC
// program can register is recognised when pressed:
// - the simulator's virtual-key codes are first turned into the Windows code of the same key
//   (identical up to F24; the simulator's own punctuation codes 0xB0-0xBD are mapped back to
//   VK_OEM_*);
// - the Windows code becomes a key character: the punctuation keys give ";" "+" "," "-" "." "/"
//   "'" "[" "\" "]" "#" and "*" for the keypad's multiply; the Windows keys whose own codes are
//   those characters (Insert is 0x2D, "-") take the punctuation keys' codes in exchange, so no
//   two keys share a character; every other code stays. The keypad's plus, minus, point and
//   divide keep their own codes (labelled NUM+, NUM-, NUM., NUM/), apart from the main keys.
#include <cstdint>

// Windows virtual-key code (0-255) to key character; 0 for code 0 or codes outside 0-255.
uint8_t KeyCharOfWindowsKey(int windowsKey);
// The simulator's (XPLM_VK_) code to the Windows virtual-key code of the same key; 0 for codes
// that name no key.
uint8_t WindowsKeyOfSimulatorKey(uint8_t simulatorKey);
// The key watcher's conversion: a pressed key's simulator code to its key character.
inline uint8_t KeyCharOfSimulatorKey(uint8_t simulatorKey) {
    return KeyCharOfWindowsKey(WindowsKeyOfSimulatorKey(simulatorKey));
}
// The slot-key conversion: byte 0 of a hot-key slot to its key character.
inline uint8_t KeyCharOfSlotKey(uint8_t slotKey) { return KeyCharOfWindowsKey(slotKey); }

// The hints' label of a key character: NUM0-NUM9, F1-F12, NUM+ NUM- NUM. NUM/, NUMx for the
// keypad's multiply ("*" separates the option list's entries), nothing for 0, else the character
// itself. out holds at least 8 characters; gives out.
const char* KeyLabel(uint8_t keyChar, char out[8]);
