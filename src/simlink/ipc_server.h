#pragma once
// What the plug-in knows of the IPC server plug-in itself: where its file lives, the identity it
// must present to FSUIPC clients, and its hot-key slots.
#include <windows.h>

#include <string>
#include <vector>

// The server's plug-in file, in the order it is looked for: XPUIPC built for this process's
// bitness, then XPUIPC+ (64-bit). Empty when the path would not fit 260 characters.
constexpr int kIpcServerPlaces = 2;
std::string IpcServerPluginPath(int place);
// Where another server plug-in at a path of its own may live: the files of the modules that own
// a "UIPCMAIN" window of this process (the module of its window procedure, then of its instance;
// the host's executable never counts), in window order. Any thread (no simulator call).
std::vector<std::string> IpcServerWindowModulePaths();
// The server plug-in's own window in this process ("UIPCMAIN", else "FS98MAIN", never our hidden
// one): of the remembered server's module when one is remembered (none while that module is not
// loaded), else the first of this process. Null when there is none. Any thread.
HWND FindIpcServerWindow();
// The server plug-in the link was started with (the text-source search looks into its image, the
// link talks to its window); empty to forget it. Any thread.
void RememberIpcServerPath(const std::string& path);
std::string RememberedIpcServerPath();

// The identity the server must present (simulator code, server version, marker, hot-key slot
// count): each read, and written when it differs.
void PrepareServerIdentity();
// Writes 0 into every hot-key slot of the IPC server, all in one exchange (with the identity
// marker at 0x330A).
void ClearServerHotkeys();
