#include "bridge/atc_text_layout.h"

#include <cstring>

namespace {

// The case folding of the platform's case-insensitive search: ASCII unless the plug-in installs
// the folding of the system's code page.
struct LowerTable {
    unsigned char map[256];
    constexpr LowerTable() : map() {
        for (int i = 0; i < 256; ++i) map[i] = (unsigned char)(i >= 'A' && i <= 'Z' ? i + 32 : i);
    }
};
LowerTable g_lower;
unsigned g_foldGeneration = 0;

inline unsigned char Lower(char c) { return g_lower.map[(unsigned char)c]; }

// The first occurrence of needle in haystack, both with known lengths, ignoring case.
bool ContainsNoCase(const char* haystack, size_t haystackLength, const char* needle, size_t needleLength) {
    if (needleLength == 0) return true;
    if (needleLength > haystackLength) return false;
    const unsigned char first = Lower(needle[0]);
    const size_t lastStart = haystackLength - needleLength;
    for (size_t at = 0; at <= lastStart; ++at) {
        if (Lower(haystack[at]) != first) continue;
        size_t i = 1;
        while (i < needleLength && Lower(haystack[at + i]) == Lower(needle[i])) ++i;
        if (i == needleLength) return true;
    }
    return false;
}

const char* const kMarkers[] = {"Loaded FP", "Loaded ADV", "You are not", "ComFreq"};

}  // namespace

void SetTextFolding(const unsigned char lower[256]) {
    memcpy(g_lower.map, lower, sizeof g_lower.map);
    ++g_foldGeneration;
}

void ResetTextFolding() {
    g_lower = LowerTable();
    ++g_foldGeneration;
}

bool HasAtcTextMarker(const char* text) {
    const size_t length = strlen(text);
    for (const char* marker : kMarkers)
        if (ContainsNoCase(text, length, marker, strlen(marker))) return true;
    return false;
}

bool OccursInSnapshot(const char snapshot[128], const char* text, size_t length) {
    const char* end = static_cast<const char*>(memchr(snapshot, 0, 128));
    const size_t snapshotLength = end ? (size_t)(end - snapshot) : 128;
    return ContainsNoCase(snapshot, snapshotLength, text, length);
}

bool SnapshotIndex::Describes(const char* source) const {
    if (!built_ || generation_ != g_foldGeneration) return false;
    unsigned long long difference = 0;
    for (size_t i = 0; i < 128; i += 8) {
        unsigned long long a, b;
        memcpy(&a, source + i, 8);
        memcpy(&b, raw_ + i, 8);
        difference |= a ^ b;
    }
    return difference == 0;
}

void SnapshotIndex::Build(const char* source) {
    // One copy, then only the copy is read: the source may change under us.
    memcpy(raw_, source, sizeof raw_);
    const char* end = static_cast<const char*>(memchr(raw_, 0, 128));
    length_ = end ? (size_t)(end - raw_) : 128;
    for (size_t i = 0; i < length_; ++i) lowered_[i] = Lower(raw_[i]);
    memset(pairs_, 0, sizeof pairs_);
    for (size_t i = 0; i + 1 < length_; ++i) {
        const unsigned pair = (unsigned)lowered_[i] << 8 | lowered_[i + 1];
        pairs_[pair >> 6] |= 1ull << (pair & 63);
    }
    built_ = true;
    generation_ = g_foldGeneration;
}

bool SnapshotIndex::Contains(const char* text, size_t length) const {
    if (length == 0) return true;
    if (length > length_) return false;
    // Every pair of the text must occur somewhere in the snapshot.
    for (size_t i = 0; i + 1 < length; ++i) {
        const unsigned pair = (unsigned)Lower(text[i]) << 8 | Lower(text[i + 1]);
        if (!(pairs_[pair >> 6] & (1ull << (pair & 63)))) return false;
    }
    return ContainsNoCase(reinterpret_cast<const char*>(lowered_), length_, text, length);
}

void WrapAtcText(const char* text, size_t length, AtcTextLines* out) {
    if (length > kAtcMessageMaxLength) length = kAtcMessageMaxLength;
    out->count = 0;
    int drop = 20;
    int column = 0;
    size_t used = 0;
    char* line = out->line[0].text;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c != '\r') line[used++] = c;
        if (column >= 40 && c == ' ' && out->count < AtcTextLines::kMaxLines - 1) {
            line[used] = '\0';
            out->line[out->count++].dropBelowTitle = drop;
            line = out->line[out->count].text;
            used = 0;
            column = 0;
            drop += 16;
        }
        ++column;
    }
    line[used] = '\0';
    out->line[out->count++].dropBelowTitle = drop + 16;
}
