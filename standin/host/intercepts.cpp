// The plug-ins' imports of dialogs, program starts and system queries, answered by the scenario.
// Nothing modal ever opens and nothing is launched; each call is printed with its arguments.
#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

#include "common/sim_control.h"
#include "host.h"
#include "timers.h"

namespace {

std::mutex g_answerMutex;
std::deque<int> g_messageBoxAnswers;
std::deque<std::string> g_openFileAnswers;  // "" = cancel
std::deque<long> g_colourAnswers;           // -1 = cancel
std::deque<long> g_shellAnswers;
std::deque<HRESULT> g_comAnswers;  // given instead of initialising COM
// Real COM initialisations of this thread that the plug-in has not yet undone.
thread_local int g_realComInits = 0;

// Fakes of what Wine cannot be made to report. Unset = the real answer.
bool g_fakeVersion = false;
DWORD g_fakeMajor = 0, g_fakeMinor = 0, g_fakePlatform = VER_PLATFORM_WIN32_NT;
enum class Elevation { Real, Default, Full, Limited, NoToken } g_elevation = Elevation::Real;
int g_fakeArchitecture = -1;   // wProcessorArchitecture
int g_fakeWow64 = -1;          // 0 or 1
bool g_hideWow64 = false;      // IsWow64Process missing
bool g_hideNativeInfo = false; // GetNativeSystemInfo missing
const HANDLE kFakeToken = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x7A11));

template <typename T>
bool Next(std::deque<T>& queue, T* out) {
    std::lock_guard<std::mutex> lock(g_answerMutex);
    if (queue.empty()) return false;
    *out = queue.front();
    queue.pop_front();
    return true;
}

std::string Hex(unsigned long long value) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llX", value);
    return buf;
}

std::string Text(const char* s) { return s ? Quote(s) : std::string("(null)"); }

std::string MessageBoxFlags(UINT type) {
    std::string buttons;
    switch (type & MB_TYPEMASK) {
        case MB_OK: buttons = "MB_OK"; break;
        case MB_OKCANCEL: buttons = "MB_OKCANCEL"; break;
        case MB_YESNO: buttons = "MB_YESNO"; break;
        case MB_YESNOCANCEL: buttons = "MB_YESNOCANCEL"; break;
        case MB_RETRYCANCEL: buttons = "MB_RETRYCANCEL"; break;
        default: buttons = Hex(type & MB_TYPEMASK);
    }
    switch (type & MB_ICONMASK) {
        case 0: break;
        case MB_ICONWARNING: buttons += "|MB_ICONWARNING"; break;
        case MB_ICONINFORMATION: buttons += "|MB_ICONINFORMATION"; break;
        case MB_ICONERROR: buttons += "|MB_ICONERROR"; break;
        case MB_ICONQUESTION: buttons += "|MB_ICONQUESTION"; break;
    }
    UINT rest = type & ~(MB_TYPEMASK | MB_ICONMASK);
    if (rest) buttons += "|" + Hex(rest);
    return buttons;
}

// A modal box is drawn on the monitor only: shown while the headset is on, the pilot never sees
// it (and the real headset's picture stops until someone clicks it on the monitor).
std::mutex g_vrHiddenMutex;
int g_vrHiddenBoxes = 0;
std::string g_firstVrHidden;

std::string NoteVrHidden(const std::string& what) {
    if (!SIM_VrOn()) return "";
    std::lock_guard<std::mutex> lock(g_vrHiddenMutex);
    if (g_vrHiddenBoxes++ == 0) g_firstVrHidden = what;
    return " (unseen in the headset)";
}

int WINAPI FakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    int answer = IDOK;
    Next(g_messageBoxAnswers, &answer);
    const std::string hidden = NoteVrHidden("MessageBoxA " + Text(caption));
    Out("MessageBoxA owner=" + Hex((uintptr_t)owner) + " caption=" + Text(caption) + " flags=" +
        MessageBoxFlags(type) + " text=" + Text(text) + " -> " + std::to_string(answer) + hidden);
    return answer;
}

std::string FilterText(const char* filter) {
    // Pairs of NUL-terminated texts, ended by an empty one.
    if (!filter) return "(null)";
    std::string out;
    for (int i = 0; *filter && i < 32; ++i) {
        if (i) out += "|";
        out += filter;
        filter += strlen(filter) + 1;
    }
    return Quote(out);
}

BOOL WINAPI FakeGetOpenFileNameA(LPOPENFILENAMEA ofn) {
    std::string answer;
    Next(g_openFileAnswers, &answer);
    std::string line = "GetOpenFileNameA" + NoteVrHidden("GetOpenFileNameA");
    if (!ofn) {
        Out(line + " (null) -> 0");
        return FALSE;
    }
    line += " owner=" + Hex((uintptr_t)ofn->hwndOwner);
    line += std::string(" instance=") + (ofn->hInstance == (HINSTANCE)GetModuleHandleA(nullptr) ? "host" : Hex((uintptr_t)ofn->hInstance));
    line += " filter=" + FilterText(ofn->lpstrFilter) + " index=" + std::to_string(ofn->nFilterIndex);
    line += " file=" + Text(ofn->lpstrFile) + " max=" + std::to_string(ofn->nMaxFile);
    line += " title=" + Text(ofn->lpstrTitle) + " dir=" + Text(ofn->lpstrInitialDir);
    line += " flags=" + Hex(ofn->Flags);
    if (answer.empty() || !ofn->lpstrFile || answer.size() + 1 > ofn->nMaxFile) {
        Out(line + " -> 0");
        return FALSE;
    }
    memcpy(ofn->lpstrFile, answer.c_str(), answer.size() + 1);
    const char* slash = strrchr(ofn->lpstrFile, '\\');
    ofn->nFileOffset = slash ? (WORD)(slash - ofn->lpstrFile + 1) : 0;
    Out(line + " -> 1 " + Quote(answer));
    return TRUE;
}

BOOL WINAPI FakeChooseColorA(LPCHOOSECOLORA cc) {
    long answer = -1;
    Next(g_colourAnswers, &answer);
    if (!cc) {
        Out("ChooseColorA (null) -> 0");
        return FALSE;
    }
    const std::string hidden = NoteVrHidden("ChooseColorA");
    std::string line = "ChooseColorA" + hidden + " owner=" + Hex((uintptr_t)cc->hwndOwner) +
                       " initial=" + Hex(cc->rgbResult) + " flags=" + Hex(cc->Flags) +
                       " custom=" + (cc->lpCustColors ? "set" : "(null)");
    if (answer < 0) {
        Out(line + " -> 0");
        return FALSE;
    }
    cc->rgbResult = (COLORREF)answer;
    Out(line + " -> 1 " + Hex((unsigned long)answer));
    return TRUE;
}

HINSTANCE WINAPI FakeShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                   INT show) {
    long answer = 42;
    Next(g_shellAnswers, &answer);
    Out("ShellExecuteA owner=" + Hex((uintptr_t)owner) + " verb=" + Text(verb) + " file=" + Text(file) +
        " parameters=" + Text(parameters) + " directory=" + Text(directory) + " show=" + std::to_string(show) +
        " -> " + std::to_string(answer));
    return (HINSTANCE)(intptr_t)answer;
}

HRESULT WINAPI FakeCoInitializeEx(LPVOID reserved, DWORD flags) {
    HRESULT answer = S_OK;
    bool queued = Next(g_comAnswers, &answer);
    if (!queued) {
        answer = CoInitializeEx(reserved, flags);
        if (SUCCEEDED(answer)) ++g_realComInits;
    }
    Out("CoInitializeEx reserved=" + Hex((uintptr_t)reserved) + " flags=" + Hex(flags) + " -> " +
        Hex((unsigned long)answer));
    return answer;
}

void WINAPI FakeCoUninitialize() {
    Out("CoUninitialize");
    if (g_realComInits > 0) {
        --g_realComInits;
        CoUninitialize();
    }
}

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
    BOOL ok = GetVersionExA(info);
    if (ok && g_fakeVersion) {
        info->dwMajorVersion = g_fakeMajor;
        info->dwMinorVersion = g_fakeMinor;
        info->dwPlatformId = g_fakePlatform;
    }
    return ok;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    if (g_elevation == Elevation::Real) return OpenProcessToken(process, access, token);
    Out("OpenProcessToken access=" + Hex(access));
    if (g_elevation == Elevation::NoToken) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *token = kFakeToken;
    return TRUE;
}

BOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD size,
                                    PDWORD returned) {
    if (token != kFakeToken) return GetTokenInformation(token, cls, info, size, returned);
    if (cls != TokenElevationType || size < sizeof(TOKEN_ELEVATION_TYPE) || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *(TOKEN_ELEVATION_TYPE*)info = g_elevation == Elevation::Limited ? TokenElevationTypeLimited
                                   : g_elevation == Elevation::Full  ? TokenElevationTypeFull
                                                                     : TokenElevationTypeDefault;
    if (returned) *returned = sizeof(TOKEN_ELEVATION_TYPE);
    return TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    if (handle == kFakeToken) {
        Out("CloseHandle token");
        return TRUE;
    }
    return CloseHandle(handle);
}

void WINAPI FakeGetNativeSystemInfo(LPSYSTEM_INFO info) {
    GetNativeSystemInfo(info);
    if (g_fakeArchitecture >= 0) info->wProcessorArchitecture = (WORD)g_fakeArchitecture;
}

void WINAPI FakeGetSystemInfo(LPSYSTEM_INFO info) {
    GetSystemInfo(info);
    if (g_fakeArchitecture >= 0) info->wProcessorArchitecture = (WORD)g_fakeArchitecture;
}

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL answer) {
    if (g_fakeWow64 < 0) return IsWow64Process(process, answer);
    *answer = g_fakeWow64 ? TRUE : FALSE;
    return TRUE;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if ((uintptr_t)name > 0xFFFF) {
        if (!strcmp(name, "GetNativeSystemInfo"))
            return g_hideNativeInfo ? nullptr : (FARPROC)(void*)FakeGetNativeSystemInfo;
        if (!strcmp(name, "IsWow64Process")) return g_hideWow64 ? nullptr : (FARPROC)(void*)FakeIsWow64Process;
    }
    return GetProcAddress(module, name);
}

struct Intercept {
    const char* dll;
    const char* function;
    void* replacement;
};

const Intercept kIntercepts[] = {
    {"user32.dll", "MessageBoxA", (void*)FakeMessageBoxA},
    {"comdlg32.dll", "GetOpenFileNameA", (void*)FakeGetOpenFileNameA},
    {"comdlg32.dll", "ChooseColorA", (void*)FakeChooseColorA},
    {"shell32.dll", "ShellExecuteA", (void*)FakeShellExecuteA},
    {"ole32.dll", "CoInitializeEx", (void*)FakeCoInitializeEx},
    {"ole32.dll", "CoUninitialize", (void*)FakeCoUninitialize},
    {"kernel32.dll", "GetVersionExA", (void*)FakeGetVersionExA},
    {"kernel32.dll", "GetProcAddress", (void*)FakeGetProcAddress},
    {"kernel32.dll", "GetSystemInfo", (void*)FakeGetSystemInfo},
    {"kernel32.dll", "CloseHandle", (void*)FakeCloseHandle},
    {"kernel32.dll", "CreateTimerQueueTimer", (void*)SimCreateTimerQueueTimer},
    {"kernel32.dll", "DeleteTimerQueueTimer", (void*)SimDeleteTimerQueueTimer},
    {"kernel32.dll", "SleepConditionVariableSRW", (void*)SimSleepConditionVariableSRW},
    {"kernel32.dll", "WakeConditionVariable", (void*)SimWakeConditionVariable},
    {"kernel32.dll", "WakeAllConditionVariable", (void*)SimWakeAllConditionVariable},
    {"user32.dll", "SendMessageA", (void*)SimSendMessageA},
    {"user32.dll", "SendMessageTimeoutA", (void*)SimSendMessageTimeoutA},
    {"advapi32.dll", "OpenProcessToken", (void*)FakeOpenProcessToken},
    {"advapi32.dll", "GetTokenInformation", (void*)FakeGetTokenInformation},
};

void PatchSlot(void** slot, void* replacement) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return;
    *slot = replacement;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

void PatchPluginImports(HMODULE module) {
    auto base = reinterpret_cast<BYTE*>(module);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return;
    for (auto imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        const char* dll = reinterpret_cast<const char*>(base + imp->Name);
        if (!imp->OriginalFirstThunk) continue;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Intercept& i : kIntercepts)
                if (!_stricmp(dll, i.dll) && !strcmp((const char*)byName->Name, i.function))
                    PatchSlot(reinterpret_cast<void**>(&slots->u1.Function), i.replacement);
        }
    }
}

static bool ToLong(const std::string& s, long* out) {
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 0);
    if (s.empty() || *end) return false;
    *out = v;
    return true;
}

int VrHiddenBoxes() {
    std::lock_guard<std::mutex> lock(g_vrHiddenMutex);
    return g_vrHiddenBoxes;
}

std::string FirstVrHiddenBox() {
    std::lock_guard<std::mutex> lock(g_vrHiddenMutex);
    return g_firstVrHidden;
}

bool ConfigureAnswer(const std::vector<std::string>& a, std::string* error) {
    std::lock_guard<std::mutex> lock(g_answerMutex);
    long n = 0;
    if (a.size() == 2 && a[0] == "messagebox" && ToLong(a[1], &n)) {
        g_messageBoxAnswers.push_back((int)n);
    } else if (a.size() == 2 && a[0] == "open-file") {
        g_openFileAnswers.push_back(a[1] == "cancel" ? std::string() : a[1]);
    } else if (a.size() == 2 && a[0] == "color" && a[1] == "cancel") {
        g_colourAnswers.push_back(-1);
    } else if (a.size() == 4 && a[0] == "color") {
        long r, g, b;
        if (!ToLong(a[1], &r) || !ToLong(a[2], &g) || !ToLong(a[3], &b)) return *error = "bad colour", false;
        g_colourAnswers.push_back(RGB(r & 255, g & 255, b & 255));
    } else if (a.size() == 2 && a[0] == "shell" && ToLong(a[1], &n)) {
        g_shellAnswers.push_back(n);
    } else if (a.size() == 2 && a[0] == "com") {
        char* end = nullptr;
        unsigned long long code = strtoull(a[1].c_str(), &end, 0);
        if (a[1].empty() || *end || code > 0xFFFFFFFFull) return *error = "bad HRESULT", false;
        g_comAnswers.push_back((HRESULT)(uint32_t)code);
    } else {
        *error = "answer messagebox N | open-file PATH|cancel | color R G B|cancel | shell N | com HRESULT";
        return false;
    }
    return true;
}

bool ConfigureFake(const std::vector<std::string>& a, std::string* error) {
    long major = 0, minor = 0;
    if (a.size() == 3 && a[0] == "windows-version" && ToLong(a[1], &major) && ToLong(a[2], &minor)) {
        g_fakeVersion = true;
        g_fakeMajor = (DWORD)major;
        g_fakeMinor = (DWORD)minor;
    } else if (a.size() == 2 && a[0] == "elevation") {
        if (a[1] == "real") g_elevation = Elevation::Real;
        else if (a[1] == "default") g_elevation = Elevation::Default;
        else if (a[1] == "full") g_elevation = Elevation::Full;
        else if (a[1] == "limited") g_elevation = Elevation::Limited;
        else if (a[1] == "no-token") g_elevation = Elevation::NoToken;
        else return *error = "elevation real|default|full|limited|no-token", false;
    } else if (a.size() == 2 && a[0] == "architecture") {
        if (a[1] == "amd64") g_fakeArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
        else if (a[1] == "x86") g_fakeArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
        else if (a[1] == "ia32-on-win64") g_fakeArchitecture = PROCESSOR_ARCHITECTURE_IA32_ON_WIN64;
        else return *error = "architecture amd64|x86|ia32-on-win64", false;
    } else if (a.size() == 2 && a[0] == "wow64") {
        g_hideWow64 = a[1] == "missing";
        g_fakeWow64 = a[1] == "yes" ? 1 : a[1] == "no" ? 0 : -1;
    } else if (a.size() == 2 && a[0] == "native-system-info" && a[1] == "missing") {
        g_hideNativeInfo = true;
    } else {
        *error = "fake windows-version MAJOR MINOR | elevation ... | architecture ... | wow64 yes|no|missing | "
                 "native-system-info missing";
        return false;
    }
    return true;
}
