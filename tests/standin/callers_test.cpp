// The simulator's calling rules: which calls the stand-in counts, names or ends the run for, by
// the module that made them. The misbehaving test plug-in makes the faulty calls; this program is
// the simulator's host, whose own calls are never judged.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMProcessing.h"
#include "XPUIGraphics.h"
#include "common/sim_control.h"
#include "misbehave_plugin.h"

namespace {


std::string g_crash;
std::atomic<int> g_crashes{0};

// Where the simulator would end: the test keeps its process and ends only the calling thread.
void RecordCrash(const char* lines) {
    g_crash = lines ? lines : "";
    ++g_crashes;
    ExitThread(0);
}

std::string Describe(const char* what) {
    char text[8192] = "";
    SIM_Describe(what, text, sizeof text);
    return text;
}

std::string LogText() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.find_last_of('\\'));
    std::ifstream in(folder + "\\Log.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Callers : public ::testing::Test, protected MisbehavePlugin {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        SIM_SetCrashHook(RecordCrash);
        g_crash.clear();
        g_crashes = 0;
        StartMisbehave();
    }
    void TearDown() override {
        SIM_StopPlugin(id_);
        SIM_SetCrashHook(nullptr);
        FreeLibrary(module_);
    }
};

TEST_F(Callers, TheSimulatorsOwnCallsOutsideCallbacksAreNotBypassCalls) {
    XPLMGetElapsedTime();
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    SIM_RunFrames(2);
    EXPECT_EQ(SIM_BypassCalls(), 0);
    EXPECT_EQ(SIM_CallerNotRunningCalls(), 0);
    EXPECT_EQ(SIM_OffThreadCalls(), 0);
    EXPECT_EQ(Describe("callers"), "");
}

TEST_F(Callers, APluginsWindowProcedureRunByThePumpMakesBypassCallsNamedByItsModule) {
    EXPECT_EQ(Control("bypass"), "posted");
    EXPECT_EQ(SIM_BypassCalls(), 0);  // posted, not yet served
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_BypassCalls(), 1);
    EXPECT_STREQ(SIM_FirstBypassCall(), "XPLMGetElapsedTime by Misbehave");
    EXPECT_EQ(Describe("callers"), "bypass XPLMGetElapsedTime by Misbehave: 1\n");
    // The same call in the plug-in's own callback is no bypass.
    Control("drawn");
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_BypassCalls(), 1);
    // A new world starts from nothing.
    SIM_StopPlugin(id_);
    SIM_Init(nullptr);
    EXPECT_EQ(SIM_BypassCalls(), 0);
    EXPECT_EQ(Describe("callers"), "");
    id_ = SIM_StartPlugin(MISBEHAVE_PLUGIN, module_);
}

TEST_F(Callers, DrawingOutsideADrawCallbackIsAMisuseAndDrawsNothing) {
    EXPECT_EQ(Control("draw-outside"), "drew");
    EXPECT_EQ(SIM_Misuses(), 5);
    EXPECT_STREQ(SIM_FirstMisuse(),
                 "Misbehave called the SDK function XPLMSetGraphicsState from outside of a drawing callback. This is "
                 "illegal!");
    // Inside its window's draw callback the plug-in draws as it likes.
    SIM_RunFrames(1);
    EXPECT_EQ(SIM_Misuses(), 5);
    ASSERT_EQ(SIM_FrameItemCount(), 1);
    EXPECT_STREQ(SIM_FrameItem(0)->text, "inside");
    // The widget library's drawing functions are drawing too, whoever calls them.
    XPDrawWindow(0, 100, 100, 0, xpWindow_MainWindow);
    XPDrawElement(0, 20, 20, 0, xpElement_CheckBox, 0);
    XPDrawTrack(0, 20, 100, 0, 0, 10, 5, xpTrack_Slider, 0);
    EXPECT_EQ(SIM_Misuses(), 8);
}

TEST_F(Callers, OffThreadCallsAreCountedBefore124) {
    ASSERT_EQ(SIM_SetSimulatorVersion(12100, nullptr, 0), 1);
    EXPECT_EQ(Control("offthread"), "thread returned");
    EXPECT_EQ(SIM_OffThreadCalls(), 1);
    EXPECT_STREQ(SIM_FirstOffThreadCall(), "XPLMGetElapsedTime");
    EXPECT_EQ(g_crashes.load(), 0);
}

TEST_F(Callers, From124AnOffThreadCallEndsTheRunNamingThePluginByItsModule) {
    char error[300] = "";
    ASSERT_EQ(SIM_SetSimulatorVersion(12400, error, sizeof error), 1) << error;
    Control("offthread");
    ASSERT_EQ(g_crashes.load(), 1);
    EXPECT_EQ(g_crash,
              "Threading violation calling XPLMGetElapsedTime\nViolation by Misbehave (test.misbehave.Misbehave)\n");
    EXPECT_NE(LogText().find(g_crash), std::string::npos);
    EXPECT_EQ(SIM_OffThreadCalls(), 0);  // it ended the run instead
    // The main thread's calls go on as before.
    XPLMGetElapsedTime();
    EXPECT_EQ(g_crashes.load(), 1);
}

DWORD WINAPI CallFromThread(void* start) {
    WaitForSingleObject(static_cast<HANDLE>(start), INFINITE);
    XPLMGetElapsedTime();
    return 0;
}

TEST_F(Callers, From124ManyThreadsAtOnceEndTheRunOnce) {
    ASSERT_EQ(SIM_SetSimulatorVersion(12400, nullptr, 0), 1);
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[6];
    for (HANDLE& t : threads) t = CreateThread(nullptr, 0, CallFromThread, start, 0, nullptr);
    SetEvent(start);
    // The first violator reports and ends; every other one stops where it is, as the process
    // would be gone.
    DWORD first = WaitForMultipleObjects(6, threads, FALSE, 10000);
    ASSERT_LT(first, DWORD(WAIT_OBJECT_0 + 6));
    Sleep(200);
    EXPECT_EQ(g_crashes.load(), 1);
    int ended = 0;
    for (HANDLE t : threads) ended += WaitForSingleObject(t, 0) == WAIT_OBJECT_0;
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(g_crash,
              "Threading violation calling XPLMGetElapsedTime\nViolation by standin_tests.exe (not a plugin)\n");
    for (HANDLE t : threads) CloseHandle(t);
    CloseHandle(start);
}

TEST_F(Callers, CallsFromCodeInNoModuleAreNamedUnknownAndChecked) {
    // Generated code (as a hook's trampoline is) calling the API outside every callback:
    // sub rsp,40; mov rax,FN; call rax; add rsp,40; ret
    unsigned char code[] = {0x48, 0x83, 0xEC, 0x28, 0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0,
                            0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x28, 0xC3};
    void* fn = reinterpret_cast<void*>(&XPLMGetElapsedTime);
    memcpy(code + 6, &fn, sizeof fn);
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    ASSERT_NE(page, nullptr);
    memcpy(page, code, sizeof code);
    FlushInstructionCache(GetCurrentProcess(), page, sizeof code);
    reinterpret_cast<float (*)()>(page)();
    EXPECT_EQ(SIM_BypassCalls(), 1);
    EXPECT_STREQ(SIM_FirstBypassCall(), "XPLMGetElapsedTime by an unknown module");
    // Within a plug-in's callback it is not that plug-in's call.
    SIM_EnterPlugin(id_);
    reinterpret_cast<float (*)()>(page)();
    SIM_LeavePlugin();
    EXPECT_EQ(SIM_CallerNotRunningCalls(), 1);
    EXPECT_NE(Describe("callers").find("caller-not-running XPLMGetElapsedTime by an unknown module while Misbehave "
                                       "runs: 1"),
              std::string::npos)
        << Describe("callers");
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST_F(Callers, AStoppedPluginsModuleIsNoLongerNamedForIt) {
    SIM_StopPlugin(id_);
    // Its code called directly, outside every callback, once it is no plug-in any more.
    typedef int (*StartFn)(char*, char*, char*);
    typedef void (*StopFn)(void);
    auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(module_, "XPluginStart")));
    auto stop = reinterpret_cast<StopFn>(reinterpret_cast<void*>(GetProcAddress(module_, "XPluginStop")));
    char name[256], signature[256], description[256];
    start(name, signature, description);
    stop();
    EXPECT_EQ(SIM_BypassCalls(), 2);
    EXPECT_STREQ(SIM_FirstBypassCall(), "XPLMCreateWindow by win.xpl");
    id_ = -1;
}

}  // namespace
