// Batches of reads and writes on the offset table, and request areas that must be refused whole.
#include <cstring>

#include "fixture.h"

namespace {

using Batch = ServerTest;

TEST_F(Batch, TheServerWindowIsATopLevelWindowOfTheSimulatorsThread) {
    HWND window = ServerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
}

TEST_F(Batch, WritesAndReadsOfOneBatchAreServedInOrder) {
    Client c;
    ASSERT_TRUE(c.Ready());
    size_t version = c.Read(0x3304, 4);
    c.Write32(0x4000, 0xA1B2C3D4);
    size_t back = c.Read(0x4000, 4);
    c.Write32(0x4000, 0x01020304);  // after the read: the read saw the first value
    size_t code = c.Read(0x3308, 2);
    size_t empty = c.Read(0x5000, 0);
    LRESULT result = 0;
    ASSERT_TRUE(c.Send(2000, &result));
    EXPECT_NE(result, 0);
    EXPECT_EQ(c.Data32(version), 0x40010000u);
    EXPECT_EQ(c.Data32(back), 0xA1B2C3D4u);
    EXPECT_EQ(c.Data32(code) & 0xFFFF, 12u);
    // A read of size 0 is a header only: the next record's bytes are untouched.
    EXPECT_EQ(c.Area()[empty], 0u);
    EXPECT_EQ(Table32(0x4000), 0x01020304u);
    EXPECT_EQ(Control("read 0x4000 4"), "4000: 04 03 02 01\n");
}

TEST_F(Batch, TheTableEndsAt64KiB) {
    Client c;
    uint32_t value = 0xCAFEF00D;
    c.Write(0xFFFC, &value, 4);
    size_t at = c.Read(0xFFFC, 4);
    LRESULT result = 0;
    ASSERT_TRUE(c.Send(2000, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(c.Data32(at), 0xCAFEF00Du);
}

TEST_F(Batch, ALargeBatchUpToTheAreaLimitIsServed) {
    Client c;
    std::vector<uint8_t> block(0x7F00 - 12 - 4);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 7);
    c.Write(0x100, block.data(), uint32_t(block.size()));
    LRESULT result = 0;
    ASSERT_TRUE(c.Send(2000, &result));
    EXPECT_EQ(result, 1);
    Client r;
    size_t at = r.Read(0x100, uint32_t(block.size()));
    ASSERT_TRUE(r.Send());
    EXPECT_EQ(memcmp(r.Area() + at, block.data(), block.size()), 0);
}

// Each of these areas is unsound somewhere after a sound write: nothing may be stored, the
// server answers 0 and says why.
struct BadArea {
    const char* name;
    void (*build)(Client&);
    const char* reason;
};

const BadArea kBadAreas[] = {
    {"unknown id", [](Client& c) { uint32_t r[3] = {3, 0x100, 0}; c.Raw(r, sizeof r); }, "unknown id 0x3"},
    {"id with high bits", [](Client& c) { uint32_t r[3] = {0x101, 0x100, 0}; c.Raw(r, sizeof r); }, "unknown id"},
    {"read past the table", [](Client& c) { c.Read(0xFFFE, 4); }, "runs past the offset table"},
    {"write past the table", [](Client& c) { c.Write(0xFFFF, "ab", 2); }, "runs past the offset table"},
    {"offset far out", [](Client& c) { c.Read(0xFFFFFFF0, 0x20); }, "runs past the offset table"},
    {"size past the area", [](Client& c) { uint32_t r[3] = {2, 0x100, 0x8000}; c.Raw(r, sizeof r); },
     "runs past the area"},
    {"size wrapping 32 bits", [](Client& c) { uint32_t r[4] = {1, 0x100, 0xFFFFFFF8, 0}; c.Raw(r, sizeof r); },
     "runs past the area"},
};

TEST_F(Batch, UnsoundAreasAreRefusedWholeAndSafely) {
    for (const BadArea& bad : kBadAreas) {
        SCOPED_TRACE(bad.name);
        Client c;
        c.Write32(0x6000, 0x11111111);
        bad.build(c);
        LRESULT result = 1;
        ASSERT_TRUE(c.Send(2000, &result));
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Table32(0x6000), 0u);
        EXPECT_NE(Control("status").find(bad.reason), std::string::npos) << Control("status");
    }
    EXPECT_NE(Control("status").find("refused 7"), std::string::npos);
}

TEST_F(Batch, AnAreaWithoutTerminatorIsNotReadPastItsEnd) {
    // Writes up to the last byte of a mapping smaller than the protocol's area: the walk must stop
    // at the end of what is mapped.
    Client small(4096);
    std::vector<uint8_t> fill(4096 - 12);
    small.Write(0x100, fill.data(), uint32_t(fill.size()));
    LRESULT result = 1;
    ASSERT_TRUE(small.Send(2000, &result));
    EXPECT_EQ(result, 0);
    EXPECT_NE(Control("status").find("no terminator inside the 4096-byte area"), std::string::npos);

    Client full;
    std::vector<uint8_t> big(0x8000 - 12);
    full.Write(0x100, big.data(), uint32_t(big.size()));
    ASSERT_TRUE(full.Send(2000, &result));
    EXPECT_EQ(result, 0);
    EXPECT_NE(Control("status").find("no terminator inside the 32768-byte area"), std::string::npos);
}

TEST_F(Batch, AMappingLargerThanTheAreaIsWalkedOnlyToTheAreaLimit) {
    Client large(0x10000);
    std::vector<uint8_t> block(0x8000 - 12);
    large.Write(0x100, block.data(), uint32_t(block.size()));  // terminator at 0x8000, beyond the limit
    LRESULT result = 1;
    ASSERT_TRUE(large.Send(2000, &result));
    EXPECT_EQ(result, 0);
    EXPECT_NE(Control("status").find("no terminator inside the 32768-byte area"), std::string::npos);
}

TEST_F(Batch, WParamsThatNameNoMappingAreRefused) {
    UINT message = RegisterWindowMessageA("FsasmLib:IPC");
    ATOM orphan = GlobalAddAtomA("FsasmLib:IPC:0:0");  // no such mapping
    ATOM deleted = GlobalAddAtomA("xpuipc test: deleted atom");
    GlobalDeleteAtom(deleted);
    struct {
        WPARAM wParam;
        const char* reason;
    } cases[] = {{0, "is not an atom"}, {0x12345, "is not an atom"}, {orphan, "no mapping named"},
                 {deleted, "names nothing"}};
    for (auto& k : cases) {
        DWORD_PTR result = 1;
        ASSERT_TRUE(SendMessageTimeoutA(ServerWindow(), message, k.wParam, 0, SMTO_BLOCK, 2000, &result));
        EXPECT_EQ(result, 0u);
        EXPECT_NE(Control("status").find(k.reason), std::string::npos) << Control("status");
    }
    GlobalDeleteAtom(orphan);
}

TEST_F(Batch, AWorkerThreadIsAnsweredAtTheNextFrame) {
    Client c;
    c.Write32(0x4100, 77);
    size_t at = c.Read(0x4100, 4);
    LRESULT result = 0;
    ASSERT_TRUE(c.SendFromWorker(2000, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(c.Data32(at), 77u);
}

TEST_F(Batch, ControlReadsAndWritesTheSameTable) {
    Control("write 0x04D6 u16 0xFADE");
    Control("write 0x4200 u32 -2");
    Control("write 0x4300 bytes 01 0x02 ff");
    EXPECT_EQ(Table32(0x04D6) & 0xFFFF, 0xFADEu);
    EXPECT_EQ(Table32(0x4200), 0xFFFFFFFEu);
    EXPECT_EQ(Table32(0x4300), 0x00FF0201u);
    EXPECT_EQ(Control("read 0x4300 20"),
              "4300: 01 02 FF 00 00 00 00 00 00 00 00 00 00 00 00 00\n4310: 00 00 00 00\n");
    Control("read 0xFFF0 17", false);
    Control("write 0xFFFF u16 1", false);
    Control("write 0x100 u8 256", false);
    Control("write 0x100 bytes 1G", false);
    Control("reset");
    EXPECT_EQ(Table32(0x4200), 0u);
    EXPECT_EQ(Table32(0x3304), 0x40010000u);
}

TEST_F(Batch, CountersTellWeatherBatchesAndRequestsThroughClosedLinks) {
    Client c;
    c.Write32(0xCC08, 0x424F4C47);
    c.Write32(0xCF80, 7);
    c.Write32(0x4000, 1);  // outside the weather area
    ASSERT_TRUE(c.Send());
    c.Clear();
    c.Write32(0x3210, 0);
    ASSERT_TRUE(c.Send());
    ATOM stale;
    {
        Client closed;
        closed.Write32(0xCC08, 0);
        stale = closed.Atom();
    }  // its atom and mapping are gone
    UINT message = RegisterWindowMessageA("FsasmLib:IPC");
    DWORD_PTR result = 1;
    ASSERT_TRUE(SendMessageTimeoutA(ServerWindow(), message, stale, 0, SMTO_BLOCK, 2000, &result));
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(Control("counters"),
              "batches served 2\nrecords served 4\nweather batches 1\nweather writes 2\n"
              "requests from closed links 1\n");
    EXPECT_EQ(Control("counters closed"), "requests from closed links 1\n");
}

}  // namespace
