#include "bridge/atc_text_match.h"

#include <cctype>
#include <cstring>

namespace {

const char* const kStartPhrases[] = {"Loaded FP", "Loaded ADV", "virtual Co-pilot", "P.I.C", "You are not"};
const char* const kAnywherePhrase = "ComFreq";
const char* const kSecondPhrases[] = {"Loaded FP", "Initialising", "Loaded ADV", "You are not", "ComFreq"};

size_t TextLength(const char* window, size_t length) {
    size_t n = 0;
    while (n < length && n < kAtcTextWindow && window[n]) ++n;
    return n;
}

bool MatchAt(const char* text, size_t textLength, size_t at, const char* phrase) {
    size_t n = strlen(phrase);
    if (at + n > textLength) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower((unsigned char)text[at + i]) != tolower((unsigned char)phrase[i])) return false;
    return true;
}

bool Contains(const char* text, size_t textLength, const char* phrase) {
    for (size_t at = 0; at < textLength; ++at)
        if (MatchAt(text, textLength, at, phrase)) return true;
    return false;
}

}  // namespace

bool IsAtcTextAtStart(const char* window, size_t length) {
    size_t n = TextLength(window, length);
    for (const char* phrase : kStartPhrases)
        if (MatchAt(window, n, 0, phrase)) return true;
    return Contains(window, n, kAnywherePhrase);
}

bool IsAtcTextAnywhere(const char* window, size_t length) {
    size_t n = TextLength(window, length);
    for (const char* phrase : kSecondPhrases)
        if (Contains(window, n, phrase)) return true;
    return false;
}

long long FirstAtcTextWindow(const uint8_t* bytes, size_t length, size_t starts) {
    if (length < kAtcTextWindow) return -1;
    size_t lastStart = length - kAtcTextWindow;  // windows must lie wholly within the bytes
    if (starts == 0) return -1;
    if (lastStart > starts - 1) lastStart = starts - 1;
    const char* text = reinterpret_cast<const char*>(bytes);
    const size_t anywhereLength = strlen(kAnywherePhrase);
    long long best = -1;
    size_t afterNul = 0;  // first offset after the last NUL seen
    for (size_t p = 0; p <= lastStart + kAtcTextWindow - 1 && p < length; ++p) {
        if (best >= 0 && p > (size_t)best + kAtcTextWindow) break;
        if (bytes[p] == 0) {
            afterNul = p + 1;
            continue;
        }
        // A start phrase here: the window starting at p matches.
        if (p <= lastStart && (best < 0 || (long long)p < best)) {
            for (const char* phrase : kStartPhrases)
                if (MatchAt(text, length, p, phrase) && !memchr(bytes + p, 0, strlen(phrase))) {
                    best = (long long)p;
                    break;
                }
        }
        // "ComFreq" at p: the earliest window holding it whole, with no NUL before it.
        if (MatchAt(text, length, p, kAnywherePhrase) && !memchr(bytes + p, 0, anywhereLength)) {
            size_t earliest = p + anywhereLength >= kAtcTextWindow ? p + anywhereLength - kAtcTextWindow : 0;
            if (earliest < afterNul) earliest = afterNul;
            if (earliest <= lastStart && (best < 0 || (long long)earliest < best)) best = (long long)earliest;
        }
    }
    return best;
}
