#include "config/atc_locate.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "config/options.h"

namespace {

// Entries of the setup program (two editions' ids; 32-bit view first) and of the installer package.
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

constexpr DWORD kValueBuffer = 256;
constexpr DWORD kPathBuffer = 260;

char* HeapCopy(const std::string& text) {
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, text.size() + 1));
    if (copy) memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HKEY OpenFirst(const char* const* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, entries[i], 0, KEY_READ, &key) == ERROR_SUCCESS) return key;
    }
    return nullptr;
}

// The value as text; false when missing or longer than the buffer allows (never cut short).
bool ReadValue(HKEY key, const char* name, std::string* out) {
    char value[kValueBuffer + 1] = "";
    DWORD size = kValueBuffer;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return false;
    value[size <= kValueBuffer ? size : kValueBuffer] = 0;
    *out = value;
    return true;
}

// The folder of a file path: file name and any trailing backslash removed, then one backslash.
std::string FolderOf(const std::string& path) {
    std::string folder = path.substr(0, path.find_last_of('\\') == std::string::npos ? 0 : path.find_last_of('\\'));
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder + "\\";
}

}  // namespace

bool BrowseForAtcProgram(char* file) {
    char chosen[kPathBuffer] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr;
    dialog.hInstance = GetModuleHandleA(nullptr);
    dialog.lpstrFilter = "Executable\0*.exe\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = kPathBuffer;
    dialog.lpstrTitle = "Please provide path to Qvestation program file";
    dialog.lpstrInitialDir = "C:\\";
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&dialog)) return false;
    chosen[kPathBuffer - 1] = 0;
    const char* slash = strrchr(chosen, '\\');
    if (!slash) return false;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, slash + 1, -1, "QV_Station.exe", -1) != CSTR_EQUAL)
        return false;
    memcpy(file, chosen, strlen(chosen) + 1);
    return strlen(file) > 4;
}

char* LocateAtcProgram() {
    // 1. The installers' registry entries.
    bool setupKind = true;
    HKEY key = OpenFirst(kSetupEntries, 4);
    if (!key) {
        setupKind = false;
        key = OpenFirst(kPackageEntries, 2);
    }
    if (key) {
        std::string value;
        bool read = ReadValue(key, setupKind ? "Inno Setup: App Path" : "InstallLocation", &value);
        RegCloseKey(key);
        if (read) {
            while (!value.empty() && value.back() == '\\') value.pop_back();
            std::string exe = value + (setupKind ? "\\QV3.exe" : "\\QVE\\QV_Station.exe");
            if (FileExists(exe)) return HeapCopy(FolderOf(exe));
        }
    }

    // 2. The folder remembered in the configuration file.
    FlushOptionWrites();
    std::string config = ConfigFilePath();
    char configured[kPathBuffer] = "";
    DWORD length = config.empty() ? 0
                                  : GetPrivateProfileStringA("OPTIONS", "QVEpath", "", configured, kPathBuffer,
                                                             config.c_str());
    if (length >= 2) {
        // A value the buffer cut short names another folder: treat it as stale.
        if (length >= kPathBuffer - 1) return nullptr;
        std::string exe = std::string(configured) + (setupKind ? "QV3.exe" : "QV_Station.exe");
        bool networkPath = exe.find("\\\\") != std::string::npos;
        if (!networkPath && !FileExists(exe)) return nullptr;
        return HeapCopy(FolderOf(exe));
    }

    // 3. The user.
    MessageBoxA(nullptr,
                "No path to Qvestation QV_Station.exe was found in the registry.\nIn the next dialog, please browse "
                "for QV_Station.exe location.\n\nThank you",
                "DURarUravud", MB_OK | MB_ICONINFORMATION);
    char chosen[kPathBuffer] = "";
    if (!BrowseForAtcProgram(chosen) || !FileExists(chosen)) return nullptr;
    std::string folder = FolderOf(chosen);
    WriteOptionText("QVEpath", folder.c_str());
    return HeapCopy(folder);
}
