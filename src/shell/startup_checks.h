#pragma once
// What XPluginStart asks of Windows before it agrees to load.

// False on Windows XP and older (major version 5 or less).
bool WindowsVersionOk();
// False only for an administrator running without elevation (a filtered token).
bool ElevationOk();
bool Is64BitWindows();
// True when the process runs under 32-bit emulation on 64-bit Windows.
bool IsWow64();
