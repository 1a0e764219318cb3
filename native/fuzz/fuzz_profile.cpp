// Sections of the ATC program's ini files and of our configuration file, as any bytes the files
// may hold: the lookup never reads outside the text it is given, a value it finds is a piece of a
// line of that text, and a plain decimal value reads as its number.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/profile_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte chooses how much of the rest is the key; the text is the remainder, with no
    // promise of its NULs (a section cut short by the buffer ends anywhere).
    const size_t keyLength = data[0] % 12;
    if (size - 1 < keyLength) return 0;
    const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
    if (key.find('\0') != std::string::npos) return 0;
    std::vector<char> text(data + 1 + keyLength, data + size);
    std::string value;
    if (FindProfileValue(text.data(), text.size(), key.c_str(), &value)) {
        if (value.size() > text.size()) abort();
        if (value.find('\0') != std::string::npos) abort();
        // Quotes aside, the value stands in the text as it was returned.
        if (!value.empty() && std::string(text.begin(), text.end()).find(value) == std::string::npos) abort();
    }
    const int parsed = IntOfProfileValue(value, -7);
    if (value.empty() && parsed != -7) abort();
    // A plain decimal of up to nine digits reads as exactly that number.
    if (!value.empty() && value.size() <= 9 && value.find_first_not_of("0123456789") == std::string::npos &&
        parsed != atoi(value.c_str()))
        abort();
    return 0;
}
