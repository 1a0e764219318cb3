#include "bridge/atc_window.h"

#include "config/options.h"

namespace {

const char* const kAtcCaptions[7] = {
    "    QV3 - Aeravox",
    "    QV3 - Aeravox - VCP Mode OFF",
    "    QV3 - Aeravox - VCP Mode 1",
    "    QV3 - Aeravox - VCP Mode 2",
    "    QV3 - Aeravox - VCP Mode 3",
    "    QV Station",
    "QV Station",
};

void BoostPriority(HWND form) {
    DWORD processId = 0;
    GetWindowThreadProcessId(form, &processId);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (!process) return;
    if (GetPriorityClass(process) == NORMAL_PRIORITY_CLASS) SetPriorityClass(process, ABOVE_NORMAL_PRIORITY_CLASS);
    CloseHandle(process);
}

}  // namespace

HWND FindAtcMainForm(int captions) {
    HWND desktop = GetDesktopWindow();
    for (int i = 0; i < captions && i < 7; ++i) {
        HWND form = FindWindowExA(desktop, nullptr, "ThunderRT6FormDC", kAtcCaptions[i]);
        if (form) return form;
    }
    return nullptr;
}

bool AtcProgramConnected() {
    HWND form = FindAtcMainForm(6);
    if (!form) return false;
    HWND button = FindWindowExA(form, nullptr, "ThunderRT6CommandButton", "&Disconnect  from FS");
    if (!button || !IsWindowEnabled(button)) return false;
    if (PluginOptions.BoostQVEProcessPriority) BoostPriority(form);
    return true;
}

void CloseAtcProgram() {
    HWND form = FindAtcMainForm(7);
    if (form) PostMessageA(form, WM_CLOSE, 0, 0);
}
