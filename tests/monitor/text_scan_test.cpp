// The scan for the ATC text over real memory, with holes and chunk ends, against the byte-wise
// reference that reads 128 bytes at every address.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>

#include "bridge/monitor.h"
#include "reference.h"

namespace {

constexpr size_t kPage = 4096;

// Pages to play with; protections per page.
struct Pages {
    explicit Pages(size_t count) : size(count * kPage) {
        base = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~Pages() { VirtualFree(base, 0, MEM_RELEASE); }
    void Protect(size_t page, DWORD protection) {
        DWORD old;
        VirtualProtect(base + page * kPage, kPage, protection, &old);
    }
    void Put(size_t at, const std::string& text) { memcpy(base + at, text.data(), text.size()); }
    char* base;
    size_t size;
};

void ExpectSameAnswer(const char* image, size_t size, const char* expected) {
    const char* reference = ScanForAtcTextByteWise(image, size);
    EXPECT_EQ(reference, expected);
    EXPECT_EQ(ScanForAtcText(image, size), reference);
}

TEST(AtcTextScan, LowestWholeReadableWindowOnBothSidesOfHoles) {
    Pages pages(4);
    // Page 1 cannot be read: a phrase 60 bytes before it has no whole window; the text behind
    // the hole is the answer. "ComFreq" after non-NUL bytes: its window starts 121 bytes early.
    pages.Put(kPage - 60, "Loaded FP EDDF");
    memset(pages.base + 2 * kPage + 100, 'x', 300);
    pages.Put(2 * kPage + 400, "ComFreq 118.50");
    pages.Protect(1, PAGE_NOACCESS);
    ExpectSameAnswer(pages.base, pages.size, pages.base + 2 * kPage + 400 - 121);
    // A guard page counts as a hole too.
    pages.Protect(1, PAGE_READWRITE | PAGE_GUARD);
    ExpectSameAnswer(pages.base, pages.size, pages.base + 2 * kPage + 400 - 121);
    // Readable again: the text in front of it has its whole window.
    pages.Protect(1, PAGE_READONLY);
    ExpectSameAnswer(pages.base, pages.size, pages.base + kPage - 60);
    // Nothing to find.
    pages.Protect(1, PAGE_READWRITE);
    memset(pages.base, 0, pages.size);
    ExpectSameAnswer(pages.base, pages.size, nullptr);
}

TEST(AtcTextScan, AWindowMayReachPastTheImageButMustStartInIt) {
    Pages pages(3);
    // The image is the first two pages; the third is readable memory behind it.
    pages.Put(2 * kPage - 5, "P.I.C");
    ExpectSameAnswer(pages.base, 2 * kPage, pages.base + 2 * kPage - 5);
    memset(pages.base, 0, pages.size);
    pages.Put(2 * kPage + 3, "P.I.C");
    ExpectSameAnswer(pages.base, 2 * kPage, nullptr);
    // Behind the image nothing is readable: the last 127 starts have no whole window.
    pages.Protect(2, PAGE_NOACCESS);
    memset(pages.base, 0, 2 * kPage);
    pages.Put(2 * kPage - 100, "P.I.C");
    ExpectSameAnswer(pages.base, 2 * kPage, nullptr);
}

TEST(AtcTextScan, TextAcrossTheEndOfACopiedChunk) {
    // Copies are made a megabyte at a time (the reference would take a million reads here).
    const size_t chunk = 1 << 20;
    Pages pages(chunk / kPage + 2);
    memset(pages.base + chunk - 200, 'y', 190);
    pages.Put(chunk - 10, "comfreq 121.5");
    EXPECT_EQ(ScanForAtcText(pages.base, pages.size), pages.base + chunk - 10 + 7 - 128);
    memset(pages.base, 0, pages.size);
    pages.Put(chunk - 3, "You are not cleared");
    EXPECT_EQ(ScanForAtcText(pages.base, pages.size), pages.base + chunk - 3);
    memset(pages.base, 0, pages.size);
    pages.Put(chunk + 1, "Loaded ADV");
    EXPECT_EQ(ScanForAtcText(pages.base, pages.size), pages.base + chunk + 1);
}

TEST(AtcTextScan, RandomPagesAndPhrasesAgreeWithTheReference) {
    // Few rounds: under Wine each read of the reference costs a trip to the server.
    std::mt19937 random(11);
    const char* pieces[] = {"ComFreq", "Loaded ADV", "You are not", "P.I.C", "virtual Co-pilot", "Loaded F"};
    Pages pages(3);
    for (int round = 0; round < 12; ++round) {
        for (size_t p = 0; p < 3; ++p) pages.Protect(p, PAGE_READWRITE);
        for (size_t i = 0; i < pages.size; ++i) pages.base[i] = random() % 4 ? char('a' + random() % 26) : 0;
        int placed = random() % 4;
        for (int n = 0; n < placed; ++n)
            pages.Put(random() % (pages.size - 20), pieces[random() % (sizeof pieces / sizeof pieces[0])]);
        for (size_t p = 0; p < 3; ++p)
            if (random() % 3 == 0) pages.Protect(p, random() % 2 ? PAGE_NOACCESS : PAGE_READONLY);
        const char* reference = ScanForAtcTextByteWise(pages.base, pages.size);
        ASSERT_EQ(ScanForAtcText(pages.base, pages.size), reference) << "round " << round;
    }
}

}  // namespace
