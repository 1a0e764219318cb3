#include "config/profile_section.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kSectionBufferSize = 32768;
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

}  // namespace

ProfileSection::ProfileSection(const char* file, const char* section) : file_(file), section_(section) {
    std::vector<char> buffer(kSectionBufferSize);
    DWORD length = GetPrivateProfileSectionA(section, buffer.data(), kSectionBufferSize, file);
    // A section cut short comes back with size - 2 characters.
    if (length >= kSectionBufferSize - 2) return;
    text_.assign(buffer.data(), length + 1 < kSectionBufferSize ? length + 1 : length);
    whole_ = true;
}

int ProfileSection::Int(const char* key, int fallback) const {
    if (!whole_) return (int)GetPrivateProfileIntA(section_.c_str(), key, fallback, file_.c_str());
    std::string value;
    if (!FindValue(text_.data(), text_.size(), key, &value)) return fallback;
    return IntOfValue(value, fallback);
}

bool ProfileSection::FindValue(const char* text, size_t size, const char* key, std::string* value) {
    const std::string wanted = Trimmed(key, key + strlen(key));
    for (size_t at = 0; at < size && text[at];) {
        const char* line = text + at;
        const char* lineEnd = static_cast<const char*>(memchr(line, 0, size - at));
        if (!lineEnd) lineEnd = text + size;
        at = (size_t)(lineEnd - text) + 1;
        const char* equals = static_cast<const char*>(memchr(line, '=', (size_t)(lineEnd - line)));
        const std::string name = Trimmed(line, equals ? equals : lineEnd);
        if (name.empty() || _stricmp(name.c_str(), wanted.c_str()) != 0) continue;
        std::string v = equals ? Trimmed(equals + 1, lineEnd) : std::string();
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
        *value = v;
        return true;
    }
    return false;
}

int ProfileSection::IntOfValue(const std::string& full, int fallback) {
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
