// The simulator unloads the plug-in as soon as XPluginStop has returned. A text scan that counted
// itself out to the stop still ran our code on its way out and faulted in the unloaded library;
// the test holds the scan right there, so the window is wide open every time.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

HANDLE g_inEndPath = nullptr;
DWORD g_holdMs = 0;

// Runs on the scan thread, in this program (which stays loaded), after the scan counted out.
void HoldInEndPath() {
    SetEvent(g_inEndPath);
    Sleep(g_holdMs);
}

LONG WINAPI ReportFault(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "fault 0x%08lx at %p: code ran in the unloaded library\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct Probe {
    HMODULE module = LoadLibraryA("unload_probe.dll");
    void (*startTextScan)() = nullptr;
    int (*deleteLocks)(unsigned) = nullptr;
    void (*holdWorkEnd)(void (*)()) = nullptr;
    void (*stop)() = nullptr;
    Probe() {
        if (!module) return;
        startTextScan = reinterpret_cast<void (*)()>(GetProcAddress(module, "ProbeStartTextScan"));
        deleteLocks = reinterpret_cast<int (*)(unsigned)>(GetProcAddress(module, "ProbeDeleteLocks"));
        holdWorkEnd = reinterpret_cast<void (*)(void (*)())>(GetProcAddress(module, "ProbeHoldWorkEnd"));
        stop = reinterpret_cast<void (*)()>(GetProcAddress(module, "XPluginStop"));
    }
    bool Ready() const { return module && startTextScan && deleteLocks && holdWorkEnd && stop; }
};

bool Loaded() { return GetModuleHandleA("unload_probe.dll") != nullptr; }

class Unload : public ::testing::Test {
protected:
    void SetUp() override {
        SetUnhandledExceptionFilter(ReportFault);
        g_inEndPath = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override { CloseHandle(g_inEndPath); }
    // A text scan started as the monitor starts it, held holdMs on its way out once counted out.
    static void StartScanHeldAtItsEnd(const Probe& probe, DWORD holdMs) {
        ASSERT_TRUE(probe.Ready());
        g_holdMs = holdMs;
        probe.holdWorkEnd(HoldInEndPath);
        probe.startTextScan();
        ASSERT_EQ(WaitForSingleObject(g_inEndPath, 10000), WAIT_OBJECT_0);
    }
};

TEST_F(Unload, NothingOfTheTextScanRunsOnceTheStopHasReturned) {
    Probe probe;
    ASSERT_NO_FATAL_FAILURE(StartScanHeldAtItsEnd(probe, 300));
    probe.stop();
    FreeLibrary(probe.module);
    // Whatever of the scan still ran in the library would fault now.
    Sleep(g_holdMs + 700);
    EXPECT_FALSE(Loaded());
}

// A scan that outlasts the stop's wait keeps the library loaded until it has ended, and then lets
// it go without running in it.
TEST_F(Unload, AScanOutlastingTheWaitHoldsTheLibraryUntilItEnds) {
    Probe probe;
    ASSERT_NO_FATAL_FAILURE(StartScanHeldAtItsEnd(probe, 1500));
    EXPECT_EQ(probe.deleteLocks(100), 0);
    FreeLibrary(probe.module);
    EXPECT_TRUE(Loaded());
    Sleep(g_holdMs + 700);
    EXPECT_FALSE(Loaded());
}

}  // namespace
