#include "config/hotkey_text.h"

#include <cctype>
#include <cstring>

#include "config/key_chars.h"

namespace {

constexpr int kLineLimit = 127;

bool ContainsNoCase(const char* text, const char* word) {
    size_t n = strlen(word);
    for (const char* p = text; *p; ++p) {
        size_t i = 0;
        while (i < n && p[i] && tolower((unsigned char)p[i]) == tolower((unsigned char)word[i])) ++i;
        if (i == n) return true;
    }
    return false;
}

// Up to four characters starting two after the line's first dash.
void IdentAfterDash(const char* line, char ident[5]) {
    ident[0] = 0;
    const char* dash = strchr(line, '-');
    if (!dash || strlen(dash) < 2) return;
    strncpy(ident, dash + 2, 4);
    ident[4] = 0;
}

}  // namespace

uint16_t DecodeHotkey(int number) {
    uint8_t modifiers = 0;
    if (number >= 2000) {
        modifiers |= 2;
        number -= 2000;
    }
    if (number >= 1000) {
        modifiers |= 1;
        number -= 1000;
    }
    // The key character shared with the key watcher and the slot keys (config/key_chars.h).
    uint8_t key = number >= 0 && number < 256 ? KeyCharOfWindowsKey(number) : 0;
    return (uint16_t)(modifiers | key << 8);
}

void ReadBriefingLine(BriefingReader& reader, const char* text) {
    char line[kLineLimit + 1];
    strncpy(line, text, kLineLimit);
    line[kLineLimit] = 0;
    if (strlen(line) <= 9) return;
    bool usable = strchr(line, '-') && strchr(line, ',');
    char ident[5];
    if (ContainsNoCase(line, "Departure Airport")) {
        if (!usable) return;
        IdentAfterDash(line, ident);
        memset(reader.route, 0, sizeof reader.route);
        strcpy(reader.route, ident);
        strcat(reader.route, " to ");
        reader.destinationTaken = false;
    } else if (ContainsNoCase(line, "Destination Airport")) {
        // One destination only: the route keeps within its 15 characters.
        if (!usable || reader.destinationTaken) return;
        IdentAfterDash(line, ident);
        if (strlen(reader.route) + strlen(ident) < sizeof reader.route) strcat(reader.route, ident);
        reader.destinationTaken = true;
    }
}
