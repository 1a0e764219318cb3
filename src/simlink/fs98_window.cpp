#include "simlink/fs98_window.h"

namespace {
HWND Fs98MainWindow = nullptr;

LRESULT CALLBACK Fs98WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

void CreateFs98MainWindow() {
    if (Fs98MainWindow) return;
    HINSTANCE host = GetModuleHandleA(nullptr);
    WNDCLASSEXA cls = {};
    cls.cbSize = sizeof cls;
    cls.style = CS_VREDRAW | CS_HREDRAW;
    cls.lpfnWndProc = Fs98WindowProc;
    cls.cbWndExtra = 10;
    cls.hInstance = host;
    cls.lpszClassName = "FS98MAIN";
    RegisterClassExA(&cls);  // still registered from an earlier link: fine
    Fs98MainWindow = CreateWindowExA(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE, "FS98MAIN", "Microsoft Flight Simulator X",
                                     WS_CAPTION | WS_CLIPSIBLINGS, 0, 0, 10, 10, nullptr, nullptr, host, nullptr);
}

void DestroyFs98MainWindow() {
    if (!Fs98MainWindow) return;
    DestroyWindow(Fs98MainWindow);
    Fs98MainWindow = nullptr;
    UnregisterClassA("FS98MAIN", GetModuleHandleA(nullptr));
}

HWND OwnFs98MainWindow() { return Fs98MainWindow; }
