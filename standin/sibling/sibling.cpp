// Stand-in for the sibling plug-in "RX9toXplane": it loads, and records in the simulator's log
// every message another plug-in sends it, so scenarios can see who asked it to stop.
#include <cstdio>
#include <cstring>

#include "XPLMPlugin.h"
#include "XPLMUtilities.h"

extern "C" {

int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    strcpy(outName, "RX9toXplane");
    strcpy(outSignature, "ndvq.RX9toXplane");
    strcpy(outDescription, "Sibling plug-in stand-in");
    return 1;
}

void XPluginStop(void) {}

int XPluginEnable(void) { return 1; }

void XPluginDisable(void) {}

void XPluginReceiveMessage(XPLMPluginID from, int message, void* param) {
    // The simulator's own messages are not of interest.
    if (from == XPLM_PLUGIN_XPLANE) return;
    char name[256] = "";
    XPLMGetPluginInfo(from, name, nullptr, nullptr, nullptr);
    char line[400];
    snprintf(line, sizeof line, "RX9toXplane: message 0x%X from %s\n", message, name);
    XPLMDebugString(line);
}

}  // extern "C"
