// The walk over the server's reply: what reaches the caller, and where a reply the server got
// wrong ends it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "simlink/ipc_reply.h"

namespace {

// The walk for a batch of one read.
int WalkOne(uint8_t* area, size_t size, void* destination, uint32_t destinationSize) {
    const IpcReadTarget target{destination, destinationSize};
    return WalkIpcReply(area, size, &target, 1);
}

struct Area {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(256, 0);
    size_t at = 0;
    void Word(uint32_t value) {
        memcpy(&bytes[at], &value, 4);
        at += 4;
    }
    void Data(const char* text, size_t n) {
        memcpy(&bytes[at], text, n);
        at += n;
    }
};

TEST(IpcReplyWalk, ReadsReachTheCallerWithinItsBufferWritesAreSteppedOver) {
    Area area;
    area.Word(2), area.Word(0x330A), area.Word(2), area.Data("\xDE\xFA", 2);  // a write
    area.Word(1), area.Word(0x3380), area.Word(6), area.Word(0x1234), area.Data("ABCDEF", 6);
    char destination[5] = "....";
    EXPECT_EQ(WalkOne(area.bytes.data(), area.bytes.size(), destination, 4), 1);
    EXPECT_STREQ(destination, "ABCD");  // never more than the caller's buffer holds

    // A zero tag or size hands nothing over.
    Area untagged;
    untagged.Word(1), untagged.Word(0x3380), untagged.Word(4), untagged.Word(0), untagged.Data("WXYZ", 4);
    char kept[5] = "....";
    EXPECT_EQ(WalkOne(untagged.bytes.data(), untagged.bytes.size(), kept, 4), 0);
    EXPECT_STREQ(kept, "....");
}

TEST(IpcReplyWalk, EachReadOfABatchFillsItsOwnBuffer) {
    Area area;
    area.Word(1), area.Word(0x3304), area.Word(4), area.Word(0x10), area.Data("ABCD", 4);
    area.Word(2), area.Word(0x4000), area.Word(1), area.Data("w", 1);
    area.Word(1), area.Word(0x3308), area.Word(0), area.Word(0x20);  // a header only: fills nothing
    area.Word(1), area.Word(0x3380), area.Word(3), area.Word(0x30), area.Data("xyz", 3);
    area.Word(1), area.Word(0x3390), area.Word(2), area.Word(0x40), area.Data("!!", 2);  // one read more than queued
    char first[5] = "....", empty[3] = "..", third[3] = "..";
    const IpcReadTarget targets[] = {{first, 4}, {empty, 2}, {third, 2}};
    EXPECT_EQ(WalkIpcReply(area.bytes.data(), area.bytes.size(), targets, 3), 2);
    EXPECT_STREQ(first, "ABCD");
    EXPECT_STREQ(empty, "..");
    EXPECT_STREQ(third, "xy");  // its own buffer's size, not the first one's
}

TEST(IpcReplyWalk, AnUnknownIdIsClearedAndEndsTheWalk) {
    Area area;
    area.Word(7), area.Word(0), area.Word(0);
    area.Word(1), area.Word(0x3380), area.Word(4), area.Word(1), area.Data("LATE", 4);
    char destination[5] = "....";
    EXPECT_EQ(WalkOne(area.bytes.data(), area.bytes.size(), destination, 4), 0);
    EXPECT_EQ(area.bytes[0], 0);
    EXPECT_STREQ(destination, "....");
}

TEST(IpcReplyWalk, SizesRunningPastTheAreaEndTheWalkThere) {
    // Data that would end one byte past the area, a size near 4 GiB, and a header cut by the
    // area's end: nothing is read from beyond it (the vectors are exact, sanitizers see it).
    for (uint32_t size : {241u, 0xFFFFFFF0u}) {
        Area area;
        area.Word(1), area.Word(0x3380), area.Word(size), area.Word(1);
        std::vector<char> destination(300, '.');
        EXPECT_EQ(WalkOne(area.bytes.data(), area.bytes.size(), destination.data(), 300), 0) << size;
        EXPECT_EQ(destination[0], '.');
    }
    Area exact;
    exact.Word(1), exact.Word(0x3380), exact.Word(240), exact.Word(1);
    exact.bytes[16] = 'Z';
    char first = '.';
    EXPECT_EQ(WalkOne(exact.bytes.data(), exact.bytes.size(), &first, 1), 1);  // ends exactly at the end
    EXPECT_EQ(first, 'Z');
    std::vector<uint8_t> cut = {1, 0, 0, 0, 0x80, 0x33, 0, 0, 4, 0, 0, 0};  // 12 of a 16-byte header
    EXPECT_EQ(WalkOne(cut.data(), cut.size(), &first, 1), 0);
}

}  // namespace
