// Stand-in for the IPC server plug-in "XPUIPC": serves the FSUIPC protocol on a 64 KiB offset
// table through a "UIPCMAIN" window of the simulator's main thread, keeps the hot-key slots and
// shows messages in a one-line strip. Test equipment; see README.md.
#include <cstring>

#include "XPLMPlugin.h"
#include "XPLMUtilities.h"
#include "xpuipc.h"

extern "C" {

int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    strcpy(outName, "XPUIPC");
    strcpy(outSignature, "stand-in.xpuipc");
    strcpy(outDescription, "IPC server plug-in stand-in");
    try {
        xpuipc::TableReset();
        xpuipc::TextStripStart();
        xpuipc::IdentityStart();
    } catch (...) {
        return 0;
    }
    // The window belongs to the thread that enables us: the simulator's main thread.
    if (!xpuipc::ServerStart()) {
        XPLMDebugString("XPUIPC: cannot create the UIPCMAIN window\n");
        xpuipc::IdentityStop();
        xpuipc::TextStripStop();
        xpuipc::ServerStop();
        return 0;
    }
    xpuipc::RunStartupCommands();
    return 1;
}

void XPluginStop(void) {
    xpuipc::ServerStop();
    xpuipc::IdentityStop();
    xpuipc::TextStripStop();
    xpuipc::TableFree();
}

int XPluginEnable(void) {
    if (!xpuipc::ServerEnable(true)) {
        XPLMDebugString("XPUIPC: cannot create the UIPCMAIN window\n");
        xpuipc::ServerEnable(false);
        return 0;
    }
    xpuipc::TextStripEnable(true);
    return 1;
}

void XPluginDisable(void) {
    xpuipc::TextStripEnable(false);
    xpuipc::ServerEnable(false);
}

void XPluginReceiveMessage(XPLMPluginID, int, void*) {}

}  // extern "C"
