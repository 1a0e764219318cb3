// The search for the ATC text in the IPC server's module, against a library of our own standing
// for that module: the scan's thread, its rest, its publish against forgets and stops, the
// schedule of searches while the text is not found, and the module's last reference.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/locks.h"
#include "base/log.h"
#include "base/module_release.h"
#include "base/plugin_state.h"
#include "bridge/monitor.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "import_patch.h"
#include "simlink/ipc_server.h"

namespace {

const char kProbe[] = "Z:" SERVER_PROBE;

bool ProbeLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kProbe, &module) != 0;
}

// Waits until no scan runs (a scan of the small library takes milliseconds).
void WaitForNoScan() {
    for (int i = 0; i < 1000 && AtcTextScanIsRunning(); ++i) Sleep(10);
    ASSERT_EQ(AtcTextScanIsRunning(), false);
}

// The scan thread, held between its search and its publish.
std::atomic<int> g_finishing{0};
std::atomic<int> g_priority{THREAD_PRIORITY_ERROR_RETURN};
HANDLE g_atFinish = nullptr;
HANDLE g_goOn = nullptr;

void HoldAtFinish() {
    g_priority = GetThreadPriority(GetCurrentThread());
    ++g_finishing;
    SetEvent(g_atFinish);
    WaitForSingleObject(g_goOn, 20000);
}

// Until the stop has begun, then on to the publish.
void WaitForTheStop() {
    SetEvent(g_atFinish);
    for (int i = 0; i < 10000 && PluginLocksAlive(); ++i) Sleep(1);
}

int WINAPI NoBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }
// The pilot cancels the search for the ATC program's folder (the attach asks when it knows none).
BOOL WINAPI Cancelled(void*) { return FALSE; }

LRESULT CALLBACK IgnoreClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND Make(const char* cls, const char* caption, HWND parent) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = IgnoreClose;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, caption, parent ? WS_CHILD : 0, 0, 0, 10, 10, parent, nullptr, wc.hInstance,
                           nullptr);
}

class TextSource : public ::testing::Test {
protected:
    void SetUp() override {
        PatchOwnImport("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&NoBox));
        PatchOwnImport("comdlg32.dll", "GetOpenFileNameA", reinterpret_cast<void*>(&Cancelled));
        SIM_Init(nullptr);
        RememberSimulatorThread();
        if (!PluginLocksAlive()) CreatePluginLocks();
        ResetOptions();
        PluginOptions.EnableKeyboardHints = 0;
        PluginOptions.BoostQVEProcessPriority = 0;
        ResetPluginState();
        ResetMonitorState();
        probe = LoadLibraryA(kProbe);
        ASSERT_NE(probe, nullptr) << kProbe;
        setText = reinterpret_cast<void (*)(const char*)>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeSetText")));
        ASSERT_NE(setText, nullptr);
        setText(nullptr);
        RememberIpcServerPath(kProbe);
        g_finishing = 0;
        g_priority = THREAD_PRIORITY_ERROR_RETURN;
        g_atFinish = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        g_goOn = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        SetEvent(g_goOn);
        WaitForNoScan();
        SetAtcTextScanFinishing(nullptr);
        SetAtcTextScanRest(2000);
        if (!PluginLocksAlive()) CreatePluginLocks();
        ResetMonitorState();
        RememberIpcServerPath("");
        ReleaseHeldModules();
        if (probe && ProbeLoaded()) FreeLibrary(probe);
        CloseHandle(g_atFinish);
        CloseHandle(g_goOn);
        if (form) DestroyWindow(form);
        // The monitor's own tests register these classes with procedures of theirs.
        UnregisterClassA("ThunderRT6FormDC", GetModuleHandleA(nullptr));
        UnregisterClassA("ThunderRT6CommandButton", GetModuleHandleA(nullptr));
        ResetPluginState();
    }

    // As the tick or the deferred work starts it: off the simulator's thread.
    static void LookFromAWorker() { std::thread([] { LookForAtcTextSource(); }).join(); }
    // As the timer pool runs it, while this thread serves its windows (the attach asks the form).
    static void Tick() {
        HANDLE thread = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD {
                MonitorTick(nullptr, TRUE);
                return 0;
            },
            nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        CloseHandle(thread);
    }

    // The ATC program connected, the link up and attached: every tick looks for the text.
    void Connected() {
        form = Make("ThunderRT6FormDC", "    QV3 - Aeravox", nullptr);
        Make("ThunderRT6CommandButton", "&Disconnect  from FS", form);
        watch = BeginLinkWatch();
    }

    const char* ProbeTextAddress() const {
        return reinterpret_cast<const char*>(GetProcAddress(probe, "ProbeText"));
    }

    HMODULE probe = nullptr;
    void (*setText)(const char*) = nullptr;
    HWND form = nullptr;
    std::shared_ptr<LinkWatch> watch;
};

TEST_F(TextSource, AScanRunsBelowTheSimulatorsThreadsAndFindsTheTextInTheImage) {
    SetAtcTextScanRest(0);
    SetAtcTextScanFinishing(HoldAtFinish);
    setText("Loaded FP EDDF-EDDM");
    LookFromAWorker();
    ASSERT_EQ(WaitForSingleObject(g_atFinish, 10000), WAIT_OBJECT_0);
    EXPECT_LE(g_priority.load(), THREAD_PRIORITY_BELOW_NORMAL);
    SetEvent(g_goOn);
    WaitForNoScan();
    EXPECT_EQ(AtcTextSourceNow(), ProbeTextAddress());
}

TEST_F(TextSource, AForgetDuringAScanStartsNoSecondScanAndDropsTheFind) {
    SetAtcTextScanRest(0);
    SetAtcTextScanFinishing(HoldAtFinish);
    setText("Loaded FP EDDF-EDDM");
    LookFromAWorker();
    ASSERT_EQ(WaitForSingleObject(g_atFinish, 10000), WAIT_OBJECT_0);
    // The program goes away while the scan has its find in hand, and comes back at once.
    ForgetAtcTextSource();
    EXPECT_EQ(AtcTextScanIsRunning(), true);
    LookFromAWorker();
    // A second scan would take milliseconds to come here.
    EXPECT_EQ(WaitForSingleObject(g_atFinish, 1000), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(g_finishing.load(), 1);
    SetEvent(g_goOn);
    WaitForNoScan();
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
    // The next search, asked for after the forget, publishes.
    LookFromAWorker();
    WaitForNoScan();
    EXPECT_EQ(AtcTextSourceNow(), ProbeTextAddress());
}

TEST_F(TextSource, TheStopEndsTheScansRestAndNothingIsPublished) {
    SetAtcTextScanRest(30000);
    setText("Loaded FP EDDF-EDDM");
    LookFromAWorker();
    ASSERT_EQ(AtcTextScanIsRunning(), true);
    // Counted in, then well into its rest (a stop before the rest begins ends it anyway).
    for (int i = 0; i < 1000 && BackgroundWorkRunning() == 0; ++i) Sleep(5);
    ASSERT_EQ(BackgroundWorkRunning(), 1);
    Sleep(300);
    // Ended by the stop at once, well within the wait (a rest left to run would outlast it).
    EXPECT_TRUE(DeletePluginLocks(20000));
    EXPECT_EQ(AtcTextScanIsRunning(), false);
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
}

TEST_F(TextSource, AStopWhileTheScanHasItsFindInHandLeavesItUnpublished) {
    SetAtcTextScanRest(0);
    SetAtcTextScanFinishing(WaitForTheStop);
    setText("Loaded FP EDDF-EDDM");
    LookFromAWorker();
    ASSERT_EQ(WaitForSingleObject(g_atFinish, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(DeletePluginLocks(20000));
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
}

TEST_F(TextSource, TheLastReferenceToTheServersModuleGoesOnTheSimulatorsThread) {
    SetAtcTextScanRest(30000);
    LookFromAWorker();
    ASSERT_EQ(AtcTextScanIsRunning(), true);
    // The simulator lets the server go while the scan holds it; then the scan ends.
    FreeLibrary(probe);
    ASSERT_TRUE(DeletePluginLocks(20000));
    // Not on the scan's thread, where a draw could be reading the module meanwhile.
    EXPECT_TRUE(ProbeLoaded());
    EXPECT_GE(HeldModuleReferences(), 1);
    ReleaseHeldModules();
    EXPECT_FALSE(ProbeLoaded());
    EXPECT_EQ(HeldModuleReferences(), 0);
    probe = nullptr;
}

TEST_F(TextSource, ATextNeverFoundIsSearchedForSeldomAndStillFoundWhenItAppears) {
    SetAtcTextScanRest(0);
    Connected();
    // Ten minutes of ticks with the text outside the server's image.
    const long before = AtcTextScansMade();
    for (int tick = 0; tick < 150; ++tick) {
        Tick();
        WaitForNoScan();
    }
    const long scans = AtcTextScansMade() - before;
    EXPECT_GE(scans, 5);
    EXPECT_LE(scans, 8);
    EXPECT_EQ(AtcTextSourceNow(), nullptr);

    // The server draws a new message: the next tick searches at once.
    NoteUnsourcedAtcText("Loaded FP EDDF-EDDM (held elsewhere)");
    const long atNew = AtcTextScansMade();
    Tick();
    WaitForNoScan();
    EXPECT_EQ(AtcTextScansMade(), atNew + 1);

    // The server moves its text into its image, drawing nothing new: found within the longest gap.
    setText("Loaded FP EDDF-EDDM");
    for (int tick = 0; tick < 70 && !AtcTextSourceNow(); ++tick) {
        Tick();
        WaitForNoScan();
    }
    EXPECT_EQ(AtcTextSourceNow(), ProbeTextAddress());
}

TEST_F(TextSource, AReconnectSearchesAtOnce) {
    SetAtcTextScanRest(0);
    Connected();
    for (int tick = 0; tick < 40; ++tick) {
        Tick();
        WaitForNoScan();
    }
    setText("You are not cleared");
    // The program disconnects and connects again: its attach searches.
    DestroyWindow(form);
    form = nullptr;
    Tick();
    Connected();
    Tick();
    WaitForNoScan();
    EXPECT_EQ(AtcTextSourceNow(), ProbeTextAddress());
}

}  // namespace
