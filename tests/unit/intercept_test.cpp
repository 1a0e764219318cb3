// The interceptions in the stand-in simulator library loaded into this process: the server's strip
// is caught and moved, the ATC message redrawn as a block, everything else passed through.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "base/plugin_state.h"
#include "bridge/atc_text.h"
#include "bridge/atc_text_layout.h"
#include "bridge/intercept.h"
#include "bridge/monitor.h"
#include "common/sim_control.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "hook/engine_state.h"
#include "hook/hook_entry.h"
#include "log_capture.h"

namespace {

struct Drawn {
    int x, y;
    float rgb[3];
    std::string text;
};

// What a window of another plug-in draws this frame.
std::vector<std::string> g_toDraw;

void DrawTexts(XPLMWindowID, void*) {
    float white[3] = {1, 1, 1};
    for (std::string& text : g_toDraw) XPLMDrawString(white, 100, 500, &text[0], nullptr, xplmFont_Basic);
}

class Intercepts : public ::testing::Test {
protected:
    void SetUp() override {
        SIM_Init(nullptr);
        SIM_SetScreenSize(1920, 1080);
        ResetOptions();
        ResetAtcTextState();
        ResetAtcTextSource();
        AtcKeys keys;
        strcpy(keys.route, "EDDF to EDDM");
        PublishAtcKeys(keys);
        memset(source, 0, sizeof source);
        ASSERT_TRUE(InstallHooks());
        SetLinkUp(true);
        g_toDraw.clear();
        drawer = XPLMCreateWindow(50, 600, 400, 400, 1, DrawTexts, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        ResetPluginState();
        ResetAtcTextSource();
        EXPECT_TRUE(RemoveHooks());
        EXPECT_FALSE(HooksInstalled());
        ResetAtcTextState();
        ResetAtcKeys();
    }

    void SetMessage(const char* text) {
        memset(source, 0, sizeof source);
        memcpy(source, text, strnlen(text, sizeof source));
        UseAtcTextSource(source);
    }

    std::vector<Drawn> DrawFrame(std::vector<std::string> texts) {
        g_toDraw = std::move(texts);
        SIM_RunFrames(1);
        std::vector<Drawn> out;
        for (int i = 0; i < SIM_FrameItemCount(); ++i) {
            const SimDrawItem* item = SIM_FrameItem(i);
            if (item->kind != SimDraw_String) continue;
            out.push_back({item->left, item->bottom, {item->rgb[0], item->rgb[1], item->rgb[2]}, item->text});
        }
        return out;
    }

    static void ExpectGeometry(XPLMWindowID window, int l, int t, int r, int b) {
        int left, top, right, bottom;
        XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
        EXPECT_EQ(left, l);
        EXPECT_EQ(top, t);
        EXPECT_EQ(right, r);
        EXPECT_EQ(bottom, b);
    }

    char source[160];
    XPLMWindowID drawer = nullptr;
};

// Each freeze suspends every other thread of the simulator: the five hooks are armed under one.
TEST_F(Intercepts, AllHooksArmUnderOneFreeze) {
    ASSERT_TRUE(RemoveHooks());
    ASSERT_FALSE(HooksInstalled());
    ASSERT_TRUE(InstallHooks());
    const EngineFacts facts = ReadEngineFacts();
    EXPECT_EQ(facts.freezes, 1u);  // the engine starts afresh at each install
    EXPECT_EQ(facts.count, 5u);
    EXPECT_EQ(facts.armed, 5u);
}

TEST_F(Intercepts, TheServersStripIsCaughtByItsGeometryAndMovedToTheCorner) {
    PluginOptions.WindowPosition = 3;
    // Another plug-in's window at left 0 in the same strip is not the server's.
    XPLMWindowID other = XPLMCreateWindow(0, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindowFound(), 0);
    EXPECT_EQ(AtcTextWindow(), nullptr);
    ExpectGeometry(other, 0, 1060, 1920, 1040);

    XPLMWindowID strip = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindowFound(), 1);
    EXPECT_EQ(AtcTextWindow(), strip);
    ExpectGeometry(strip, 1630, 160, 1920, 0);
    EXPECT_EQ(AtcTextRect().left, 1630);
    EXPECT_EQ(AtcTextRect().bottom, 0);

    // Later windows are taken only when they pass the same test.
    XPLMWindowID later = XPLMCreateWindow(10, 500, 300, 400, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindow(), strip);
    ExpectGeometry(later, 10, 500, 300, 400);

    // Destroyed: forgotten, while the recognition stays.
    XPLMDestroyWindow(strip);
    EXPECT_EQ(AtcTextWindow(), nullptr);
    EXPECT_EQ(AtcTextWindowFound(), 1);

    PluginOptions.WindowPosition = 0;  // any other value is the top left corner
    XPLMWindowID again = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindow(), again);
    ExpectGeometry(again, 0, 1080, 290, 920);
    XPLMDestroyWindow(again);
    XPLMDestroyWindow(later);
    XPLMDestroyWindow(other);
}

TEST_F(Intercepts, OurOwnWindowsAreNeverTakenForTheStrip) {
    XPLMWindowID ours = XPLMCreateWindow(1, 1060, 1920, 1040, 1, DrawTexts, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindowFound(), 0);
    EXPECT_EQ(AtcTextWindow(), nullptr);
    ExpectGeometry(ours, 1, 1060, 1920, 1040);
    XPLMDestroyWindow(ours);
}

TEST_F(Intercepts, WhileHiddenANewStripIsMovedAndMadeInvisible) {
    SetHideAtcText(true);
    PluginOptions.WindowPosition = 2;
    XPLMWindowID strip = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    ExpectGeometry(strip, 1630, 1080, 1920, 920);
    EXPECT_EQ(XPLMGetWindowIsVisible(strip), 0);
    // Any later creation hides it again.
    XPLMSetWindowIsVisible(strip, 1);
    XPLMWindowID other = XPLMCreateWindow(10, 500, 300, 400, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(XPLMGetWindowIsVisible(strip), 0);
    EXPECT_EQ(XPLMGetWindowIsVisible(other), 1);
    XPLMDestroyWindow(other);
    XPLMDestroyWindow(strip);
}

TEST_F(Intercepts, ResetTextStateForgetsTheStripAndShowsTheNextOne) {
    SetHideAtcText(true);
    PluginOptions.WindowPosition = 3;
    XPLMWindowID strip = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(AtcTextWindow(), strip);
    ASSERT_EQ(XPLMGetWindowIsVisible(strip), 0);
    ResetAtcTextState();
    EXPECT_EQ(AtcTextWindow(), nullptr);
    EXPECT_EQ(AtcTextWindowFound(), 0);
    // The server's own place on the screen the simulator starts with, until the strip is caught.
    EXPECT_EQ((std::vector<int>{AtcTextRect().left, AtcTextRect().top, AtcTextRect().right, AtcTextRect().bottom}),
              (std::vector<int>{1, 748, 1024, 728}));
    // Not hidden any more: a window made now leaves the next strip visible.
    XPLMWindowID next = XPLMCreateWindow(1, 1060, 1920, 1040, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(AtcTextWindow(), next);
    EXPECT_EQ(XPLMGetWindowIsVisible(next), 1);
    XPLMDestroyWindow(next);
    XPLMDestroyWindow(strip);
}

TEST_F(Intercepts, BeforeTheSourceIsKnownMarkedTextsShowPleaseWait) {
    auto drawn = DrawFrame({"loaded fp EDDF", "Frame rate 30", "Your COMFREQ is"});
    ASSERT_EQ(drawn.size(), 5u);
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");
    EXPECT_EQ(drawn[0].y, 500);
    EXPECT_FLOAT_EQ(drawn[0].rgb[0], PluginOptions.TitleColour[0]);
    EXPECT_EQ(drawn[1].text, "Please wait...");
    EXPECT_EQ(drawn[1].y, 460);
    EXPECT_FLOAT_EQ(drawn[1].rgb[0], PluginOptions.OptionsColour[0]);
    EXPECT_EQ(drawn[2].text, "Frame rate 30");
    EXPECT_EQ(drawn[3].text, "Qvestation ATC");
    EXPECT_EQ(drawn[4].text, "Please wait...");
}

TEST_F(Intercepts, TheMessageIsRedrawnWrappedBelowTheTitleAndRoute) {
    // 60 characters, the only blank at or after the 41st at the 45th.
    const std::string message = "Cleared_to_EDDM_via_the_ANEKI_departure_flig ht level 80 ok";
    ASSERT_EQ(message.size(), 59u);
    const std::string sixty = message + "!";
    SetMessage(sixty.c_str());
    auto drawn = DrawFrame({sixty});
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");
    EXPECT_EQ(drawn[0].x, 100);
    EXPECT_EQ(drawn[1].text, "EDDF to EDDM");
    EXPECT_EQ(drawn[1].x, 300);
    EXPECT_EQ(drawn[1].y, 500);
    EXPECT_EQ(drawn[2].text, sixty.substr(0, 45));
    EXPECT_EQ(drawn[2].y, 480);
    EXPECT_EQ(drawn[3].text, sixty.substr(45));
    EXPECT_EQ(drawn[3].y, 448);

    // A short message stands whole one line lower than a first broken line would.
    SetMessage("Contact Langen Radar on 123.45");
    drawn = DrawFrame({"contact langen radar on 123.45"});
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[2].text, "contact langen radar on 123.45");
    EXPECT_EQ(drawn[2].y, 464);
}

TEST_F(Intercepts, CaseIsFoldedAsTheSystemCodePageFoldsIt) {
    // Windows-1252: "\xDC" is the capital of "\xFC", as the platform's search knows.
    ASSERT_EQ(GetACP(), 1252u);
    UseSystemTextFolding();
    SetMessage("Lufthansa 123 contact\tZ\xFCrich 121.8");
    auto drawn = DrawFrame({"contact\tZ\xDCrich"});
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");
    EXPECT_EQ(drawn[2].text, "contact\tZ\xDCrich");
    // A letter that is no case of another still tells texts apart.
    drawn = DrawFrame({"contact\tZ\xDBrich"});
    ASSERT_EQ(drawn.size(), 1u);
    ResetTextFolding();
}

TEST_F(Intercepts, CarriageReturnsAreDroppedButCountTowardsTheLine) {
    // 39 visible characters and a carriage return: the blank after them breaks the line.
    std::string text = std::string(20, 'a') + "\r" + std::string(19, 'b') + " " + "rest of it";
    SetMessage(text.c_str());
    auto drawn = DrawFrame({text});
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(drawn[2].text, std::string(20, 'a') + std::string(19, 'b') + " ");
    EXPECT_EQ(drawn[2].y, 480);
    EXPECT_EQ(drawn[3].text, "rest of it");
    EXPECT_EQ(drawn[3].y, 448);
}

TEST_F(Intercepts, OtherTextsPassUnchanged) {
    const std::string longMessage(130, 'x');
    SetMessage(longMessage.c_str());  // the source holds the first 128 of them
    auto drawn = DrawFrame({"xxxxxxxxx", std::string(129, 'x'), "not the ATC text at all"});
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].text, "xxxxxxxxx");
    EXPECT_EQ(drawn[0].rgb[0], 1.0f);
    EXPECT_EQ(drawn[1].text.size(), std::min<size_t>(129, SIM_DRAW_TEXT_MAX - 1));
    EXPECT_EQ(drawn[2].text, "not the ATC text at all");
    EXPECT_EQ(drawn[2].y, 500);

    // Exactly the 128 bytes of the source: found, although no NUL follows them.
    drawn = DrawFrame({std::string(128, 'x')});
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");

    // With the link down every string passes, even with the hooks in place.
    SetLinkUp(false);
    UseAtcTextSource(nullptr);
    drawn = DrawFrame({"Loaded FP EDDF", std::string(20, 'x')});
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].text, "Loaded FP EDDF");
}

TEST_F(Intercepts, TenCharactersAreTheShortestMessageRedrawn) {
    SetMessage("Taxi to holding point A1");
    // Both occur in the message; only the ten-character one is long enough to stand for it.
    auto drawn = DrawFrame({"Taxi to ho"});
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");
    EXPECT_EQ(drawn[2].text, "Taxi to ho");
    drawn = DrawFrame({"Taxi to h"});
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].text, "Taxi to h");
    EXPECT_EQ(drawn[0].rgb[0], 1.0f);
}

TEST_F(Intercepts, HotKeyCodesReachTheSimulatorWidenedWithoutSign) {
    auto callback = [](void*) {};
    XPLMHotKeyID key = XPLMRegisterHotKey((char)0xBA, xplm_DownFlag, "semicolon", callback, nullptr);
    ASSERT_NE(key, nullptr);
    char text[2048];
    SIM_Describe("hotkeys", text, sizeof text);
    EXPECT_NE(strstr(text, "vkey=0xBA flags"), nullptr) << text;  // no sign-extended raw value
    XPLMUnregisterHotKey(key);
    SIM_Describe("hotkeys", text, sizeof text);
    EXPECT_EQ(strstr(text, "semicolon"), nullptr) << text;
}

// What a hooked function's own code sees as its return address, through a stand-in put where
// the entry passes calls on.
void* g_seenReturn = nullptr;
int g_passedOn = 0;
using DrawFn = void (*)(float*, int, int, char*, int*, XPLMFontID);
using RegisterFn = XPLMHotKeyID (*)(int, XPLMKeyFlags, const char*, XPLMHotKey_f, void*);
DrawFn g_realDraw = nullptr;
RegisterFn g_realRegister = nullptr;

__attribute__((noinline)) void SpyDraw(float* colour, int x, int y, char* text, int* wrap, XPLMFontID font) {
    g_seenReturn = __builtin_return_address(0);
    ++g_passedOn;
    g_realDraw(colour, x, y, text, wrap, font);
}

__attribute__((noinline)) XPLMHotKeyID SpyRegister(int key, XPLMKeyFlags flags, const char* text, XPLMHotKey_f cb,
                                                   void* refcon) {
    g_seenReturn = __builtin_return_address(0);
    ++g_passedOn;
    return g_realRegister(key, flags, text, cb, refcon);
}

__attribute__((noinline)) XPLMHotKeyID RegisterFromHere(char key, XPLMHotKey_f callback) {
    XPLMHotKeyID id = XPLMRegisterHotKey(key, xplm_DownFlag, "spied", callback, nullptr);
    asm volatile("" ::: "memory");
    return id;
}

bool InFunction(void* pc, void* function) {
    DWORD64 base = 0;
    const RUNTIME_FUNCTION* f = RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(pc), &base, nullptr);
    return f && base + f->BeginAddress == reinterpret_cast<DWORD64>(function);
}

// The entry in front of an export's hook.
unsigned EntryOf(const char* name) {
    void* target = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("XPLM_64.dll"), name));
    HookRecord r;
    const bool found = CopyHookRecord(target, &r);
    for (unsigned i = 0; found && i < kHookEntries; ++i)
        if (HookEntryTrampoline(i) == reinterpret_cast<void*>(r.trampoline)) return i;
    return kHookEntries;
}

// Calls passed on reach the simulator from their own caller, as unhooked, so it can tell which
// plug-in made them; the ATC text the caller asked for is not passed on (our block replaces it).
TEST_F(Intercepts, CallsPassedOnReachTheSimulatorFromTheirOwnCaller) {
    const unsigned draw = EntryOf("XPLMDrawString"), reg = EntryOf("XPLMRegisterHotKey");
    ASSERT_LT(draw, kHookEntries);
    ASSERT_LT(reg, kHookEntries);
    g_realDraw = reinterpret_cast<DrawFn>(HookEntryTrampoline(draw));
    g_realRegister = reinterpret_cast<RegisterFn>(HookEntryTrampoline(reg));
    SetHookEntryTrampoline(draw, reinterpret_cast<void*>(&SpyDraw));
    SetHookEntryTrampoline(reg, reinterpret_cast<void*>(&SpyRegister));
    g_passedOn = 0;
    SetMessage("Lufthansa 123, cleared to Munich");
    auto drawn = DrawFrame({"N123AB", "FPS 29.7  CPU 12.3 ms  GPU 21.0 ms"});
    EXPECT_EQ(g_passedOn, 2);
    EXPECT_TRUE(InFunction(g_seenReturn, reinterpret_cast<void*>(&DrawTexts))) << g_seenReturn;
    drawn = DrawFrame({"Lufthansa 123, cleared to Munich"});
    EXPECT_EQ(g_passedOn, 2);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn[0].text, "Qvestation ATC");

    XPLMHotKeyID key = RegisterFromHere((char)0xBA, [](void*) {});
    EXPECT_EQ(g_passedOn, 3);
    EXPECT_TRUE(InFunction(g_seenReturn, reinterpret_cast<void*>(&RegisterFromHere))) << g_seenReturn;
    char text[2048];
    SIM_Describe("hotkeys", text, sizeof text);
    EXPECT_NE(strstr(text, "vkey=0xBA flags"), nullptr) << text;  // widened on the way
    XPLMUnregisterHotKey(key);
    SetHookEntryTrampoline(draw, reinterpret_cast<void*>(g_realDraw));
    SetHookEntryTrampoline(reg, reinterpret_cast<void*>(g_realRegister));
}

BOOL WINAPI RefuseProtection(LPVOID, SIZE_T, DWORD, PDWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

class InterceptRemoval : public LogCapture {};

// A hook that cannot be taken out stays, and the removal says so once per hook, however often
// the link is stopped or the plug-in disabled.
TEST_F(InterceptRemoval, WhatStaysArmedIsLoggedOnce) {
    SIM_SetScreenSize(1024, 768);
    ASSERT_TRUE(InstallHooks());
    const VirtualProtectFn former = SetEngineProtect(&RefuseProtection);
    EXPECT_TRUE(RemoveHooks());
    EXPECT_TRUE(RemoveHooks());
    SetEngineProtect(former);
    FlushQueuedLog();
    int stays = 0;
    for (const std::string& line : g_logged) stays += line.find("stays intercepted") != std::string::npos;
    EXPECT_EQ(stays, 5);
    bool drawStringTold = false;
    for (const std::string& line : g_logged)
        drawStringTold |= line.find("XPLMDrawString stays intercepted: its hook could not be disarmed (status 10)") !=
                          std::string::npos;
    EXPECT_TRUE(drawStringTold);
    EXPECT_TRUE(HooksInstalled());
    HookRecord drawString;
    ASSERT_TRUE(CopyHookRecord(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("XPLM_64.dll"), "XPLMDrawString")),
                               &drawString));
    EXPECT_TRUE(drawString.armed);
    EXPECT_TRUE(RemoveHooks());
    EXPECT_FALSE(HooksInstalled());
}

TEST(InterceptUnload, AnUnloadedServerModuleTakesTheSourceWithIt) {
    WatchServerUnload();
    ASSERT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
    HMODULE module = LoadLibraryA("msimg32.dll");
    ASSERT_NE(module, nullptr);
    const char* inside = reinterpret_cast<const char*>(module) + 0x200;
    char elsewhere[8];
    UseAtcTextSource(elsewhere);
    FreeLibrary(LoadLibraryA("msimg32.dll"));  // still loaded: nothing changes
    EXPECT_EQ(AtcTextSourceNow(), elsewhere);
    UseAtcTextSource(inside);
    FreeLibrary(module);
    EXPECT_EQ(AtcTextSourceNow(), nullptr);
    StopWatchingServerUnload();
    UseAtcTextSource(nullptr);
}

}  // namespace
