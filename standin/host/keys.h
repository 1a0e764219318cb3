#pragma once
#include <string>

struct KeyCode {
    char character;  // what the simulator passes as the key's character (0 for none)
    int virtualKey;  // XPLM_VK_ code
};

// Key names of scenarios: a single printable character, TAB, ENTER, ESC, SPACE, BACK, DELETE,
// F1-F12, NUM0-NUM9, NUM*, NUM+, NUM-, NUM/, NUM., UP, DOWN, LEFT, RIGHT.
bool LookUpKey(const std::string& name, KeyCode* out);
