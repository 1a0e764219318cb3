#include "config/profile_text.h"

#include <cstdint>
#include <cstring>

namespace {

// GetPrivateProfileIntA reads the value into a buffer of 30 characters.
constexpr size_t kIntValueChars = 29;

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const char* begin, const char* end) {
    while (begin < end && Blank(*begin)) ++begin;
    while (end > begin && Blank(end[-1])) --end;
    return std::string(begin, end);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Keys compare without regard to the case of ASCII letters (the keys looked up are ASCII).
bool SameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool FindProfileValue(const char* text, size_t size, const char* key, std::string* value) {
    const std::string wanted = Trimmed(key, key + strlen(key));
    for (size_t at = 0; at < size && text[at];) {
        const char* line = text + at;
        const char* lineEnd = static_cast<const char*>(memchr(line, 0, size - at));
        if (!lineEnd) lineEnd = text + size;
        at = (size_t)(lineEnd - text) + 1;
        const char* equals = static_cast<const char*>(memchr(line, '=', (size_t)(lineEnd - line)));
        const std::string name = Trimmed(line, equals ? equals : lineEnd);
        if (name.empty() || !SameKey(name, wanted)) continue;
        std::string v = equals ? Trimmed(equals + 1, lineEnd) : std::string();
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
        *value = v;
        return true;
    }
    return false;
}

int IntOfProfileValue(const std::string& full, int fallback) {
    if (full.empty()) return fallback;
    const std::string value = full.substr(0, kIntValueChars);
    size_t i = 0;
    while (i < value.size() && (unsigned char)value[i] <= ' ') ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    int base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        const char p = value[i + 1];
        // Lower case only, as the system's conversion has it.
        if (p == 'x') base = 16;
        else if (p == 'o') base = 8;
        else if (p == 'b') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t result = 0;
    for (; i < value.size(); ++i) {
        const int digit = DigitValue(value[i]);
        if (digit >= base) break;
        result = result * (uint32_t)base + (uint32_t)digit;
    }
    return (int)(negative ? 0u - result : result);
}
