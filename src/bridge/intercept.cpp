#include "bridge/intercept.h"

#include <windows.h>

#include <cstring>

#include "base/checks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/atc_text.h"
#include "bridge/atc_text_layout.h"
#include "bridge/monitor.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "hook/hook.h"
#include "hook/hook_entry.h"

namespace {

using CreateWindowFn = XPLMWindowID (*)(int, int, int, int, int, XPLMDrawWindow_f, XPLMHandleKey_f,
                                        XPLMHandleMouseClick_f, void*);
using DestroyWindowFn = void (*)(XPLMWindowID);
using DrawStringFn = void (*)(float*, int, int, char*, int*, XPLMFontID);
// Called with the key code as a whole int so the register holds 0-255, not a sign-extended char.
using RegisterHotKeyFn = XPLMHotKeyID (*)(int, XPLMKeyFlags, const char*, XPLMHotKey_f, void*);
using UnregisterHotKeyFn = void (*)(XPLMHotKeyID);

CreateWindowFn RealCreateWindow = nullptr;
DestroyWindowFn RealDestroyWindow = nullptr;
DrawStringFn RealDrawString = nullptr;
RegisterHotKeyFn RealRegisterHotKey = nullptr;
UnregisterHotKeyFn RealUnregisterHotKey = nullptr;

HookEntryChoice CreateWindowFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*);
HookEntryChoice DestroyWindowFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*);
HookEntryChoice DrawStringFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*);
HookEntryChoice RegisterHotKeyFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*);
HookEntryChoice UnregisterHotKeyFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*);

// Each interception enters through a hook entry whose filter passes the calls we leave as they
// are straight on: the simulator sees them come from their own caller, as unhooked.
struct Interception {
    const char* name;
    unsigned entry;
    HookEntryFilter filter;
    void* detour;
    void** real;
    void* target = nullptr;  // the simulator library's export, once looked up
    bool added = false;
    bool toldArmed = false;  // the removal has logged that it stays armed
};

Interception CreateWindowHook{"XPLMCreateWindow", 0, CreateWindowFilter, reinterpret_cast<void*>(&CreateWindowDetour),
                              reinterpret_cast<void**>(&RealCreateWindow)};
Interception DestroyWindowHook{"XPLMDestroyWindow", 1, DestroyWindowFilter,
                               reinterpret_cast<void*>(&DestroyWindowDetour), reinterpret_cast<void**>(&RealDestroyWindow)};
Interception DrawStringHook{"XPLMDrawString", 2, DrawStringFilter, reinterpret_cast<void*>(&DrawStringDetour),
                            reinterpret_cast<void**>(&RealDrawString)};
Interception RegisterHotKeyHook{"XPLMRegisterHotKey", 3, RegisterHotKeyFilter,
                                reinterpret_cast<void*>(&RegisterHotKeyDetour),
                                reinterpret_cast<void**>(&RealRegisterHotKey)};
Interception UnregisterHotKeyHook{"XPLMUnregisterHotKey", 4, UnregisterHotKeyFilter,
                                  reinterpret_cast<void*>(&UnregisterHotKeyDetour),
                                  reinterpret_cast<void**>(&RealUnregisterHotKey)};

Interception* const kInstallOrder[] = {&CreateWindowHook, &DestroyWindowHook, &DrawStringHook, &RegisterHotKeyHook,
                                       &UnregisterHotKeyHook};
Interception* const kRemoveOrder[] = {&DrawStringHook, &CreateWindowHook, &DestroyWindowHook, &RegisterHotKeyHook,
                                      &UnregisterHotKeyHook};

// The export itself, so calls from every plug-in are caught: the address of an imported function
// as this module sees it may be a jump stub of our own.
void* SimulatorExport(const char* name) {
    HMODULE library = GetModuleHandleA("XPLM_64.dll");
    return library ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
}

bool CreatedByThisPlugin(XPLMDrawWindow_f draw) {
    HMODULE owner = nullptr;
    HMODULE self = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!draw || !GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(draw), &owner)) return false;
    if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&CreatedByThisPlugin), &self)) return false;
    return owner == self;
}

// The strip's place when it is created: a 290 x 160 box, top left for any unknown position.
ScreenRect StripCornerRect(int windowPosition, int w, int h) {
    ScreenRect rect;
    if (!CornerBox(windowPosition, w, h, 290, 160, &rect)) CornerBox(1, w, h, 290, 160, &rect);
    return rect;
}

// The title over the server's text, drawn through the real function (which takes a char*).
char AtcTitle[] = "Qvestation ATC";

void DrawTitleAndText(float* titleColour, float* textColour, int x, int y, const char* route,
                      const AtcTextLines* lines, int* wordWrapWidth, XPLMFontID font) {
    RealDrawString(titleColour, x, y, AtcTitle, wordWrapWidth, font);
    if (route) RealDrawString(titleColour, x + 200, y, const_cast<char*>(route), wordWrapWidth, font);
    for (int i = 0; i < lines->count; ++i)
        RealDrawString(textColour, x, y - lines->line[i].dropBelowTitle, const_cast<char*>(lines->line[i].text),
                       wordWrapWidth, font);
}

PVOID UnloadWatchCookie = nullptr;

struct DllNotificationData {
    ULONG flags;
    const void* fullDllName;
    const void* baseDllName;
    PVOID dllBase;
    ULONG sizeOfImage;
};
constexpr ULONG kDllUnloaded = 2;
using DllNotificationFn = VOID(CALLBACK*)(ULONG reason, const DllNotificationData* data, PVOID context);
using RegisterDllNotificationFn = LONG(NTAPI*)(ULONG flags, DllNotificationFn callback, PVOID context, PVOID* cookie);
using UnregisterDllNotificationFn = LONG(NTAPI*)(PVOID cookie);

VOID CALLBACK ModuleUnloaded(ULONG reason, const DllNotificationData* data, PVOID) {
    if (reason != kDllUnloaded || !data) return;
    ForgetAtcTextSourceIn(data->dllBase, data->sizeOfImage);
}

}  // namespace

void UseSystemTextFolding() {
    // The code page's own lower case of every byte, as the platform's case-insensitive search
    // folds it ("Z\xDCrich" meets "Z\xFCrich" under Windows-1252).
    unsigned char lower[256];
    for (int c = 0; c < 256; ++c) {
        char one = (char)c;
        if (c != 0 && !IsDBCSLeadByte((BYTE)c)) CharLowerBuffA(&one, 1);
        lower[c] = (unsigned char)one;
    }
    SetTextFolding(lower);
}

bool InstallHooks() {
    const HookStatus started = HookInitialize();
    if (started != HookOk) {
        LogLine("interception not installed: the hook engine did not start (status %d)", (int)started);
        return false;
    }
    for (Interception* hook : kInstallOrder) {
        hook->target = SimulatorExport(hook->name);
        if (!hook->target) {
            LogLine("%s not intercepted: the simulator library does not export it", hook->name);
            continue;
        }
        void* entry = UseHookEntry(hook->entry, hook->filter, hook->detour);
        const HookStatus added = entry ? HookAdd(hook->target, entry, hook->real) : HookNotExecutable;
        if (added != HookOk) {
            LogLine("%s not intercepted (status %d)", hook->name, (int)added);
            continue;
        }
        SetHookEntryTrampoline(hook->entry, *hook->real);
        hook->added = true;
    }
    // All armed under one freeze of the other threads: each freeze suspends and resumes every
    // thread of the simulator, some milliseconds apiece.
    if (HookArm(nullptr) == HookOk) return true;
    // One could not be armed: find it, as arming them one by one would have, and leave the ones
    // after it out.
    bool failed = false;
    for (Interception* hook : kInstallOrder) {
        if (!hook->added) continue;
        if (failed) {
            if (HookDelete(hook->target) == HookOk) hook->added = false;
            continue;
        }
        const HookStatus armed = HookArm(hook->target);
        if (armed == HookOk || armed == HookAlreadyArmed) continue;
        LogLine("%s could not be armed (status %d); the functions after it are not intercepted", hook->name,
                (int)armed);
        failed = true;
    }
    return !failed;
}

// Once per hook: the engine keeps this library loaded while the hook stays armed, so the
// simulator's unloading of the plug-in leaves our code in place for it.
void TellStillIntercepted(Interception* hook, const char* what, HookStatus status) {
    if (hook->toldArmed) return;
    hook->toldArmed = true;
    LogLine("%s stays intercepted: its hook could not be %s (status %d); the plug-in's library stays loaded while "
            "it is armed",
            hook->name, what, (int)status);
}

bool RemoveHooks() {
    // All disarmed under one freeze; one that fails is tried again alone below, and kept.
    if (HooksInstalled()) (void)HookDisarm(nullptr);  // the loop below finds which failed
    for (Interception* hook : kRemoveOrder) {
        if (!hook->added) continue;
        const HookStatus disarmed = HookDisarm(hook->target);
        if (disarmed != HookOk && disarmed != HookAlreadyDisarmed) {
            TellStillIntercepted(hook, "disarmed", disarmed);
            continue;
        }
        const HookStatus deleted = HookDelete(hook->target);
        if (deleted != HookOk) {  // disarmed, but its slot kept: the rest stay as they are
            if (!hook->toldArmed) LogLine("%s: its hook is disarmed but could not be deleted (status %d)", hook->name,
                                          (int)deleted);
            hook->toldArmed = true;
            return true;
        }
        hook->added = false;
        hook->toldArmed = false;  // a later link that keeps it again says so again
    }
    (void)HookShutdown();  // fails only with a hook still armed: the engine is kept for it
    return true;
}

bool HooksInstalled() {
    for (Interception* hook : kInstallOrder)
        if (hook->added) return true;
    return false;
}

XPLMWindowID CreateWindowDetour(int left, int top, int right, int bottom, int isVisible, XPLMDrawWindow_f draw,
                                XPLMHandleKey_f key, XPLMHandleMouseClick_f mouse, void* refcon) {
    // Any plug-in may call this from any thread; the window is still made as it asked.
    (void)CHECK_SIMULATOR_THREAD();
    XPLMWindowID window = RealCreateWindow(left, top, right, bottom, isVisible, draw, key, mouse, refcon);
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    // Only the server's strip, by its geometry, every time; never one of our own windows.
    if (window && left == 1 && top == height - 20 && right == width && bottom == height - 40 &&
        !CreatedByThisPlugin(draw)) {
        CatchAtcStrip(window, StripCornerRect(PluginOptions.WindowPosition, width, height));
    }
    if (HideAtcText()) ShowAtcStrip(false);
    return window;
}

void DestroyWindowDetour(XPLMWindowID window) {
    AtcStripDestroyed(window);
    RealDestroyWindow(window);
}

namespace {

// Before the text buffer is known: a string carrying an ATC marker stands for the message.
__attribute__((noinline)) bool DrawPleaseWaitIfMarked(int x, int y, const char* text, int* wordWrapWidth,
                                                      XPLMFontID font) {
    if (!HasAtcTextMarker(text)) return false;
    (void)CHECK_SIMULATOR_THREAD();
    NoteUnsourcedAtcText(text);
    static char pleaseWait[] = "Please wait...";
    RealDrawString(PluginOptions.TitleColour, x, y, AtcTitle, wordWrapWidth, font);
    RealDrawString(PluginOptions.OptionsColour, x, y - 40, pleaseWait, wordWrapWidth, font);
    return true;
}

// The string is the message when it occurs in the 128 bytes the server draws from; then it is
// drawn as the block instead.
__attribute__((noinline)) bool DrawIfAtcMessage(const char* source, int x, int y, const char* text, size_t length,
                                                int* wordWrapWidth, XPLMFontID font) {
    // Drawing happens on the simulator's thread only, so the index needs no lock. The server's
    // bytes are compared with the index's copy in place: usually they have not changed.
    (void)CHECK_SIMULATOR_THREAD();
    static SnapshotIndex index;
    if (!index.Describes(source)) index.Build(source);
    if (!index.Contains(text, length)) return false;
    AtcTextLines lines;
    WrapAtcText(text, length, &lines);
    char route[kRouteTextSize];
    CurrentRouteText(route);
    DrawTitleAndText(PluginOptions.TitleColour, PluginOptions.OptionsColour, x, y, route, &lines, wordWrapWidth,
                     font);
    return true;
}

}  // namespace

namespace {

// The string stands for the ATC message and was drawn as our block instead.
inline bool DrawnAsAtcBlock(int x, int y, const char* text, int* wordWrapWidth, XPLMFontID font) {
    if (!LinkIsUp() || !text) return false;
    const char* source = AtcTextSourceNow();
    if (!source) return DrawPleaseWaitIfMarked(x, y, text, wordWrapWidth, font);
    const size_t length = DrawnTextLength(text, kAtcMessageMaxLength);
    return length >= kAtcMessageMinLength && length <= kAtcMessageMaxLength &&
           DrawIfAtcMessage(source, x, y, text, length, wordWrapWidth, font);
}

// Runs for every string any plug-in draws: the usual way through is a few loads and compares,
// with no allocation, lock or system call. The block's strings are drawn from here.
// The text may stand for the ATC message: drawn as our block when it does.
__attribute__((noinline)) HookEntryChoice DrawAtcOrPassOn(int x, int y, const char* text, const char* source,
                                                         size_t length, const HookEntryArgs* args) {
    int* wordWrapWidth = reinterpret_cast<int*>(HookEntryStackArgument(args, 4));
    const auto font = static_cast<XPLMFontID>(static_cast<int>(HookEntryStackArgument(args, 5)));
    const bool drawn = source ? DrawIfAtcMessage(source, x, y, text, length, wordWrapWidth, font)
                              : DrawPleaseWaitIfMarked(x, y, text, wordWrapWidth, font);
    return drawn ? HookEntryDone : HookEntryPassOn;
}

HookEntryChoice DrawStringFilter(uint64_t, uint64_t x, uint64_t y, uint64_t textArgument, HookEntryArgs* args) {
    const auto* text = reinterpret_cast<const char*>(textArgument);
    if (!LinkIsUp() || !text) return HookEntryPassOn;
    const char* source = AtcTextSourceNow();
    size_t length = 0;
    if (source) {
        length = DrawnTextLength(text, kAtcMessageMaxLength);
        if (length < kAtcMessageMinLength || length > kAtcMessageMaxLength) return HookEntryPassOn;
    }
    return DrawAtcOrPassOn(int(x), int(y), text, source, length, args);
}

// Another plug-in's window passes on unless it is the server's strip, which the detour catches
// and moves after its creation. While the strip is to stay hidden it is hidden before every
// creation, as the detour does after it.
HookEntryChoice CreateWindowFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs* args) {
    if (static_cast<int>(args->reg[0]) != 1 && !HideAtcText()) return HookEntryPassOn;
    if (!CHECK_SIMULATOR_THREAD()) return HookEntryDetour;  // as before: the detour decides
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    const auto draw = reinterpret_cast<XPLMDrawWindow_f>(HookEntryStackArgument(args, 5));
    const bool strip = static_cast<int>(args->reg[0]) == 1 && static_cast<int>(args->reg[1]) == height - 20 &&
                       static_cast<int>(args->reg[2]) == width && static_cast<int>(args->reg[3]) == height - 40 &&
                       !CreatedByThisPlugin(draw);
    if (strip) return HookEntryDetour;
    if (HideAtcText()) ShowAtcStrip(false);
    return HookEntryPassOn;
}

HookEntryChoice DestroyWindowFilter(uint64_t windowArgument, uint64_t, uint64_t, uint64_t, HookEntryArgs*) {
    const auto window = reinterpret_cast<XPLMWindowID>(windowArgument);
    return window && window == AtcTextWindow() ? HookEntryDetour : HookEntryPassOn;
}

// The key code reaches the simulator as 0 to 255 whatever the rest of the register holds.
HookEntryChoice RegisterHotKeyFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs* args) {
    args->reg[0] = static_cast<unsigned char>(args->reg[0]);
    return HookEntryPassOn;
}

HookEntryChoice UnregisterHotKeyFilter(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs*) {
    return HookEntryPassOn;
}

}  // namespace

void DrawStringDetour(float* colour, int x, int y, char* text, int* wordWrapWidth, XPLMFontID font) {
    if (DrawnAsAtcBlock(x, y, text, wordWrapWidth, font)) return;
    RealDrawString(colour, x, y, text, wordWrapWidth, font);
}

XPLMHotKeyID RegisterHotKeyDetour(char virtualKey, XPLMKeyFlags flags, const char* description,
                                  XPLMHotKey_f callback, void* refcon) {
    return RealRegisterHotKey((int)(unsigned char)virtualKey, flags, description, callback, refcon);
}

void UnregisterHotKeyDetour(XPLMHotKeyID hotKey) { RealUnregisterHotKey(hotKey); }

void WatchServerUnload() {
    if (UnloadWatchCookie) return;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto registerFn = ntdll ? reinterpret_cast<RegisterDllNotificationFn>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrRegisterDllNotification")))
                            : nullptr;
    if (registerFn && registerFn(0, ModuleUnloaded, nullptr, &UnloadWatchCookie) != 0) UnloadWatchCookie = nullptr;
}

void StopWatchingServerUnload() {
    if (!UnloadWatchCookie) return;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto unregisterFn = ntdll ? reinterpret_cast<UnregisterDllNotificationFn>(
                                    reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnregisterDllNotification")))
                              : nullptr;
    if (unregisterFn) unregisterFn(UnloadWatchCookie);
    UnloadWatchCookie = nullptr;
}
