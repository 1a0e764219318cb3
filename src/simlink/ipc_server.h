#pragma once
// What the plug-in knows of the IPC server plug-in itself: where its file lives, the identity it
// must present to FSUIPC clients, and its hot-key slots.
#include <string>

// The server's plug-in file, in the order it is looked for: XPUIPC built for this process's
// bitness, then XPUIPC+ (64-bit). Empty when the path would not fit 260 characters.
constexpr int kIpcServerPlaces = 2;
std::string IpcServerPluginPath(int place);
// Another server plug-in at a path of its own: the file of the module that owns a "UIPCMAIN"
// window of this process (the module of its window procedure, else of its instance; the host's
// executable never counts). Empty when there is none. Any thread (no simulator call).
std::string IpcServerWindowModulePath();
// The server plug-in the link was started with, when it is not at one of the places above (the
// text-source search looks into its image); empty to forget it. Any thread.
void RememberIpcServerPath(const std::string& path);
std::string RememberedIpcServerPath();

// The identity the server must present (simulator code, server version, marker, hot-key slot
// count): each read, and written when it differs.
void PrepareServerIdentity();
// Writes 0 into every hot-key slot of the IPC server, all in one exchange (with the identity
// marker at 0x330A).
void ClearServerHotkeys();
