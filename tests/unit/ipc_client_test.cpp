// The IPC client against a small protocol server written here, independent of the stand-in's.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <thread>

#include "base/log.h"
#include "failed_checks.h"
#include "simlink/fs98_window.h"
#include "simlink/ipc_client.h"

namespace {

struct FakeServer {
    std::array<uint8_t, 0x10000> table{};
    int messages = 0;
    DWORD stallMs = 0;  // answer this late: a sender on another thread times out
    bool garbageSecondRecord = false;
    uint32_t lieAboutReadSize = 0;  // when set, reads answer with this size
    HWND window = nullptr;
};
FakeServer* g_server = nullptr;

IpcStatus OpenUnderSession() {
    IpcSession session;
    return IpcOpen();
}

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

LRESULT CALLBACK ServerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static UINT ipcMessage = RegisterWindowMessageA("FsasmLib:IPC");
    if (msg != ipcMessage || !g_server) return DefWindowProcA(hwnd, msg, wParam, lParam);
    g_server->messages++;
    if (g_server->stallMs) {
        Sleep(g_server->stallMs);
        return 0;
    }
    char name[128] = "";
    GlobalGetAtomNameA((ATOM)wParam, name, sizeof name);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return 0;
    auto* area = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    uint8_t* record = area;
    for (int n = 0; Get32(record) != 0; ++n) {
        uint32_t id = Get32(record), offset = Get32(record + 4), size = Get32(record + 8);
        if (n == 1 && g_server->garbageSecondRecord) {
            record[0] = 0x7F;
            break;
        }
        if (id == 1) {
            memcpy(record + 16, &g_server->table[offset], size);
            if (g_server->lieAboutReadSize) memcpy(record + 8, &g_server->lieAboutReadSize, 4);
            record += 16 + size;
        } else {
            memcpy(&g_server->table[offset], record + 12, size);
            record += 12 + size;
        }
    }
    UnmapViewOfFile(area);
    CloseHandle(mapping);
    return 1;
}

HWND MakeWindow(const char* cls) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ServerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, "", 0, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

class IpcClient : public ::testing::Test {
protected:
    void SetUp() override {
        RememberSimulatorThread();
        g_server = &server;
        server.table[0x3304] = 0x11;  // server version
        server.table[0x3308] = 8;     // simulator code
        server.window = MakeWindow("UIPCMAIN");
    }
    void TearDown() override {
        IpcClose();
        if (server.window) DestroyWindow(server.window);
        g_server = nullptr;
    }
    void Open() {
        IpcSession session;
        ASSERT_EQ(IpcOpen().code, IpcOk);
    }
    FakeServer server;
};

TEST_F(IpcClient, OpenHandshakesAndRefusesASecondOpen) {
    Open();
    EXPECT_EQ(IpcLinkNow().serverVersion, 0x11u);
    EXPECT_EQ(IpcLinkNow().simulatorCode, 8u);
    EXPECT_EQ(server.table[0x330A] | server.table[0x330B] << 8, 2002);
    EXPECT_EQ(server.messages, 3);  // the values were there on the first pass
    {
        IpcSession session;
        EXPECT_EQ(IpcOpen().code, IpcAlreadyOpen);
    }
    uint16_t value = 0;
    EXPECT_EQ(IpcRead(0x3308, 2, &value).code, IpcOk);
    EXPECT_EQ(value, 8);
}

TEST_F(IpcClient, AServerAnsweringZerosStillOpensAfterFivePasses) {
    server.table[0x3304] = 0;
    Open();
    EXPECT_EQ(server.messages, 5 * 2 + 1);
}

TEST_F(IpcClient, NoServerWindowFailsWithCodeTwo) {
    DestroyWindow(server.window);
    server.window = nullptr;
    EXPECT_EQ(OpenUnderSession().code, IpcNoServerWindow);
    EXPECT_EQ(IpcLinkNow().view, nullptr);
}

TEST_F(IpcClient, OurOwnFs98mainWindowIsNoServer) {
    // Without the server, only the plug-in's own stand-in main window is left: no link to it.
    DestroyWindow(server.window);
    server.window = nullptr;
    CreateFs98MainWindow();
    ASSERT_NE(OwnFs98MainWindow(), nullptr);
    EXPECT_EQ(OpenUnderSession().code, IpcNoServerWindow);
    EXPECT_EQ(IpcLinkNow().view, nullptr);
    DestroyFs98MainWindow();
}

TEST_F(IpcClient, AServerInThisProcessServingAsFs98mainIsTaken) {
    // The server is a plug-in of the simulator's process; its "FS98MAIN" window is the
    // client's second choice, found even beside our own window of that class.
    DestroyWindow(server.window);
    server.window = MakeWindow("FS98MAIN");
    CreateFs98MainWindow();
    ASSERT_NE(OwnFs98MainWindow(), nullptr);
    Open();
    EXPECT_EQ(IpcLinkNow().serverWindow, server.window);
    uint16_t value = 0;
    EXPECT_EQ(IpcRead(0x3308, 2, &value).code, IpcOk);
    EXPECT_EQ(value, 8);
    DestroyFs98MainWindow();
}

TEST_F(IpcClient, ReadsAndWritesReachTheTable) {
    Open();
    const uint32_t slot = 0x0102AA41;
    EXPECT_EQ(IpcWrite(HotkeySlotOffset(55), 4, &slot).code, IpcOk);
    HotkeySlot back{};
    EXPECT_EQ(IpcRead(HotkeySlotOffset(55), 4, &back).code, IpcOk);
    EXPECT_EQ(back.keyCode, 0x41);
    EXPECT_EQ(back.modifiers, 0xAA);
    EXPECT_EQ(back.pressed, 1);
    // A read of size 0 is a header only and copies nothing.
    uint32_t untouched = 0xDEADBEEF;
    IpcSession session;
    ASSERT_EQ(IpcQueueRead(0x3304, 0, &untouched).code, IpcOk);
    ASSERT_EQ(IpcProcess().code, IpcOk);
    EXPECT_EQ(untouched, 0xDEADBEEFu);
}

TEST_F(IpcClient, TheRequestAreaLimitIsExact) {
    Open();
    IpcSession session;
    static uint8_t big[0x8000];
    EXPECT_EQ(IpcQueueRead(0, 0x7F00 - 20 + 1, big).code, IpcDoesNotFit);
    EXPECT_EQ(IpcQueueRead(0, 0x7F00 - 20, big).code, IpcOk);
    EXPECT_EQ(IpcQueueWrite(0, 1, big).code, IpcDoesNotFit);  // the queued batch stays intact
    EXPECT_EQ(IpcProcess().code, IpcOk);
    EXPECT_EQ(IpcProcess().code, IpcNothingQueued);
    EXPECT_EQ(IpcQueueWrite(0, 0x7F00 - 16, big).code, IpcOk);
    EXPECT_EQ(IpcQueueWrite(0, 0, big).code, IpcDoesNotFit);
}

TEST_F(IpcClient, ABatchCarriesSeveralReadsEachIntoItsOwnBuffer) {
    Open();
    server.table[0x5000] = 0x5A;
    uint32_t version = 0;
    uint16_t simulator = 0;
    uint8_t tail[3] = {0xEE, 0xEE, 0xEE};
    const uint8_t written = 0x77;
    {
        IpcSession session;
        ASSERT_EQ(IpcQueueRead(0x3304, 4, &version).code, IpcOk);
        ASSERT_EQ(IpcQueueWrite(0x5001, 1, &written).code, IpcOk);
        ASSERT_EQ(IpcQueueRead(0x3308, 2, &simulator).code, IpcOk);
        ASSERT_EQ(IpcQueueRead(0x5000, 2, tail).code, IpcOk);
        ASSERT_EQ(IpcProcess().code, IpcOk);
    }
    EXPECT_EQ(version, 0x11u);
    EXPECT_EQ(simulator, 8);
    EXPECT_EQ(tail[0], 0x5A);
    EXPECT_EQ(tail[1], 0x77);  // the write before it in the batch was served first
    EXPECT_EQ(tail[2], 0xEE);  // its own size, not another read's

    // One read more than a batch carries is refused and leaves the batch as it was.
    uint32_t values[kIpcMaxReads + 1] = {};
    {
        ExpectedChecks expected("ipc_client.cpp");
        IpcSession session;
        for (uint32_t n = 0; n < kIpcMaxReads; ++n) ASSERT_EQ(IpcQueueRead(0x3304, 4, &values[n]).code, IpcOk);
        EXPECT_EQ(IpcQueueRead(0x3304, 4, &values[kIpcMaxReads]).code, IpcDoesNotFit);
        ASSERT_EQ(IpcProcess().code, IpcOk);
    }
    for (uint32_t n = 0; n < kIpcMaxReads; ++n) EXPECT_EQ(values[n], 0x11u) << n;
    EXPECT_EQ(values[kIpcMaxReads], 0u);
}

TEST_F(IpcClient, CallsWithoutTheSessionAreRefusedAndNothingIsSent) {
    Open();
    ExpectedChecks expected("ipc_client.cpp");
    const int messages = server.messages;
    uint32_t value = 0;
    EXPECT_EQ(IpcQueueRead(0x3304, 4, &value).code, IpcNotHeld);
    EXPECT_EQ(IpcProcess().code, IpcNotHeld);
    {
        IpcSession session;
        ASSERT_EQ(IpcQueueRead(0x3304, 4, &value).code, IpcOk);
        // Another thread meanwhile: its queue call would land in this thread's batch.
        std::thread other([&] {
            const uint32_t one = 1;
            EXPECT_EQ(IpcQueueWrite(0x5000, 4, &one).code, IpcNotHeld);
        });
        other.join();
        // A one-request call under a session already held would wait for itself.
        EXPECT_EQ(IpcRead(0x3308, 2, &value).code, IpcNotHeld);
        EXPECT_EQ(IpcWrite(0x5000, 4, &value).code, IpcNotHeld);
        EXPECT_EQ(server.messages, messages);
        ASSERT_EQ(IpcProcess().code, IpcOk);
    }
    EXPECT_EQ(value, 0x11u);
    EXPECT_EQ(server.table[0x5000], 0);
    EXPECT_EQ(server.messages, messages + 1);
    EXPECT_EQ(IpcRead(0x3308, 2, &value).code, IpcOk);  // free again
}

TEST_F(IpcClient, NothingQueuedSendsNothing) {
    Open();
    int before = server.messages;
    IpcSession session;
    EXPECT_EQ(IpcProcess().code, IpcNothingQueued);
    EXPECT_EQ(server.messages, before);
}

TEST_F(IpcClient, AReplyNeverWritesPastTheCallersBuffer) {
    Open();
    server.lieAboutReadSize = 0x100;
    struct {
        uint16_t value;
        uint8_t after[14];
    } target;
    memset(&target, 0xCC, sizeof target);
    EXPECT_EQ(IpcRead(0x3308, 2, &target.value).code, IpcOk);
    EXPECT_EQ(target.value, 8);
    for (uint8_t b : target.after) EXPECT_EQ(b, 0xCC);
}

TEST_F(IpcClient, AGarbageIdStopsTheWalkAfterEarlierReads) {
    Open();
    server.garbageSecondRecord = true;
    uint32_t version = 0;
    const uint16_t value = 7;
    IpcSession session;
    ASSERT_EQ(IpcQueueRead(0x3304, 4, &version).code, IpcOk);
    ASSERT_EQ(IpcQueueWrite(0x4000, 2, &value).code, IpcOk);
    EXPECT_EQ(IpcProcess().code, IpcOk);
    EXPECT_EQ(version, 0x11u);
    EXPECT_EQ(server.table[0x4000], 0);  // the garbled write was not served
}

TEST_F(IpcClient, AVanishedServerFailsEachRequestAtOnceUntilItsNewWindowIsTaken) {
    Open();
    DestroyWindow(server.window);
    server.window = nullptr;
    uint32_t value = 0;
    {
        IpcSession session;
        EXPECT_TRUE(IpcServerGone());
        ASSERT_EQ(IpcQueueRead(0x3304, 4, &value).code, IpcOk);
        DWORD start = GetTickCount();
        EXPECT_EQ(IpcProcess().code, IpcSendFailed);
        EXPECT_LT(GetTickCount() - start, 100u);  // no pauses for a window that cannot come back
        EXPECT_NE(IpcLinkNow().view, nullptr);         // still open until closed
        // Nothing to take yet: the link stays as it is.
        EXPECT_EQ(IpcReattach().code, IpcNoServerWindow);
        EXPECT_TRUE(IpcServerGone());
    }

    // The server comes back with a new window and another identity.
    server.table[0x3304] = 0x22;
    server.table[0x3308] = 12;
    server.window = MakeWindow("UIPCMAIN");
    const int counter = IpcLinkNow().openCounter;
    {
        IpcSession session;
        ASSERT_EQ(IpcReattach().code, IpcOk);
        EXPECT_FALSE(IpcServerGone());
    }
    EXPECT_EQ(IpcLinkNow().serverWindow, server.window);
    EXPECT_EQ(IpcLinkNow().serverVersion, 0x22u);
    EXPECT_EQ(IpcLinkNow().simulatorCode & 0xFFFF, 12u);
    EXPECT_EQ(IpcLinkNow().openCounter, counter);  // the same area goes on
    EXPECT_EQ(IpcRead(0x3304, 4, &value).code, IpcOk);
    EXPECT_EQ(value, 0x22u);
    // A live window is kept as it is.
    const int messages = server.messages;
    {
        IpcSession session;
        EXPECT_EQ(IpcReattach().code, IpcOk);
    }
    EXPECT_EQ(server.messages, messages);
}

TEST_F(IpcClient, ReattachNeedsAnOpenLink) {
    IpcSession session;
    EXPECT_FALSE(IpcServerGone());
    EXPECT_EQ(IpcReattach().code, IpcNotOpen);
}

TEST_F(IpcClient, TheIdentityMarkerRidesInTheBatchBeingBuilt) {
    Open();
    server.table[0x330A] = 0xD2;  // a client's library version, 2002
    server.table[0x330B] = 0x07;
    const int messages = server.messages;
    uint32_t value = 0x01020304;
    {
        IpcSession session;
        ASSERT_EQ(IpcQueueWrite(0x4000, 4, &value).code, IpcOk);
        ASSERT_EQ(IpcQueueIdentityMarker().code, IpcOk);
        ASSERT_EQ(IpcProcess().code, IpcOk);
    }
    EXPECT_EQ(server.messages, messages + 1);
    EXPECT_EQ(server.table[0x330A], 0xDE);
    EXPECT_EQ(server.table[0x330B], 0xFA);
    EXPECT_EQ(server.table[0x4000], 0x04);
}

TEST_F(IpcClient, ATakenAreaNameFailsAndLeavesNothingBehind) {
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", GetCurrentProcessId(), (unsigned)IpcLinkNow().openCounter + 1);
    HANDLE squatter = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x8000, name);
    EXPECT_EQ(OpenUnderSession().code, IpcNoMapping);
    EXPECT_EQ(GlobalFindAtomA(name), 0);
    EXPECT_EQ(IpcLinkNow().mapping, nullptr);
    CloseHandle(squatter);
    Open();  // the next counter value names a fresh area
}

TEST_F(IpcClient, UipcmainIsPreferredAndCloseIsRepeatable) {
    HWND other = MakeWindow("FS98MAIN");
    Open();
    EXPECT_EQ(IpcLinkNow().serverWindow, server.window);
    IpcClose();
    IpcClose();
    EXPECT_EQ(IpcLinkNow().view, nullptr);
    DestroyWindow(other);
}

TEST_F(IpcClient, AWorkerAndTheSimulatorThreadShareTheLinkWithoutDeadlock) {
    Open();
    std::atomic<int> done{0};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            uint32_t v = 0;
            // Served only when the simulator's thread pumps, as in the simulator.
            EXPECT_EQ(IpcRead(0x3304, 4, &v).code, IpcOk);
            EXPECT_EQ(v, 0x11u);
        }
        done = 1;
    });
    for (int i = 0; i < 20; ++i) {
        uint32_t v = 0;
        EXPECT_EQ(IpcRead(0x3308, 2, &v).code, IpcOk);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(1);
    }
    worker.join();
    EXPECT_EQ(done, 1);
}

void PumpUntil(const std::atomic<int>& done, int target, DWORD limitMs) {
    DWORD start = GetTickCount();
    while (done.load() < target && GetTickCount() - start < limitMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(0);
    }
}

TEST_F(IpcClient, TwoThreadsGetBackExactlyTheirOwnValues) {
    Open();
    std::atomic<int> done{0};
    std::atomic<int> wrong{0};
    auto worker = [&](uint32_t offset, uint32_t seed) {
        for (uint32_t i = 0; i < 2000; ++i) {
            uint32_t value = seed + i, back = 0;
            if (!IpcWrite(offset, 4, &value).ok() || !IpcRead(offset, 4, &back).ok() || back != value) wrong++;
        }
        done++;
    };
    std::thread a(worker, 0x5000, 0x10000000), b(worker, 0x6000, 0x20000000);
    PumpUntil(done, 2, 120000);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(done.load(), 2);
}

TEST_F(IpcClient, ASilentServerCostsNineTimedOutTries) {
    Open();
    server.stallMs = 2100;
    std::atomic<int> done{0};
    uint32_t code = 0;
    DWORD elapsed = 0;
    std::thread sender([&] {
        DWORD start = GetTickCount();
        uint32_t value = 0;
        IpcSession session;
        IpcStatus status = IpcQueueRead(0x3304, 4, &value);
        if (status.ok()) status = IpcProcess();
        code = status.code;
        elapsed = GetTickCount() - start;
        done = 1;
    });
    PumpUntil(done, 1, 60000);
    sender.join();
    // Wine leaves ERROR_TIMEOUT behind, so the code is the system-error one there.
    EXPECT_TRUE(code == IpcTimedOut || code == IpcSendFailed) << code;
    EXPECT_GE(elapsed, 9u * 2000u);
    EXPECT_EQ(server.messages, 3 + 9);
}

}  // namespace
