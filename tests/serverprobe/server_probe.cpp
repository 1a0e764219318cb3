// Stands for an IPC server plug-in's module: a text buffer inside its image and windows made in
// its name (its instance, its window procedure).
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HMODULE Self() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ProbeProc), &module);
    return module;
}

}  // namespace

extern "C" {

// Zero at load: nothing in the image reads as a message until a test writes one here.
__declspec(dllexport) char ProbeText[256];

__declspec(dllexport) HWND ProbeMakeWindow(const char* cls) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = Self();
    wc.lpszClassName = cls;
    RegisterClassA(&wc);  // may exist already from an earlier window
    return CreateWindowExA(0, cls, "", 0, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

__declspec(dllexport) void ProbeSetText(const char* text) {
    memset(ProbeText, 0, sizeof ProbeText);
    if (text) strncpy(ProbeText, text, sizeof ProbeText - 1);
}

}
