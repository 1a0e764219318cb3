// Faults the server can be made to show, and the test-equipment command line itself.
#include <chrono>
#include <cstring>

#include "fixture.h"

namespace {

using Faults = ServerTest;

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(Faults, NoReplyMakesAWorkerThreadTimeOutAndServesNothing) {
    Control("fault no-reply 400");
    Client c;
    c.Write32(0x4000, 5);
    DWORD error = 0;
    double ms = 0;
    EXPECT_FALSE(c.SendFromWorker(150, nullptr, &error, &ms));
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 5000);  // bounded: the procedure holds the reply 400 ms, then gives up too

    // From the simulator's own thread the procedure is called directly: no time-out, no service.
    c.Write32(0x4000, 6);
    LRESULT result = 1;
    EXPECT_TRUE(c.Send(150, &result));
    EXPECT_EQ(result, 0);
    EXPECT_NE(Control("status").find("unanswered 2"), std::string::npos) << Control("status");

    Control("fault none");
    EXPECT_EQ(Table32(0x4000), 0u);
}

TEST_F(Faults, SlowReplyDelaysEveryBatchButServesIt) {
    Control("fault slow-reply 300");
    Client c;
    c.Write32(0x4000, 9);
    auto start = std::chrono::steady_clock::now();
    LRESULT result = 0;
    EXPECT_TRUE(c.Send(2000, &result));
    EXPECT_GE(MsSince(start), 290);
    EXPECT_EQ(result, 1);

    c.Write32(0x4000, 10);
    EXPECT_FALSE(c.SendFromWorker(100));  // gives up before the answer
    c.Write32(0x4000, 11);
    EXPECT_TRUE(c.SendFromWorker(2000, &result));
    EXPECT_EQ(result, 1);
    Control("fault none");
    EXPECT_EQ(Table32(0x4000), 11u);
}

TEST_F(Faults, WindowGoneFailsAtOnceUntilTheFaultIsCleared) {
    HWND old = ServerWindow();
    Control("fault window-gone");
    EXPECT_EQ(ServerWindow(), nullptr);
    Control("fault window-gone", false);
    DWORD_PTR answer;
    SetLastError(0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendMessageTimeoutA(old, RegisterWindowMessageA("FsasmLib:IPC"), 0xC000, 0, SMTO_BLOCK, 2000,
                                     &answer));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_LT(MsSince(start), 500);
    EXPECT_NE(Control("status").find("server window gone"), std::string::npos);

    Control("fault none");
    ASSERT_NE(ServerWindow(), nullptr);
    EXPECT_EQ(Table32(0x3304), 0x40010000u);
}

TEST_F(Faults, GarbageIdCorruptsTheChosenRecordAfterServing) {
    Control("fault garbage-id");
    Client c;
    c.Write32(0x4000, 0x55);
    size_t read = c.Read(0x4000, 4);
    ASSERT_TRUE(c.Send());
    EXPECT_EQ(c.Area()[16], 0x7F);             // the second record's id byte
    EXPECT_EQ(c.Data32(read), 0x55u);          // served all the same
    EXPECT_EQ(c.Data32(0), 2u);                // the first record is untouched

    c.Read(0x4000, 4);
    ASSERT_TRUE(c.Send());
    EXPECT_EQ(c.Area()[20], 0x7F);  // a single record: its terminator

    Control("fault garbage-id 0 0xAB");
    c.Read(0x4000, 4);
    ASSERT_TRUE(c.Send());
    EXPECT_EQ(c.Area()[0], 0xAB);

    Control("fault garbage-id 5");  // no such record: nothing changes
    c.Read(0x4000, 4);
    ASSERT_TRUE(c.Send());
    EXPECT_EQ(c.Data32(0), 1u);
    EXPECT_EQ(c.Data32(20), 0u);
}

TEST_F(Faults, TakeNextMappingMakesTheClientsNameExistAlready) {
    Control("fault take-next-mapping 0x7A");
    Client taken(0x8000, 0x7A);
    EXPECT_FALSE(taken.Ready());
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%X:7A", unsigned(GetCurrentProcessId() + 1));
    Control("fault take-next-mapping 0x7A " + std::to_string(GetCurrentProcessId() + 1));
    HANDLE other = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x8000, name);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(other);
    EXPECT_NE(Control("status").find("taken counter 0x7A"), std::string::npos) << Control("status");

    Control("fault none");
    Client free(0x8000, 0x7A);
    EXPECT_TRUE(free.Ready());
}

TEST_F(Faults, BadCommandsAreRefusedWithAReason) {
    for (const char* bad : {"", "frobnicate", "fault", "fault bogus", "fault slow-reply", "fault slow-reply 70000",
                            "fault no-reply x", "fault garbage-id 1 256", "fault take-next-mapping",
                            "fault take-next-mapping -1", "read", "read 0x10000", "read 0 0", "write 0x10 text",
                            "presses now", "text-buffer nowhere"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(Control(bad, false), "");
    }
    EXPECT_NE(Control("status").find("fault none\n"), std::string::npos) << "bad commands change nothing";
}

TEST_F(Faults, TheReplyIsCutToTheCallersBuffer) {
    typedef int (*ControlFn)(const char*, char*, int);
    auto control = reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(module, "StandInControl")));
    char out[8];
    memset(out, '#', sizeof out);
    EXPECT_EQ(control("read 0x3304 4", out, 5), 1);
    EXPECT_STREQ(out, "3304");
    EXPECT_EQ(out[5], '#');
    EXPECT_EQ(control("status", out, 0), 0);
    EXPECT_EQ(control(nullptr, out, sizeof out), 0);
    EXPECT_EQ(out[0], 0);
}

}  // namespace
