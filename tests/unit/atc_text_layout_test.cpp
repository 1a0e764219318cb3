// The prepared snapshot search answers exactly as the plain search over the 128 bytes, for
// texts taken from the snapshot (any case), near misses and strangers, across changing snapshots.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>

#include "bridge/atc_text_layout.h"

namespace {

TEST(SnapshotIndex, AgreesWithThePlainSearch) {
    std::mt19937 random(20261207);
    const char alphabet[] = "abAB c.\r";  // small, so pieces recur and pairs collide
    SnapshotIndex index;
    int found = 0, checked = 0;
    for (int round = 0; round < 300; ++round) {
        char snapshot[128];
        for (char& c : snapshot) c = alphabet[random() % (sizeof alphabet - 1)];
        // Sometimes an end inside the 128 bytes, sometimes none at all.
        if (round % 3 == 0) snapshot[random() % 128] = '\0';
        if (!index.Describes(snapshot)) index.Build(snapshot);
        ASSERT_TRUE(index.Describes(snapshot));
        for (int probe = 0; probe < 60; ++probe) {
            std::string text;
            const size_t length = 1 + random() % 128;
            if (probe % 2 == 0) {
                // A piece of the snapshot with its case changed here and there.
                const size_t from = random() % 128;
                for (size_t i = 0; i < length && from + i < 128; ++i) {
                    char c = snapshot[from + i] ? snapshot[from + i] : 'a';
                    if (random() % 4 == 0 && c >= 'a' && c <= 'z') c -= 32;
                    text += c;
                }
                if (probe % 6 == 0 && !text.empty()) text.back() = 'z';  // a near miss
            } else {
                for (size_t i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet - 1)];
            }
            const bool expected = OccursInSnapshot(snapshot, text.data(), text.size());
            ASSERT_EQ(index.Contains(text.data(), text.size()), expected) << "round " << round << " text " << text;
            found += expected;
            ++checked;
        }
    }
    // Both answers occurred often enough for the comparison to mean something.
    EXPECT_GT(found, checked / 10);
    EXPECT_LT(found, checked - checked / 10);
}

TEST(SnapshotIndex, FoldsWithTheInstalledTableAndRebuildsForIt) {
    // Latin-1 style folding: 0xC0-0xDE (but 0xD7) fold to 0xE0-0xFE.
    unsigned char lower[256];
    for (int c = 0; c < 256; ++c)
        lower[c] = (unsigned char)((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c);
    char snapshot[128] = "contact\tZ\xFCrich 121.8";
    const char drawn[] = "CONTACT\tZ\xDCRICH";
    SnapshotIndex index;
    index.Build(snapshot);
    EXPECT_FALSE(index.Contains(drawn, strlen(drawn)));
    SetTextFolding(lower);
    EXPECT_FALSE(index.Describes(snapshot));  // built with the old folding
    index.Build(snapshot);
    EXPECT_TRUE(index.Contains(drawn, strlen(drawn)));
    EXPECT_TRUE(OccursInSnapshot(snapshot, drawn, strlen(drawn)));
    EXPECT_FALSE(index.Contains("\xD7", 1));
    EXPECT_TRUE(HasAtcTextMarker("\xC0 COMFREQ"));
    ResetTextFolding();
    EXPECT_FALSE(OccursInSnapshot(snapshot, drawn, strlen(drawn)));
}

TEST(SnapshotIndex, NoticesEveryChangedByte) {
    char snapshot[128];
    memset(snapshot, 'x', sizeof snapshot);
    SnapshotIndex index;
    EXPECT_FALSE(index.Describes(snapshot));
    index.Build(snapshot);
    for (int i = 0; i < 128; ++i) {
        snapshot[i] = 'y';
        EXPECT_FALSE(index.Describes(snapshot)) << i;
        snapshot[i] = 'x';
    }
    EXPECT_TRUE(index.Describes(snapshot));
}

TEST(AtcTextMarkers, AreFoundAnywhereInAnyCase) {
    EXPECT_TRUE(HasAtcTextMarker("LOADED adv EDDF"));
    EXPECT_TRUE(HasAtcTextMarker("xx you ARE NOT cleared"));
    EXPECT_TRUE(HasAtcTextMarker("123.45 comfreq"));
    EXPECT_FALSE(HasAtcTextMarker("Loaded F P"));
    EXPECT_FALSE(HasAtcTextMarker(""));
}

TEST(AtcTextWrap, BreaksAtTheFirstBlankFromTheFortyFirstThenFortieth) {
    // Blanks (counting from 1) at 10, 20, 30, 41, 50, 81, 100 and 121 of 128 characters.
    std::string text(128, 'a');
    for (int at : {10, 20, 30, 41, 50, 81, 100, 121}) text[at - 1] = ' ';
    AtcTextLines lines;
    WrapAtcText(text.data(), text.size(), &lines);
    ASSERT_EQ(lines.count, 4);
    EXPECT_EQ(std::string(lines.line[0].text), text.substr(0, 41));
    EXPECT_EQ(std::string(lines.line[1].text), text.substr(41, 40));  // 50 is only the 9th of its line
    EXPECT_EQ(std::string(lines.line[2].text), text.substr(81, 40));
    EXPECT_EQ(std::string(lines.line[3].text), text.substr(121));
    EXPECT_EQ(lines.line[0].dropBelowTitle, 20);
    EXPECT_EQ(lines.line[1].dropBelowTitle, 36);
    EXPECT_EQ(lines.line[2].dropBelowTitle, 52);
    EXPECT_EQ(lines.line[3].dropBelowTitle, 84);

    // A text ending in its breaking blank still ends with an (empty) rest one step lower.
    std::string exact = std::string(40, 'b') + " ";
    WrapAtcText(exact.data(), exact.size(), &lines);
    ASSERT_EQ(lines.count, 2);
    EXPECT_EQ(std::string(lines.line[1].text), "");
    EXPECT_EQ(lines.line[1].dropBelowTitle, 52);
}

// The interception measures every drawn string word by word: the same answer as strlen up to the
// limit, for every alignment and length, and never a read into the page after the text's end
// (a text that ends at the end of a page, before one that cannot be read, must not crash).
TEST(DrawnTextLength, CountsLikeStrlenAndStaysInsideTheTextsPages) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    memset(pages, 'x', page);
    const size_t limit = kAtcMessageMaxLength;
    for (size_t length = 0; length <= limit + 20; ++length) {
        for (size_t slack = 0; slack < 8; ++slack) {
            // The NUL lies slack bytes before the unreadable page.
            char* text = pages + page - 1 - slack - length;
            text[length] = '\0';
            const size_t counted = DrawnTextLength(text, limit);
            if (length <= limit) EXPECT_EQ(counted, length) << length << " " << slack;
            else EXPECT_GT(counted, limit) << length << " " << slack;
            text[length] = 'x';
        }
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
