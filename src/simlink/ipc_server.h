#pragma once
// What the plug-in knows of the IPC server plug-in itself: where its file lives, the identity it
// must present to FSUIPC clients, and its hot-key slots.
#include <string>

// The server's plug-in file, in the order it is looked for: XPUIPC built for this process's
// bitness, then XPUIPC+ (64-bit). Empty when the path would not fit 260 characters.
constexpr int kIpcServerPlaces = 2;
std::string IpcServerPluginPath(int place);

// The identity the server must present (simulator code, server version, marker, hot-key slot
// count): each read, and written when it differs.
void PrepareServerIdentity();
// Writes 0 into every hot-key slot of the IPC server, all in one exchange (with the identity
// marker at 0x330A).
void ClearServerHotkeys();
