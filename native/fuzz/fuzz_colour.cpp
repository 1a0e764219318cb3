// Colour values of the configuration file, as any text the file may hold: every component
// comes out as the built-in one or a number from 0.0 to 1.0, never NaN, and a well-formed
// "R,G,B" (three decimal numbers 0-255) reads as exactly those numbers over 255.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/colour_text.h"

namespace {

// Three fields of one to three digits each, separated by single commas, nothing else.
bool WellFormed(const char* text, int values[3]) {
    const char* p = text;
    for (int i = 0; i < 3; ++i) {
        int digits = 0, value = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) value = value * 10 + (*p++ - '0'), ++digits;
        if (digits == 0 || digits > 3 || value > 255) return false;
        values[i] = value;
        if (i < 2 && *p++ != ',') return false;
    }
    return *p == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The file reader hands over at most 15 characters; the parser must stand any length.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    const float builtin[3] = {0.3f, 0.9f, 0.9f};
    float rgb[3] = {-1, -1, -1};
    ParseColourText(text.data(), builtin, rgb);
    for (int i = 0; i < 3; ++i)
        if (std::isnan(rgb[i]) || (!(rgb[i] >= 0.0f && rgb[i] <= 1.0f) && rgb[i] != builtin[i])) abort();

    int values[3];
    if (WellFormed(text.data(), values))
        for (int i = 0; i < 3; ++i)
            if (rgb[i] != (float)(values[i] / 255.0)) abort();

    // A number field under any limit stays within it, and no number reads as 0.
    for (int limit = 0; limit <= 8; ++limit) {
        double value = LeadingNumber(text.data(), limit);
        if (limit == 0 && value != 0.0) abort();
        if (std::isnan(value)) abort();
    }
    // Decimal only: a field opening with "0x" is the number 0.
    if (size >= 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X') && LeadingNumber(text.data(), 3) != 0.0)
        abort();
    return 0;
}
