// A drawn string against the 128 bytes the server draws from, as any bytes, under either case
// folding: the prepared search answers as the plain one, the markers and the wrap stay inside
// the text, and the wrapped lines hold every character but the carriage returns, in order.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bridge/atc_text_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 128) return 0;
    char snapshot[128];
    memcpy(snapshot, data, sizeof snapshot);
    // The text exactly as long as it is, with its terminating zero (the simulator's strings).
    std::string text(reinterpret_cast<const char*>(data + 128), size - 128);
    text = text.substr(0, strnlen(text.c_str(), text.size()));

    // Either folding: A-Z only, or a code page's that also folds 0xC0-0xDE (as Windows-1252).
    static const struct Latin {
        unsigned char lower[256];
        Latin() {
            for (int c = 0; c < 256; ++c)
                lower[c] = (unsigned char)((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c);
        }
    } latin;
    if (size > 128 && (data[size - 1] & 1)) SetTextFolding(latin.lower);
    else ResetTextFolding();

    static SnapshotIndex index;
    if (!index.Describes(snapshot)) index.Build(snapshot);
    if (!index.Describes(snapshot)) abort();
    if (index.Contains(text.c_str(), text.size()) != OccursInSnapshot(snapshot, text.c_str(), text.size())) abort();
    HasAtcTextMarker(text.c_str());

    if (text.size() > kAtcMessageMaxLength) return 0;
    AtcTextLines lines;
    WrapAtcText(text.c_str(), text.size(), &lines);
    if (lines.count < 1 || lines.count > AtcTextLines::kMaxLines) abort();
    std::string joined, expected;
    for (int i = 0; i < lines.count; ++i) joined += lines.line[i].text;
    for (char c : text)
        if (c != '\r') expected += c;
    if (joined != expected) abort();
    return 0;
}
