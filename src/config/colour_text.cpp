#include "config/colour_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

double LeadingNumber(const char* field, int maxChars) {
    char copy[8] = "";
    int n = 0;
    while (n < maxChars && n < (int)sizeof copy - 1 && field[n] && field[n] != ',') {
        copy[n] = field[n];
        ++n;
    }
    copy[n] = 0;
    char* end = nullptr;
    double value = strtod(copy, &end);
    return end == copy ? 0.0 : value;
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
