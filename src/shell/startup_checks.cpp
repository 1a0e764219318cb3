#include "shell/startup_checks.h"

#include <windows.h>

bool WindowsVersionOk() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    // A failed query leaves the major version 0, which refuses, as an unknown old system would.
    GetVersionExA(&version);
    return version.dwMajorVersion > 5;
}

bool ElevationOk() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) return true;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    bool limited = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) &&
                   type == TokenElevationTypeLimited;
    CloseHandle(token);
    return !limited;
}

bool Is64BitWindows() {
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return true;
    SYSTEM_INFO info = {};
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    auto native = reinterpret_cast<NativeInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo")));
    if (native) native(&info);
    else GetSystemInfo(&info);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4 &&
           (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
            info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA32_ON_WIN64);
}

bool IsWow64() {
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (!kernel) return false;
    typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (!isWow64) return false;
    BOOL answer = FALSE;
    if (!isWow64(GetCurrentProcess(), &answer)) return false;
    return answer != FALSE;
}
