// The monitor's tick as the timer pool runs it, against an ATC program form of our own, and the
// nearest airport's radio refresh against small files.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "XPLMDataAccess.h"
#include "airport/airport_data.h"
#include "airport/radio_refresh.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/monitor.h"
#include "bridge/option_list.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "config_test_support.h"
#include "import_patch.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"

namespace {

std::atomic<int> g_closes{0};
std::atomic<int> g_boxes{0};

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ++g_closes;
        return 0;  // stays, so later ticks still find it
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI CountBox(HWND, LPCSTR, LPCSTR, UINT) {
    ++g_boxes;
    return IDOK;
}

HWND Make(const char* cls, const char* caption, HWND parent, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, caption, parent ? WS_CHILD : 0, 0, 0, 10, 10, parent, nullptr, wc.hInstance,
                           nullptr);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

const char kAirports[] =
    "EDDF,large_airport,\"Frankfurt am Main\",50.0333,8.5706\n"
    "EDDS,large_airport,\"Stuttgart\",48.6899,9.2220\n"
    "EDDM,large_airport,\"Munich\",48.3538,11.7861\n";
const char kRadios[] =
    "\"EDDF\",1,118.025\n\"EDDF\",6,119.900\n\"EDDS\",6,118.800\n\"EDDM\",6,118.700\n";

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        PatchOwnImport("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&CountBox));
        SIM_Init(nullptr);
        RememberSimulatorThread();
        if (!PluginLocksAlive()) CreatePluginLocks();
        ResetOptions();
        PluginOptions.BoostQVEProcessPriority = 0;
        PluginOptions.EnableKeyboardHints = 1;
        SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, 0);
        SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, 0);
        SIM_SetDataref("sim/cockpit/radios/com1_freq_hz", xplmType_Int, 0);
        SIM_SetDataref("sim/flightmodel/failures/onground_any", xplmType_Int, 1);
        FindFlightLoopDatarefs();
        FindPositionDatarefs();
        WriteTextFile(AirportFilePath(), kAirports);
        WriteTextFile(RadioFilePath(), kRadios);
        form = Make("ThunderRT6FormDC", "    QV3 - Aeravox", nullptr, FormProc);
        button = Make("ThunderRT6CommandButton", "&Disconnect  from FS", form, DefWindowProcA);
        g_closes = 0;
        g_boxes = 0;
        ResetPluginState();
        ResetMonitorState();
        ResetRadioRefreshState();
        ResetFrequencyTable();
    }
    void TearDown() override {
        DestroyWindow(form);
        ResetPluginState();
    }

    // One entry of the radio refresh's table.
    static float RadioFrequency(int index) {
        FrequencyEntry table[kFrequencyTableSize];
        CopyFrequencyTable(table);
        return table[index].Frequency;
    }

    static std::string AirportIdent() {
        char ident[6];
        CopyLastAirportIdent(ident);
        return ident;
    }

    // As the timer pool runs it: on a thread of its own.
    static void Tick() { std::thread([] { MonitorTick(nullptr, TRUE); }).join(); }

    static void Aircraft(double lat, double lon) {
        SIM_SetDataref("sim/flightmodel/position/latitude", xplmType_Double, lat);
        SIM_SetDataref("sim/flightmodel/position/longitude", xplmType_Double, lon);
        SampleAircraftPosition();
    }

    HWND form = nullptr, button = nullptr;
};

TEST_F(Monitor, AProgramConnectedWhileTheLinkIsDownIsClosedAndTheSourceForgotten) {
    static const char text[128] = "Loaded FP EDDF-EDDM";
    // Not connected: the source outlives the disconnection, nothing is closed.
    EnableWindow(button, FALSE);
    UseAtcTextSource(text);
    Tick();
    Pump();
    EXPECT_EQ(g_closes, 0);
    EXPECT_EQ(AtcTextSourceNow(), text);
    EXPECT_FALSE(AtcAttachedNow());

    EnableWindow(button, TRUE);
    ForgeAtcTextScanRunning(true);  // forged: a scan still running
    Tick();
    Pump();
    EXPECT_EQ(g_closes, 1);
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
    EXPECT_FALSE(AtcAttachedNow());
    // The scan still running stays the one scan: it clears the flag itself as it ends (and
    // publishes nothing); cleared here, a second scan could start beside it.
    EXPECT_TRUE(AtcTextScanIsRunning());
    ForgeAtcTextScanRunning(false);
    EXPECT_EQ(g_boxes, 0);
}

TEST_F(Monitor, RadiosAreReloadedOnlyForAnotherAirportAndNotTwiceWithin240Seconds) {
    // The first call (COM1 still 0) identifies the airport at once.
    Aircraft(50.04, 8.57);
    SetLastCom1Frequency(0);
    RefreshAirportRadios(nullptr);
    EXPECT_EQ(AirportIdent(), "EDDF");
    EXPECT_FLOAT_EQ(RadioFrequency(0), 118.025f);
    EXPECT_FLOAT_EQ(RadioFrequency(1), 119.9f);

    // Same airport found again: the table is not read again (the mark stays).
    FrequencyEntry marked[kFrequencyTableSize];
    CopyFrequencyTable(marked);
    marked[0].Frequency = 999.0f;
    SetFrequencyTable(marked);
    RefreshAirportRadios(nullptr);
    EXPECT_EQ(AirportIdent(), "EDDF");
    EXPECT_FLOAT_EQ(RadioFrequency(0), 999.0f);

    // Another airport: reloaded.
    Aircraft(48.36, 11.78);
    RefreshAirportRadios(nullptr);
    EXPECT_EQ(AirportIdent(), "EDDM");
    EXPECT_FLOAT_EQ(RadioFrequency(0), 118.7f);
    EXPECT_FLOAT_EQ(RadioFrequency(1), 0.0f);

    // A settled COM1 within 240 s of that: no new identification, though the aircraft moved.
    Aircraft(48.69, 9.22);
    SetLastCom1Frequency(12180);
    RefreshAirportRadios(nullptr);
    EXPECT_EQ(AirportIdent(), "EDDM");
    EXPECT_EQ(g_boxes, 0);
}

TEST_F(Monitor, Com1IsTakenOnlyWhenItStaysTheSameForTwoSeconds) {
    Aircraft(50.04, 8.57);
    SetLastCom1Frequency(0);
    RefreshAirportRadios(nullptr);  // just identified: the 240 s start now
    ASSERT_EQ(AirportIdent(), "EDDF");
    Aircraft(48.69, 9.22);

    const auto watch = BeginLinkWatch();
    watch->attached = 1;  // attached already: the tick goes straight to the feed and COM1
    SetLastCom1Frequency(11800);
    SetSampledCom1(12180);
    // The pilot turns the knob on while the tick waits for COM1 to settle.
    std::thread knob([] {
        Sleep(500);
        SetSampledCom1(12190);
    });
    Tick();
    knob.join();
    EXPECT_EQ(LastCom1Frequency(), 11800);

    // Unchanged over the next tick's wait: taken, and the radio refresh within 240 s of the last
    // identification leaves the airport as it was.
    Tick();
    EXPECT_EQ(LastCom1Frequency(), 12190);
    EXPECT_EQ(AirportIdent(), "EDDF");
    EXPECT_EQ(g_closes, 0);
    EXPECT_EQ(g_boxes, 0);
}

TEST_F(Monitor, AChannelTurnedWhileTheTickBuildsTheListIsTakenByTheNextTick) {
    Aircraft(50.04, 8.57);
    SetLastCom1Frequency(0);
    RefreshAirportRadios(nullptr);  // EDDF's radios
    ASSERT_TRUE(FrequencyTableHasEntry());
    const auto watch = BeginLinkWatch();
    watch->attached = 1;
    SetLastCom1Frequency(11990);
    SetSampledCom1(11990);
    SetSampledCom1Khz(119900);  // EDDF's 119.900
    SetSampledOnGround(0);
    NoteGroundState(false);
    Tick();
    const std::string tunedToEddf = CurrentOptionList().text;
    // On the ground now: the list is built again, and right after, the pilot turns to 119.905,
    // in the same 10 kHz step.
    SetSampledOnGround(1);
    SetMonitorTickListBuilt([] { SetSampledCom1Khz(119905); });
    Tick();
    SetMonitorTickListBuilt(nullptr);
    const std::string builtBeforeTheTurn = CurrentOptionList().text;
    // The next tick sees the channel it did not build for.
    Tick();
    EXPECT_NE(CurrentOptionList().text, builtBeforeTheTurn);
    // And back on EDDF's channel: its list again.
    SetSampledCom1Khz(119900);
    SetSampledOnGround(0);
    Tick();
    EXPECT_EQ(CurrentOptionList().text, tunedToEddf);
}

// A tick works for the link it began with to its end: a stop and a restart while it is mid-way
// (here from the tick's own thread, right after it rebuilt the list) leave what it learns in the
// ended link's watch, and the new link's watch begins from nothing.
std::shared_ptr<LinkWatch> g_restarted;
TEST_F(Monitor, ATickMidWayThroughAStopAndARestartKeepsToTheLinkItBeganWith) {
    Aircraft(50.04, 8.57);
    SetLastCom1Frequency(0);
    RefreshAirportRadios(nullptr);
    ASSERT_TRUE(FrequencyTableHasEntry());
    const auto first = BeginLinkWatch();
    first->attached = 1;
    SetLastCom1Frequency(11990);
    SetSampledCom1(11990);
    SetSampledCom1Khz(119900);
    SetSampledOnGround(1);  // the ground state changed: the tick rebuilds the list
    NoteGroundState(false);
    SetMonitorTickListBuilt([] {
        EndLinkWatch(CurrentLinkWatch());
        g_restarted = BeginLinkWatch();
    });
    Tick();
    SetMonitorTickListBuilt(nullptr);
    ASSERT_NE(g_restarted, nullptr);
    EXPECT_EQ(CurrentLinkWatch(), g_restarted);
    EXPECT_TRUE(first->ended);
    EXPECT_EQ(first->onGround.load(), 1);
    EXPECT_EQ(first->lastTickCom1Khz, 119900);
    EXPECT_EQ(g_restarted->onGround.load(), 0);
    EXPECT_EQ(g_restarted->lastTickCom1Khz, 0);
    EXPECT_EQ(g_restarted->attached.load(), 0);
    EXPECT_FALSE(g_restarted->ended);
    // Many stops and starts in a row: each link's watch is its own, and only the last is current.
    std::vector<std::shared_ptr<LinkWatch>> links;
    for (int i = 0; i < 20; ++i) {
        EndLinkWatch(CurrentLinkWatch());
        links.push_back(BeginLinkWatch());
    }
    for (size_t i = 0; i + 1 < links.size(); ++i) EXPECT_TRUE(links[i]->ended);
    EXPECT_EQ(CurrentLinkWatch(), links.back());
    EndLinkWatch(links.back());
    EXPECT_EQ(CurrentLinkWatch(), nullptr);
    EXPECT_FALSE(LinkIsUp());
    g_restarted.reset();
}

// ---- the resets

void WaitForNoScan() {
    for (int i = 0; i < 500 && AtcTextScanIsRunning(); ++i) Sleep(10);
    ASSERT_FALSE(AtcTextScanIsRunning());
}

// The ATC program's ini is never there, whatever installation the registry names.
BOOL WINAPI NoFileExists(LPCSTR) { return FALSE; }

TEST_F(Monitor, ResetMonitorStateGivesTheImportNoticeAndTheTextSearchBack) {
    const std::string atc = SimulatorFolder() + "\\ATC\\ResetTest\\";
    WriteTextFile(atc + "QV3.exe", "");
    WriteTextFile(atc + "QV_Station.exe", "");
    WriteConfig("[OPTIONS]\nQVEpath=" + atc + "\n");
    void* realExists = reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("shlwapi.dll"), "PathFileExistsA"));
    ASSERT_NE(realExists, nullptr);
    PatchOwnImport("shlwapi.dll", "PathFileExistsA", reinterpret_cast<void*>(&NoFileExists));
    auto watch = BeginLinkWatch();  // nothing is attached while no link is up
    AttachToAtc();
    WaitForNoScan();
    EXPECT_TRUE(AtcAttachedNow());
    EXPECT_EQ(g_boxes, 1);
    watch->attached = 0;
    AttachToAtc();  // the notice was given while the program stayed
    WaitForNoScan();
    EXPECT_EQ(g_boxes, 1);
    ForgeAtcTextScanRunning(true);  // as a scan that never ended would leave it

    ResetMonitorState();
    EXPECT_FALSE(AtcAttachedNow());
    EXPECT_FALSE(AtcTextScanIsRunning());
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
    watch = BeginLinkWatch();
    AttachToAtc();
    WaitForNoScan();
    EXPECT_EQ(g_boxes, 2);
    // An attach handed off before a link's end and made after it imports nothing and leaves the
    // next link to import again; so does the end for an attach made before it.
    EndLinkWatch(watch);
    AttachToAtc();
    EXPECT_FALSE(AtcAttachedNow());
    EXPECT_EQ(g_boxes, 2);
    watch = BeginLinkWatch();
    AttachToAtc();
    WaitForNoScan();
    EXPECT_TRUE(AtcAttachedNow());
    EndLinkWatch(watch);
    EXPECT_FALSE(AtcAttachedNow());
    // The next link's watch begins from nothing: it imports again; the notice, given while the
    // program stayed, is not given again.
    watch = BeginLinkWatch();
    EXPECT_FALSE(AtcAttachedNow());
    AttachToAtc();
    WaitForNoScan();
    EXPECT_TRUE(AtcAttachedNow());
    EXPECT_EQ(g_boxes, 2);
    EndLinkWatch(watch);
    PatchOwnImport("shlwapi.dll", "PathFileExistsA", realExists);
    RemoveConfig();
    DeleteFileA((atc + "QV3.exe").c_str());
    DeleteFileA((atc + "QV_Station.exe").c_str());
    RemoveDirectoryA(atc.c_str());
}

TEST_F(Monitor, ResetRadioRefreshForgetsTheAirportSoItsRadiosAreLoadedAgain) {
    Aircraft(50.04, 8.57);
    RefreshAirportRadios(nullptr);
    ASSERT_EQ(AirportIdent(), "EDDF");
    ResetFrequencyTable();
    EXPECT_FALSE(FrequencyTableHasEntry());
    RefreshAirportRadios(nullptr);  // the same airport: its file is not read again
    EXPECT_FALSE(FrequencyTableHasEntry());

    SetLastCom1Frequency(12180);
    ResetRadioRefreshState();
    EXPECT_EQ(LastCom1Frequency(), 0);
    EXPECT_EQ(AirportIdent(), "");
    RefreshAirportRadios(nullptr);
    EXPECT_EQ(AirportIdent(), "EDDF");
    EXPECT_FLOAT_EQ(RadioFrequency(0), 118.025f);
}

// Whatever is thrown on the timer pool's thread or a radio refresh thread stays there: the
// thread returns normally, its lock is left, and the next run works.
HWND WINAPI ThrowingFindWindow(HWND, HWND, LPCSTR, LPCSTR) { throw std::runtime_error("no windows today"); }
DWORD WINAPI ThrowingClock() { throw std::bad_alloc(); }

TEST_F(Monitor, AnExceptionInATickOrARadioRefreshEndsOnlyThatRun) {
    void* realFind = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "FindWindowExA"));
    void* realClock = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("winmm.dll"), "timeGetTime"));
    ASSERT_NE(realFind, nullptr);
    ASSERT_NE(realClock, nullptr);

    const auto watch = BeginLinkWatch();
    watch->attached = 1;
    EnableWindow(button, FALSE);  // the program gone: a tick that ran would clear the attach
    PatchOwnImport("user32.dll", "FindWindowExA", reinterpret_cast<void*>(&ThrowingFindWindow));
    Tick();  // on a thread of its own, as the pool runs it: returns, the process goes on
    PatchOwnImport("user32.dll", "FindWindowExA", realFind);
    EXPECT_EQ(watch->attached.load(), 1);  // that tick ended where it threw
    EndLinkWatch(watch);
    EnableWindow(button, TRUE);
    // The next tick is not taken for one still running: the program connected while the link
    // is down is closed.
    Tick();
    Pump();
    EXPECT_EQ(g_closes, 1);

    Aircraft(50.04, 8.57);
    SetLastCom1Frequency(0);
    PatchOwnImport("winmm.dll", "timeGetTime", reinterpret_cast<void*>(&ThrowingClock));
    HANDLE thread = CreateThread(nullptr, 0, RefreshAirportRadios, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    PatchOwnImport("winmm.dll", "timeGetTime", realClock);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(AirportIdent(), "");
    RefreshAirportRadios(nullptr);  // the radio lock was left: this one runs
    EXPECT_EQ(AirportIdent(), "EDDF");
}

}  // namespace
