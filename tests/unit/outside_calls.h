#pragma once
// Records the plug-in's COM initialisations and program starts in order, answers them from
// queues, and starts nothing. Install() patches the test program's own imports.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <deque>
#include <string>
#include <vector>

#include "import_patch.h"

namespace outside {

inline std::vector<std::string> Calls;  // "CoInitializeEx 0x6", "ShellExecuteA ...", "CoUninitialize"
inline std::deque<HRESULT> ComAnswers;  // default S_OK
inline std::deque<INT_PTR> ShellAnswers;  // default 42

inline std::string Text(const char* s) { return s ? "\"" + std::string(s) + "\"" : std::string("null"); }

inline HRESULT WINAPI FakeCoInitializeEx(LPVOID reserved, DWORD flags) {
    HRESULT answer = S_OK;
    if (!ComAnswers.empty()) answer = ComAnswers.front(), ComAnswers.pop_front();
    char line[64];
    snprintf(line, sizeof line, "CoInitializeEx %s 0x%lX", reserved ? "reserved" : "null", (unsigned long)flags);
    Calls.push_back(line);
    return answer;
}

inline void WINAPI FakeCoUninitialize() { Calls.push_back("CoUninitialize"); }

inline HINSTANCE WINAPI FakeShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                                          INT show) {
    INT_PTR answer = 42;
    if (!ShellAnswers.empty()) answer = ShellAnswers.front(), ShellAnswers.pop_front();
    Calls.push_back(std::string("ShellExecuteA owner=") + (owner ? "set" : "null") + " verb=" + Text(verb) +
                    " file=" + Text(file) + " parameters=" + Text(parameters) + " folder=" + Text(folder) +
                    " show=" + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(answer);
}

inline void Install() {
    PatchOwnImport("ole32.dll", "CoInitializeEx", (void*)FakeCoInitializeEx);
    PatchOwnImport("ole32.dll", "CoUninitialize", (void*)FakeCoUninitialize);
    PatchOwnImport("shell32.dll", "ShellExecuteA", (void*)FakeShellExecuteA);
    Calls.clear();
    ComAnswers.clear();
    ShellAnswers.clear();
}

// A ShellExecuteA line as recorded, owner null and SW_SHOWNORMAL.
inline std::string Shell(const char* verb, const std::string& file, const char* parameters, const char* folder) {
    return "ShellExecuteA owner=null verb=" + Text(verb) + " file=" + Text(file.c_str()) +
           " parameters=" + Text(parameters) + " folder=" + Text(folder) + " show=1";
}

inline const char* const kComInit = "CoInitializeEx null 0x6";
inline const char* const kComDone = "CoUninitialize";

}  // namespace outside
