// What the server shares with real ones: its window lives while it is enabled (or, as an option,
// from start to stop), it may rewrite its own identity every frame, and it serves the read
// records of 64-bit clients.
#include <cstring>

#include "fixture.h"

namespace {

using Lifetime = ServerTest;

TEST_F(Lifetime, TheWindowLivesWhileEnabledAndANewOneServesAfterEnablingAgain) {
    EXPECT_NE(Control("window-lifetime").find("enable-disable"), std::string::npos);
    HWND first = ServerWindow();
    ASSERT_NE(first, nullptr);
    Control("write 0x4000 u32 0x5EEDF00D");

    SIM_DisablePlugin(id);
    EXPECT_EQ(ServerWindow(), nullptr);
    EXPECT_FALSE(IsWindow(first));
    // A client still holding the old handle fails at once with a system error.
    Client c;
    c.Read(0x4000, 4);
    DWORD_PTR answer = 0;
    SetLastError(0);
    EXPECT_FALSE(SendMessageTimeoutA(first, RegisterWindowMessageA("FsasmLib:IPC"), c.Atom(), 0, SMTO_BLOCK, 2000,
                                     &answer));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_NE(Control("status").find("server window gone"), std::string::npos);

    ASSERT_EQ(SIM_EnablePlugin(id), 1);
    ASSERT_NE(ServerWindow(), nullptr);
    EXPECT_EQ(Table32(0x4000), 0x5EEDF00Du);  // the table outlives the window
}

TEST_F(Lifetime, TheStartToStopLifetimeServesWhileDisabledAndCanBeSwitchedBack) {
    Control("window-lifetime start-stop");
    HWND window = ServerWindow();
    SIM_DisablePlugin(id);
    EXPECT_EQ(ServerWindow(), window);
    EXPECT_EQ(Table32(0x3304), 0x40010000u);
    // Back to the real lifetime while disabled: the window goes at once.
    Control("window-lifetime enable-disable");
    EXPECT_EQ(ServerWindow(), nullptr);
    Control("window-lifetime sometimes", false);
    // Clearing faults brings no window back while the lifetime says none.
    Control("fault none");
    EXPECT_EQ(ServerWindow(), nullptr);
    ASSERT_EQ(SIM_EnablePlugin(id), 1);
    EXPECT_NE(ServerWindow(), nullptr);
}

TEST_F(Lifetime, AGoneWindowComesBackOnlyWhenTheFaultIsClearedWhileEnabled) {
    Control("fault window-gone");
    SIM_DisablePlugin(id);
    ASSERT_EQ(SIM_EnablePlugin(id), 1);
    EXPECT_EQ(ServerWindow(), nullptr);  // the fault holds across the enable
    Control("fault none");
    EXPECT_NE(ServerWindow(), nullptr);
}

TEST_F(Lifetime, TheRefreshedIdentityOverwritesClientWritesEveryFrameWhileEnabled) {
    Client c;
    uint8_t identity[8] = {0x00, 0x00, 0x29, 0x49, 0x08, 0x00, 0xD2, 0x07};
    c.Write(0x3304, identity, sizeof identity);
    ASSERT_TRUE(c.Send());
    SIM_RunFrames(2);
    EXPECT_EQ(Control("read 0x3304 8"), "3304: 00 00 29 49 08 00 D2 07\n");  // off: stored as written

    Control("identity-refresh on");
    SIM_RunFrames(1);
    EXPECT_EQ(Control("read 0x3304 8"), "3304: 00 00 01 40 0C 00 DE FA\n");
    c.Write(0x3304, identity, sizeof identity);
    ASSERT_TRUE(c.Send());
    EXPECT_EQ(Table32(0x3304), 0x49290000u);  // until the next frame
    SIM_RunFrames(1);
    EXPECT_EQ(Table32(0x3308), 0xFADE000Cu);

    // A disabled server refreshes nothing.
    Control("window-lifetime start-stop");
    SIM_DisablePlugin(id);
    c.Write(0x3304, identity, sizeof identity);
    ASSERT_TRUE(c.Send());
    SIM_RunFrames(2);
    EXPECT_EQ(Table32(0x3304), 0x49290000u);
    Control("identity-refresh maybe", false);
}

TEST_F(Lifetime, SixtyFourBitReadRecordsAreServedBesideTheOthers) {
    Control("write 0x4000 u32 0xA1B2C3D4");
    Client c;
    size_t first = c.Read64(0x3304, 4);
    c.Write32(0x4004, 0x01020304);
    size_t plain = c.Read(0x4000, 8);
    size_t second = c.Read64(0x4000, 8, 0);
    LRESULT result = 0;
    ASSERT_TRUE(c.Send(2000, &result));
    ASSERT_EQ(result, 1) << Control("status");
    EXPECT_EQ(c.Data32(first), 0x40010000u);
    EXPECT_EQ(c.Data32(plain), 0xA1B2C3D4u);
    EXPECT_EQ(c.Data32(plain + 4), 0x01020304u);
    EXPECT_EQ(c.Data32(second), 0xA1B2C3D4u);
    EXPECT_EQ(c.Data32(second + 4), 0x01020304u);
    // The 8-byte tag is the client's own: left as it was.
    uint64_t tag = 0;
    memcpy(&tag, c.Area() + first - 8, 8);
    EXPECT_EQ(tag, 0x1122334455667788ull);

    // Its data running past the area is refused whole, as for the other records.
    Client small(0x1000);
    const uint32_t header[5] = {4, 0x3304, 0x1000, 0, 0};
    small.Raw(header, sizeof header);
    EXPECT_TRUE(small.Send(2000, &result));
    EXPECT_EQ(result, 0);
    EXPECT_NE(Control("status").find("read of 0x1000 bytes at area offset 0x0 runs past the area"), std::string::npos)
        << Control("status");
}

}  // namespace
