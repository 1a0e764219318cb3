#pragma once
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef void* XPLMCommandRef;

XPLM_API void XPLMDebugString(const char* inString);
XPLM_API void XPLMGetSystemPath(char* outSystemPath);
XPLM_API const char* XPLMGetDirectorySeparator(void);
XPLM_API void XPLMGetVersions(int* outXPlaneVersion, int* outXPLMVersion, int* outHostID);
XPLM_API XPLMCommandRef XPLMFindCommand(const char* inName);
XPLM_API void XPLMCommandBegin(XPLMCommandRef inCommand);
XPLM_API void XPLMCommandEnd(XPLMCommandRef inCommand);
XPLM_API void XPLMCommandOnce(XPLMCommandRef inCommand);
XPLM_API XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription);

#ifdef __cplusplus
}
#endif
