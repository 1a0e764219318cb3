// The simulator unloads the plug-in as soon as XPluginStop has returned. A text scan that counted
// itself out to the stop still ran our code on its way out and faulted in the unloaded library;
// the test holds the scan right there, so the window is wide open every time.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>

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

// A hook the plug-in could not take out (its disarm failed) still jumps into the plug-in's code:
// the library stays loaded, and the hooked function keeps working, after the simulator let go.
TEST_F(Unload, AHookThatStaysArmedKeepsTheLibraryLoaded) {
    // The target lives in a shared section: writable while the hook goes in, then mapped again
    // read-only at the same place, where no patch can be taken out.
    HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_EXECUTE_READWRITE, 0, 0x10000, nullptr);
    ASSERT_NE(section, nullptr);
    auto* view = static_cast<unsigned char*>(
        MapViewOfFile(section, FILE_MAP_ALL_ACCESS | FILE_MAP_EXECUTE, 0, 0, 0x10000));
    ASSERT_NE(view, nullptr);
    memset(view, 0xCC, 0x10000);
    const unsigned char code[] = {0x66, 0x90, 0x8D, 0x41, 0x07, 0xC3};  // nop; lea eax, [rcx+7]; ret
    unsigned char* target = view + 0x100;
    memcpy(target, code, sizeof code);
    FlushInstructionCache(GetCurrentProcess(), target, sizeof code);
    using TargetFn = int (*)(int);
    const auto call = reinterpret_cast<TargetFn>(target);
    ASSERT_EQ(call(35), 42);

    HMODULE module = LoadLibraryA("unload_probe.dll");
    ASSERT_NE(module, nullptr);
    auto arm = reinterpret_cast<int (*)(void*)>(GetProcAddress(module, "ProbeArmHook"));
    auto remove = reinterpret_cast<int (*)()>(GetProcAddress(module, "ProbeRemoveHooks"));
    ASSERT_TRUE(arm && remove);
    ASSERT_EQ(arm(target), 0);
    EXPECT_EQ(call(35), 142);  // through the probe's detour

    ASSERT_TRUE(UnmapViewOfFile(view));
    ASSERT_EQ(MapViewOfFileEx(section, FILE_MAP_READ | FILE_MAP_EXECUTE, 0, 0, 0x10000, view), view);
    EXPECT_NE(remove(), 0);  // the patch cannot come out
    FreeLibrary(module);
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(call(35), 142);  // would fault in an unloaded library

    // Writable again, the patch comes out at the next removal, which gives the hook's reference
    // back: once ours goes too, nothing of this test keeps the library loaded for the next one.
    // (Ours is taken first: the removal runs in the library and must return into it.)
    ASSERT_TRUE(UnmapViewOfFile(view));
    ASSERT_EQ(MapViewOfFileEx(section, FILE_MAP_ALL_ACCESS | FILE_MAP_EXECUTE, 0, 0, 0x10000, view), view);
    ASSERT_EQ(LoadLibraryA("unload_probe.dll"), module);
    EXPECT_EQ(remove(), 0);
    EXPECT_EQ(call(35), 42);
    FreeLibrary(module);
    EXPECT_FALSE(Loaded());
    UnmapViewOfFile(view);
    CloseHandle(section);
}

}  // namespace
