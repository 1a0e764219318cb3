#include "keys.h"

#include <cstring>

#include "XPLMDefs.h"

namespace {
struct Named {
    const char* name;
    char character;
    int virtualKey;
};
const Named kNamed[] = {
    {"TAB", 9, XPLM_VK_TAB},       {"ENTER", 13, XPLM_VK_RETURN},  {"ESC", 27, XPLM_VK_ESCAPE},
    {"SPACE", ' ', XPLM_VK_SPACE}, {"BACK", 8, XPLM_VK_BACK},      {"DELETE", 127, XPLM_VK_DELETE},
    {"UP", 30, XPLM_VK_UP},        {"DOWN", 31, XPLM_VK_DOWN},     {"LEFT", 28, XPLM_VK_LEFT},
    {"RIGHT", 29, XPLM_VK_RIGHT},  {"NUM*", '*', XPLM_VK_MULTIPLY}, {"NUM+", '+', XPLM_VK_ADD},
    {"NUM-", '-', XPLM_VK_SUBTRACT}, {"NUM/", '/', XPLM_VK_DIVIDE}, {"NUM.", '.', XPLM_VK_DECIMAL},
};
// The punctuation keys have the simulator's own virtual key codes.
const Named kPunctuation[] = {
    {"=", '=', XPLM_VK_EQUAL},     {"-", '-', XPLM_VK_MINUS},     {"]", ']', XPLM_VK_RBRACE},
    {"[", '[', XPLM_VK_LBRACE},    {"'", '\'', XPLM_VK_QUOTE},    {";", ';', XPLM_VK_SEMICOLON},
    {"\\", '\\', XPLM_VK_BACKSLASH}, {",", ',', XPLM_VK_COMMA},   {"/", '/', XPLM_VK_SLASH},
    {".", '.', XPLM_VK_PERIOD},    {"`", '`', XPLM_VK_BACKQUOTE},
};
}  // namespace

bool LookUpKey(const std::string& name, KeyCode* out) {
    for (const Named& n : kNamed)
        if (name == n.name) return *out = {n.character, n.virtualKey}, true;
    for (const Named& n : kPunctuation)
        if (name == n.name) return *out = {n.character, n.virtualKey}, true;
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        int n = atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12) return *out = {0, XPLM_VK_F1 + n - 1}, true;
    }
    if (name.size() == 4 && name.compare(0, 3, "NUM") == 0 && name[3] >= '0' && name[3] <= '9')
        return *out = {name[3], XPLM_VK_NUMPAD0 + (name[3] - '0')}, true;
    if (name.size() == 1) {
        char c = name[0];
        if (c >= 'a' && c <= 'z') return *out = {c, XPLM_VK_A + (c - 'a')}, true;
        if (c >= 'A' && c <= 'Z') return *out = {(char)(c - 'A' + 'a'), XPLM_VK_A + (c - 'A')}, true;
        if (c >= '0' && c <= '9') return *out = {c, XPLM_VK_0 + (c - '0')}, true;
    }
    return false;
}
