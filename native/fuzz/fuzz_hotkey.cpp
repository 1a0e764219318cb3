// The ATC program's ini hotkey numbers and its flight-plan briefing, as any bytes: a number
// decodes to at most Ctrl and Shift with a key that the number names; a briefing of any lines
// keeps the route within its 15 characters and ends it with a NUL.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/hotkey_text.h"

namespace {

void CheckHotkey(int number) {
    const uint16_t entry = DecodeHotkey(number);
    const unsigned modifiers = entry & 0xFF, key = entry >> 8;
    if (modifiers > 3) abort();
    // The key part left after the modifiers: a key only when it is a code 0-255.
    long long rest = number;
    if (rest >= 2000) rest -= 2000;
    if (rest >= 1000) rest -= 1000;
    if ((rest < 0 || rest > 255) && key != 0) abort();
    if (rest >= 0 && rest <= 255 && key == 0 && rest != 0) abort();
    if (((number >= 2000) != ((modifiers & 2) != 0))) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4) {
        int32_t number;
        memcpy(&number, data, 4);
        CheckHotkey(number);
        CheckHotkey(number % 4000);  // the range hotkeys really use
    }

    // The rest as briefing lines, cut at line feeds; each line is handed over as a C string
    // of exactly its length, so any read past its end is caught.
    BriefingReader reader;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') continue;
        std::vector<char> line(data + start, data + i);
        line.push_back(0);
        ReadBriefingLine(reader, line.data());
        if (memchr(reader.route, 0, sizeof reader.route) == nullptr) abort();
        if (strlen(reader.route) > 15) abort();
        start = i + 1;
    }
    return 0;
}
