// Memory searched for the ATC program's text, as any bytes: the one-pass scan gives the same
// offset as testing every window, and neither reads past the bytes it is given.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bridge/atc_text_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t startsCut = data[0] | data[1] << 8;
    std::vector<uint8_t> bytes(data + 2, data + size);  // exact size
    const size_t starts = bytes.size() > startsCut ? bytes.size() - startsCut : 0;

    long long reference = -1;
    for (size_t a = 0; a < starts && a + kAtcTextWindow <= bytes.size(); ++a)
        if (IsAtcTextAtStart(reinterpret_cast<const char*>(&bytes[a]), kAtcTextWindow)) {
            reference = (long long)a;
            break;
        }
    if (FirstAtcTextWindow(bytes.data(), bytes.size(), starts) != reference) abort();

    // Shorter windows at the end of the bytes are read only as far as they go.
    for (size_t n = 0; n <= bytes.size() && n <= kAtcTextWindow; n += 7) {
        const char* tail = reinterpret_cast<const char*>(bytes.data() + bytes.size() - n);
        IsAtcTextAtStart(tail, n);
        IsAtcTextAnywhere(tail, n);
    }
    return 0;
}
