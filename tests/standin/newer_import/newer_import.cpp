// A plug-in built against SDK 3.0.1 that imports a VR function directly instead of finding it with
// XPLMFindSymbol: a simulator older than 11.20 must refuse to load it.
#include <cstdio>
#include <cstring>

#include "XPLMDisplay.h"

extern "C" {

__declspec(dllexport) int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    strcpy(outName, "NewerImport");
    strcpy(outSignature, "test.newer-import");
    strcpy(outDescription, "Imports XPLMWindowIsInVR");
    return 1;
}
__declspec(dllexport) void XPluginStop(void) {}
__declspec(dllexport) int XPluginEnable(void) { return 1; }
__declspec(dllexport) void XPluginDisable(void) {}
__declspec(dllexport) void XPluginReceiveMessage(int, int, void*) {}
// Keeps the import: never called by the stand-in.
__declspec(dllexport) int NewerImportInVr(XPLMWindowID window) { return XPLMWindowIsInVR(window); }

}  // extern "C"
