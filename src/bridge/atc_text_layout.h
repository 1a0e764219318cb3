#pragma once
// Recognising the ATC message among drawn strings and laying it out as a block. Portable: no
// windows.h, no allocation.
#include <cstddef>
#include <cstdint>

// Drawn texts outside this length range are never the ATC message.
constexpr size_t kAtcMessageMinLength = 10;
constexpr size_t kAtcMessageMaxLength = 128;

// The length of a NUL-terminated text, or some value above limit when it is longer: the
// interception's first look at every string any plug-in draws. Eight bytes at a time from aligned
// words, so no read crosses into a page the text does not reach; drawn texts are mostly 10-60
// characters, and a byte loop over them cost more than the rest of the detour.
inline size_t DrawnTextLength(const char* text, size_t limit) {
    using Word = uint64_t __attribute__((may_alias));
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const uintptr_t start = reinterpret_cast<uintptr_t>(text);
    const unsigned skipped = (unsigned)(start & 7);
    const Word* word = reinterpret_cast<const Word*>(start - skipped);
    // The bytes before the text, in the first word, count as not NUL.
    uint64_t bytes = *word | ((1ull << (skipped * 8)) - 1);
    size_t counted = 0;  // bytes of the text before this word
    for (;;) {
        // The lowest byte that is zero sets its high bit here (bytes above it may too).
        const uint64_t zeros = (bytes - kOnes) & ~bytes & kHighs;
        if (zeros) return counted + (size_t)(__builtin_ctzll(zeros) >> 3) - skipped;
        counted += 8;
        if (counted - skipped > limit) return counted - skipped;
        bytes = *++word;
    }
}

// The searches below ignore case as the platform's case-insensitive search does: lower[c] is the
// folded form of byte c. The default folds A-Z only; the plug-in installs the system code page's
// folding at start, before anything is drawn (not thread-safe against running searches).
void SetTextFolding(const unsigned char lower[256]);
void ResetTextFolding();

// One of the phrases that only the ATC program's messages carry, anywhere, in any case. The text
// is NUL-terminated.
bool HasAtcTextMarker(const char* text);

// Does text[0, length) occur, ignoring case, in the snapshot read as text up to its first
// NUL or its 128th byte? Reads nothing outside the 128 bytes.
bool OccursInSnapshot(const char snapshot[128], const char* text, size_t length);

// The snapshot prepared for many searches: lowered once, with the set of its two-character
// pairs, so that a drawn text that is not the message is usually turned away by its first pairs.
// Gives the same answers as OccursInSnapshot.
class SnapshotIndex {
public:
    // True when the index already describes these 128 bytes. The source may be memory another
    // thread writes: each is read once, and the answers come from the index's own copy.
    bool Describes(const char* source) const;
    void Build(const char* source);
    bool Contains(const char* text, size_t length) const;

private:
    char raw_[128] = {};
    unsigned char lowered_[128] = {};
    size_t length_ = 0;
    bool built_ = false;
    unsigned generation_ = 0;  // of the folding it was built with
    unsigned long long pairs_[65536 / 64] = {};
};

// The message broken into lines: the first at the first blank at or after its 41st character,
// later ones at the first blank at or after their 40th; carriage returns are dropped but
// counted. Lines are given top down with their offsets below the title line's baseline.
struct AtcTextLines {
    static constexpr int kMaxLines = 4;  // 128 characters break at most three times
    int count = 0;
    struct Line {
        int dropBelowTitle;  // pixels below the title's y
        char text[kAtcMessageMaxLength + 1];
    } line[kMaxLines];
};
void WrapAtcText(const char* text, size_t length, AtcTextLines* out);
