#pragma once
// Recognising the ATC message among drawn strings and laying it out as a block. Portable: no
// windows.h, no allocation.
#include <cstddef>

// Drawn texts outside this length range are never the ATC message.
constexpr size_t kAtcMessageMinLength = 10;
constexpr size_t kAtcMessageMaxLength = 128;

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
    // True when the index already describes these 128 bytes.
    bool Describes(const char snapshot[128]) const;
    void Build(const char snapshot[128]);
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
