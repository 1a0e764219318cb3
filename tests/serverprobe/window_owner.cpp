// Another program with a "UIPCMAIN" window made by the probe library, loaded here as in the test:
//   window_owner LIBRARY READY_EVENT QUIT_EVENT
// sets READY_EVENT once the window exists, ends when QUIT_EVENT is set (or after a minute).
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    HMODULE probe = LoadLibraryA(argv[1]);
    auto make = probe ? reinterpret_cast<HWND (*)(const char*)>(
                            reinterpret_cast<void*>(GetProcAddress(probe, "ProbeMakeWindow")))
                      : nullptr;
    HWND window = make ? make("UIPCMAIN") : nullptr;
    if (!window) return 3;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !quit) return 4;
    SetEvent(ready);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    return 0;
}
