#include "config/atc_locate.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const kSetupEntries[] = {
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B41C07E9-2F83-4A6D-9C1E-5D08F3A7B922}_is1",
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3A7E19B2-6C40-4D1F-8E25-90B7C4D2A611}_is1",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3A7E19B2-6C40-4D1F-8E25-90B7C4D2A611}_is1",
};
const char* const kPackageEntries[] = {
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6E2F8D14-A395-4B7C-B0D2-71C9E58A3F03}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6E2F8D14-A395-4B7C-B0D2-71C9E58A3F03}",
};

char* HeapCopy(const char* text) {
    size_t n = strlen(text) + 1;
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, n));
    if (copy) memcpy(copy, text, n);
    return copy;
}

HKEY OpenFirst(const char* const* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, entries[i], 0, KEY_READ, &key) == ERROR_SUCCESS) return key;
    }
    return nullptr;
}

}  // namespace

char* LocateAtcProgram() {
    bool setupKind = true;
    HKEY key = OpenFirst(kSetupEntries, 4);
    if (!key) {
        setupKind = false;
        key = OpenFirst(kPackageEntries, 2);
    }
    if (!key) return nullptr;

    char value[256] = "";
    DWORD size = sizeof value - 1;  // room for a terminator the registry may not store
    LONG status = RegQueryValueExA(key, setupKind ? "Inno Setup: App Path" : "InstallLocation", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return nullptr;
    value[size < sizeof value ? size : sizeof value - 1] = 0;

    size_t len = strlen(value);
    if (len > 0 && value[len - 1] == '\\') value[--len] = 0;
    char path[MAX_PATH + 32];
    snprintf(path, sizeof path, "%s%s", value, setupKind ? "\\QV3.exe" : "\\QVE\\QV_Station.exe");
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return nullptr;
    char* slash = strrchr(path, '\\');
    slash[1] = 0;
    return HeapCopy(path);
}
