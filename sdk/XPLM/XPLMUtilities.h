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

// ---- keys and buttons of the simulator's own command set
typedef int XPLMCommandKeyID;
enum { xplm_key_pause = 0, xplm_key_revthrust = 1, xplm_key_jettison = 2, xplm_key_brakesreg = 3,
       xplm_key_brakesmax = 4, xplm_key_gear = 5, xplm_key_timedn = 6, xplm_key_timeup = 7 };
typedef int XPLMCommandButtonID;
enum { xplm_joy_nothing = 0, xplm_joy_start_all = 1, xplm_joy_start_0 = 2 };
enum { xplm_KeyEventType = 0, xplm_ShiftEventType = 1, xplm_ControlEventType = 2 };

XPLM_API void XPLMSimulateKeyPress(int inKeyType, int inKey);
XPLM_API void XPLMSpeakString(const char* inString);
XPLM_API void XPLMCommandKeyStroke(XPLMCommandKeyID inKey);
XPLM_API void XPLMCommandButtonPress(XPLMCommandButtonID inButton);
XPLM_API void XPLMCommandButtonRelease(XPLMCommandButtonID inButton);
XPLM_API const char* XPLMGetVirtualKeyDescription(char inVirtualKey);
XPLM_API void XPLMReloadScenery(void);

// ---- files
// outPrefsPath takes 512 bytes: the full path of a preferences file in the preferences folder.
XPLM_API void XPLMGetPrefsPath(char* outPrefsPath);
// Cuts the path at its last separator; gives the file name part (inside inFullPath).
XPLM_API char* XPLMExtractFileAndPath(char* inFullPath);
// Names of a folder's entries, packed into outFileNames with outIndices pointing at each; 1 when
// all were returned.
XPLM_API int XPLMGetDirectoryContents(const char* inDirectoryPath, int inFirstReturn, char* outFileNames,
                                      int inFileNameBufSize, char** outIndices, int inIndexCount,
                                      int* outTotalFiles, int* outReturnedFiles);
typedef int XPLMDataFileType;
enum { xplm_DataFile_Situation = 1, xplm_DataFile_ReplayMovie = 2 };
XPLM_API int XPLMLoadDataFile(XPLMDataFileType inFileType, const char* inFilePath);
XPLM_API int XPLMSaveDataFile(XPLMDataFileType inFileType, const char* inFilePath);

// ---- the host
typedef int XPLMHostApplicationID;
enum { xplm_Host_Unknown = 0, xplm_Host_XPlane = 1 };
typedef int XPLMLanguageCode;
enum {
    xplm_Language_Unknown = 0,
    xplm_Language_English = 1,
    xplm_Language_French = 2,
    xplm_Language_German = 3,
    xplm_Language_Italian = 4,
    xplm_Language_Spanish = 5,
    xplm_Language_Korean = 6,
    xplm_Language_Russian = 7,
    xplm_Language_Greek = 8,
    xplm_Language_Japanese = 9,
    xplm_Language_Chinese = 10
};
XPLM_API int XPLMInitialized(void);
XPLM_API XPLMLanguageCode XPLMGetLanguage(void);
typedef void (*XPLMError_f)(const char* inMessage);
// Debug aid: inCallback hears of every API misuse this plug-in makes.
XPLM_API void XPLMSetErrorCallback(XPLMError_f inCallback);
XPLM_API void* XPLMFindSymbol(const char* inString);

// ---- command handlers
typedef int XPLMCommandPhase;
enum { xplm_CommandBegin = 0, xplm_CommandContinue = 1, xplm_CommandEnd = 2 };
// Returning 0 stops the command going on to later handlers and to the simulator.
typedef int (*XPLMCommandCallback_f)(XPLMCommandRef inCommand, XPLMCommandPhase inPhase, void* inRefcon);
XPLM_API void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                         void* inRefcon);
XPLM_API void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                           int inBefore, void* inRefcon);

#ifdef __cplusplus
}
#endif
