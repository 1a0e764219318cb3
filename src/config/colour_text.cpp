#include "config/colour_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of text: sign, digits, point, digits, and an
// exponent only when digits follow it; 0 when no digit is there. Hexadecimal, infinity and NaN
// spellings are no numbers here (the runtime's strtod would read them).
size_t DecimalPrefix(const char* text) {
    size_t n = 0;
    if (text[n] == '+' || text[n] == '-') ++n;
    size_t digits = 0;
    while (IsDigit(text[n])) ++n, ++digits;
    if (text[n] == '.') {
        ++n;
        while (IsDigit(text[n])) ++n, ++digits;
    }
    if (digits == 0) return 0;
    if (text[n] == 'e' || text[n] == 'E') {
        size_t e = n + 1;
        if (text[e] == '+' || text[e] == '-') ++e;
        if (IsDigit(text[e])) {
            while (IsDigit(text[e])) ++e;
            n = e;
        }
    }
    return n;
}

}  // namespace

double LeadingNumber(const char* field, int maxChars) {
    char copy[8] = "";
    int n = 0;
    while (n < maxChars && n < (int)sizeof copy - 1 && field[n] && field[n] != ',') {
        copy[n] = field[n];
        ++n;
    }
    copy[n] = 0;
    const char* start = copy;
    while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\v' || *start == '\f' || *start == '\r')
        ++start;
    const size_t length = DecimalPrefix(start);
    if (length == 0) return 0.0;
    char number[sizeof copy] = "";
    memcpy(number, start, length);
    // A plain decimal: strtod reads all of it and rounds it correctly.
    return strtod(number, nullptr);
}

namespace {
float Component(const char* field) {
    double value = LeadingNumber(field, 3) / 255.0;
    if (!(value >= 0.0 && value <= 1.0)) return 0.5f;  // also catches NaN
    return (float)value;
}
}  // namespace

void ParseColourText(const char* text, const float builtin[3], float rgb[3]) {
    for (int i = 0; i < 3; ++i) rgb[i] = builtin[i];
    if (!text || !*text) return;
    const char* first = strchr(text, ',');
    if (!first) {
        rgb[2] = Component(text);
        return;
    }
    rgb[0] = Component(text);
    const char* second = strchr(first + 1, ',');
    if (!second) {
        rgb[2] = Component(first + 1);
        return;
    }
    rgb[1] = Component(first + 1);
    rgb[2] = Component(second + 1);
}
