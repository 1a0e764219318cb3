#include "config/key_chars.h"

#include <cstdio>

namespace {

// Pairs exchanged by the Windows-code to key-character mapping: the punctuation key's code and
// its character (which is itself the code of another Windows key).
struct Exchange {
    uint8_t windowsKey;
    uint8_t keyChar;
};
constexpr Exchange kExchanges[] = {
    {0x6A, '*'},   // VK_MULTIPLY   <-> 0x2A VK_PRINT
    {0xBA, ';'},   // VK_OEM_1      <-> 0x3B (unassigned)
    {0xBB, '+'},   // VK_OEM_PLUS   <-> 0x2B VK_EXECUTE
    {0xBC, ','},   // VK_OEM_COMMA  <-> 0x2C VK_SNAPSHOT
    {0xBD, '-'},   // VK_OEM_MINUS  <-> 0x2D VK_INSERT
    {0xBE, '.'},   // VK_OEM_PERIOD <-> 0x2E VK_DELETE
    {0xBF, '/'},   // VK_OEM_2      <-> 0x2F VK_HELP
    {0xC0, '\''},  // VK_OEM_3      <-> 0x27 VK_RIGHT
    {0xDB, '['},   // VK_OEM_4      <-> 0x5B VK_LWIN
    {0xDC, '\\'},  // VK_OEM_5      <-> 0x5C VK_RWIN
    {0xDD, ']'},   // VK_OEM_6      <-> 0x5D VK_APPS
    {0xDE, '#'},   // VK_OEM_7      <-> 0x23 VK_END
};

// The simulator's own codes of keys that Windows names VK_OEM_* (and its two Enter keys).
struct SimulatorKey {
    uint8_t simulatorKey;
    uint8_t windowsKey;
};
constexpr SimulatorKey kSimulatorKeys[] = {
    {0xB0, 0xBB},  // XPLM_VK_EQUAL      VK_OEM_PLUS
    {0xB1, 0xBD},  // XPLM_VK_MINUS      VK_OEM_MINUS
    {0xB2, 0xDD},  // XPLM_VK_RBRACE     VK_OEM_6
    {0xB3, 0xDB},  // XPLM_VK_LBRACE     VK_OEM_4
    {0xB4, 0xDE},  // XPLM_VK_QUOTE      VK_OEM_7
    {0xB5, 0xBA},  // XPLM_VK_SEMICOLON  VK_OEM_1
    {0xB6, 0xDC},  // XPLM_VK_BACKSLASH  VK_OEM_5
    {0xB7, 0xBC},  // XPLM_VK_COMMA      VK_OEM_COMMA
    {0xB8, 0xBF},  // XPLM_VK_SLASH      VK_OEM_2
    {0xB9, 0xBE},  // XPLM_VK_PERIOD     VK_OEM_PERIOD
    {0xBA, 0xC0},  // XPLM_VK_BACKQUOTE  VK_OEM_3
    {0xBB, 0x0D},  // XPLM_VK_ENTER      VK_RETURN
    {0xBC, 0x0D},  // XPLM_VK_NUMPAD_ENT VK_RETURN
    {0xBD, 0x92},  // XPLM_VK_NUMPAD_EQ  VK_OEM_NEC_EQUAL
};

constexpr uint8_t kLastSharedCode = 0x87;  // XPLM_VK_F24 = VK_F24

}  // namespace

uint8_t KeyCharOfWindowsKey(int windowsKey) {
    if (windowsKey <= 0 || windowsKey > 255) return 0;
    for (const Exchange& e : kExchanges) {
        if (windowsKey == e.windowsKey) return e.keyChar;
        if (windowsKey == e.keyChar) return e.windowsKey;
    }
    return (uint8_t)windowsKey;
}

uint8_t WindowsKeyOfSimulatorKey(uint8_t simulatorKey) {
    if (simulatorKey <= kLastSharedCode) return simulatorKey;
    for (const SimulatorKey& k : kSimulatorKeys)
        if (simulatorKey == k.simulatorKey) return k.windowsKey;
    return 0;
}

const char* KeyLabel(uint8_t c, char out[8]) {
    if (c >= 0x60 && c <= 0x69) snprintf(out, 8, "NUM%d", c - 0x60);
    else if (c >= 0x70 && c <= 0x7B) snprintf(out, 8, "F%d", c - 0x70 + 1);
    else if (c == 0x6B) snprintf(out, 8, "NUM+");
    else if (c == 0x6D) snprintf(out, 8, "NUM-");
    else if (c == 0x6E) snprintf(out, 8, "NUM.");
    else if (c == 0x6F) snprintf(out, 8, "NUM/");
    // The keypad's multiply has the character "*", which ends an entry of the option list.
    else if (c == '*') snprintf(out, 8, "NUMx");
    else {
        out[0] = (char)c;
        out[1] = 0;
    }
    return out;
}
