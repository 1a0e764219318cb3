// A test plug-in that makes the calls the host intercepts, on request (messages 1-4 from the
// simulator), and logs what came back, so scenarios can check the interception end to end.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "XPLMPlugin.h"
#include "XPLMUtilities.h"

namespace {
void Log(const char* format, long long value, const char* text = "") {
    char line[600];
    snprintf(line, sizeof line, format, value, text);
    XPLMDebugString(line);
}
COLORREF g_custom[16];
}  // namespace

extern "C" {

int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    strcpy(outName, "Probe");
    strcpy(outSignature, "test.probe");
    strcpy(outDescription, "Makes intercepted calls");
    return 1;
}

void XPluginStop(void) {}
int XPluginEnable(void) { return 1; }
void XPluginDisable(void) {}

void XPluginReceiveMessage(XPLMPluginID from, int message, void* param) {
    switch (message) {
        case 1:
            Log("probe: MessageBoxA gave %lld%s\n",
                MessageBoxA(nullptr, "Proceed?\nReally", "Probe", MB_YESNO | MB_ICONQUESTION));
            break;
        case 2: {
            char file[MAX_PATH] = "";
            OPENFILENAMEA ofn = {};
            ofn.lStructSize = sizeof ofn;
            ofn.hInstance = GetModuleHandleA(nullptr);
            ofn.lpstrFilter = "Executable\0*.exe\0";
            ofn.nFilterIndex = 1;
            ofn.lpstrFile = file;
            ofn.nMaxFile = sizeof file;
            ofn.lpstrTitle = "Pick one";
            ofn.lpstrInitialDir = "C:\\";
            ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
            BOOL ok = GetOpenFileNameA(&ofn);
            Log("probe: GetOpenFileNameA gave %lld file \"%s\"\n", ok, file);
            break;
        }
        case 3: {
            CHOOSECOLORA cc = {};
            cc.lStructSize = sizeof cc;
            cc.rgbResult = RGB(1, 2, 3);
            cc.lpCustColors = g_custom;
            cc.Flags = CC_RGBINIT | CC_FULLOPEN;
            BOOL ok = ChooseColorA(&cc);
            char rgb[32];
            snprintf(rgb, sizeof rgb, "%d,%d,%d", GetRValue(cc.rgbResult), GetGValue(cc.rgbResult),
                     GetBValue(cc.rgbResult));
            Log("probe: ChooseColorA gave %lld colour %s\n", ok, rgb);
            break;
        }
        case 4: {
            HINSTANCE result = ShellExecuteA(nullptr, "open", "manual.pdf", nullptr, "C:\\docs", SW_SHOWNORMAL);
            Log("probe: ShellExecuteA gave %lld%s\n", (long long)(intptr_t)result);
            break;
        }
        default:
            break;
    }
}

}  // extern "C"
