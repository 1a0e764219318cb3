// The plug-in menu's commands.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <string>

#include "XPLMMenus.h"
#include "XPLMUtilities.h"
#include "base/com_scope.h"
#include "base/guard.h"
#include "bridge/atc_window.h"
#include "config/atc_locate.h"
#include "config/options.h"
#include "shell/link.h"
#include "ui/hints_window.h"
#include "ui/plugin_menu.h"
#include "ui/settings_window.h"

namespace {

constexpr int kWindowWidth = 200;
constexpr int kWindowHeight = 150;

// Item 3, online: the address (or document) opened with "open". Utility: the program started in
// its own folder; the target itself is never changed.
void FlightPlanning() {
    ComScope com;
    if (!com.Ready()) return;
    const char* target = PluginOptions.FlightPlanningTarget;
    if (PluginOptions.FlightPlanningOnline == 1) {
        ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    if (!PathFileExistsA(target)) return;
    std::string path = target;
    size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return;
    std::string file = path.substr(slash + 1);
    std::string folder = path.substr(0, slash);
    // "C:" alone names the drive's current folder, not its root.
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}

// Item 4: the newer edition, else the older one, in the program's folder; nothing while the
// ATC program is connected (a running but unconnected one is started again).
void LaunchAtcProgram() {
    if (AtcProgramConnected()) return;
    char* folder = LocateAtcProgram();
    if (!folder) return;
    {
        ComScope com;
        if (com.Ready() &&
            !ShellStarted(ShellExecuteA(nullptr, nullptr, "QV3.exe", nullptr, folder, SW_SHOWNORMAL)))
            ShellExecuteA(nullptr, nullptr, "QV_Station.exe", nullptr, folder, SW_SHOWNORMAL);
    }
    HeapFree(GetProcessHeap(), 0, folder);
}

// Item 6: the PDF manual with the default verb, else the RTF one with "open".
void ShowManual() {
    const std::string pdf = SimulatorPath("\\Resources\\plugins\\DURarUravud\\DURarUravud.pdf");
    if (pdf.empty()) return;
    ComScope com;
    if (!com.Ready()) return;
    if (ShellStarted(ShellExecuteA(nullptr, nullptr, pdf.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) return;
    const std::string rtf = pdf.substr(0, pdf.rfind('\\') + 1) + "DURarUravud.rtf";
    ShellExecuteA(nullptr, "open", rtf.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Item 7: nothing when the simulator lacks the command.
void ToggleViewMode() {
    XPLMCommandRef command = XPLMFindCommand("sim/operation/toggle_full_screen");
    if (command) XPLMCommandOnce(command);
}

}  // namespace

void MenuHandler(void* menuRef, void* itemRef) {
    GuardedVoid("MenuHandler", [&] {
        switch (static_cast<intptr_t>(reinterpret_cast<uintptr_t>(itemRef))) {
            case MenuEnable:
                if (StartLink()) MenuAfterLinkStarted();
                break;
            case MenuDisable:
                if (StopLink()) MenuAfterLinkStopped();
                break;
            case MenuSettings:
                OpenSettingsWindow(kWindowWidth, kWindowHeight);
                break;
            case MenuFlightPlanning:
                FlightPlanning();
                break;
            case MenuLaunch:
                LaunchAtcProgram();
                break;
            case MenuKeyboardHints:
                ToggleKeyboardHints();  // option, check mark and window follow each other
                break;
            case MenuManual:
                ShowManual();
                break;
            case MenuViewMode:
                ToggleViewMode();
                break;
            case MenuAbout:
                OpenAboutWindow(kWindowWidth, kWindowHeight);
                break;
            default:
                break;  // not one of the nine items
        }
    });
}
