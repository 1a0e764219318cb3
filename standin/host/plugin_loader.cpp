// Finds and starts the plug-ins of the simulator folder, as the simulator does at launch.
#include <algorithm>
#include <cstring>

#include "XPLMPlugin.h"
#include "common/sim_control.h"
#include "host.h"

namespace {
std::vector<LoadedPlugin> g_plugins;

std::vector<std::string> Folders(const std::string& parent) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((parent + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strcmp(data.cFileName, ".") &&
            strcmp(data.cFileName, ".."))
            names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

bool Exists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The plug-in file of one folder: 64\win.xpl, else the first win_x64\*.xpl.
std::string PluginFile(const std::string& folder) {
    if (Exists(folder + "\\64\\win.xpl")) return folder + "\\64\\win.xpl";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\win_x64\\*.xpl").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return "";
    std::string file = folder + "\\win_x64\\" + data.cFileName;
    FindClose(find);
    return file;
}
// Windows refuses a library that imports a function its DLL does not export (error 127); Wine
// loads it with a stub that fails only when called. The simulator's libraries export only what
// the chosen version has, so a plug-in importing a newer function is refused here as on Windows.
// Gives the first missing import ("DLL!NAME"), or "" when every one is there.
std::string MissingApiImport(const std::string& file) {
    HMODULE image = LoadLibraryExA(file.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image) return "";
    std::string missing;
    const auto* base = reinterpret_cast<const unsigned char*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto inside = [size](DWORD rva, DWORD length) { return rva < size && length <= size - rva; };
    for (DWORD at = dir.VirtualAddress; dir.VirtualAddress && missing.empty() &&
                                        inside(at, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + at);
        if (!d->Name) break;
        if (!inside(d->Name, 1)) break;
        const char* dll = reinterpret_cast<const char*>(base + d->Name);
        if (_stricmp(dll, "XPLM_64.dll") != 0 && _stricmp(dll, "XPWidgets_64.dll") != 0) continue;
        HMODULE api = GetModuleHandleA(dll);
        DWORD thunk = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        for (; api && inside(thunk, sizeof(ULONGLONG)); thunk += sizeof(ULONGLONG)) {
            const ULONGLONG entry = *reinterpret_cast<const ULONGLONG*>(base + thunk);
            if (!entry) break;
            if (entry & IMAGE_ORDINAL_FLAG64) {
                if (!GetProcAddress(api, MAKEINTRESOURCEA(entry & 0xFFFF)))
                    missing = std::string(dll) + "!#" + std::to_string(entry & 0xFFFF);
            } else if (inside((DWORD)entry + 2, 1)) {
                const char* name = reinterpret_cast<const char*>(base + entry + 2);
                if (!GetProcAddress(api, name)) missing = std::string(dll) + "!" + name;
            }
            if (!missing.empty()) break;
        }
    }
    FreeLibrary(image);
    return missing;
}
}  // namespace

const std::vector<LoadedPlugin>& Plugins() { return g_plugins; }

void LoadPlugins() {
    RememberApiEntries();
    std::string root = HostFolder();
    std::string pluginsDir = root + "\\Resources\\plugins";
    for (const std::string& name : Folders(pluginsDir)) {
        std::string file = PluginFile(pluginsDir + "\\" + name);
        if (file.empty()) continue;
        // A second "load" starts only what is not running yet (refused plug-ins get another try).
        bool running = false;
        for (const LoadedPlugin& p : g_plugins) running = running || (p.id >= 0 && !_stricmp(p.path.c_str(), file.c_str()));
        if (running) continue;
        std::string shown = file.substr(root.size() + 1);
        const std::string missing = MissingApiImport(file);
        if (!missing.empty()) {
            Out("load " + shown + ": cannot be loaded (error " + std::to_string(ERROR_PROC_NOT_FOUND) + ", no " +
                missing + ")");
            continue;
        }
        HMODULE module = LoadLibraryA(file.c_str());
        if (!module) {
            Out("load " + shown + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")");
            continue;
        }
        PatchPluginImports(module);
        int id = SIM_StartPlugin(file.c_str(), module);
        if (id < 0) {
            Out("load " + shown + ": refused to load");
            FreeLibrary(module);
            continue;
        }
        char name256[256] = "", sig[256] = "", desc[256] = "";
        XPLMGetPluginInfo(id, name256, nullptr, sig, desc);
        Out("load " + shown + ": started as " + Quote(name256) + " signature " + Quote(sig) + " description " +
            Quote(desc));
        g_plugins.push_back({file, module, id});
    }
}

int PluginIdByName(const std::string& key) {
    for (const LoadedPlugin& p : g_plugins) {
        char name[256] = "", sig[256] = "";
        XPLMGetPluginInfo(p.id, name, nullptr, sig, nullptr);
        if (key == name || key == sig) return p.id;
    }
    return -1;
}

std::string ControlPlugin(const std::string& key, const std::string& command, std::string* error) {
    int id = PluginIdByName(key);
    for (const LoadedPlugin& p : g_plugins) {
        if (p.id != id || id < 0) continue;
        typedef int (*ControlFn)(const char*, char*, int);
        auto control = reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(p.module, "StandInControl")));
        if (!control) {
            *error = key + " takes no control commands";
            return "";
        }
        std::vector<char> out(64 * 1024, 0);
        // As a message to the plug-in would: its code runs as its callback.
        SIM_EnterPlugin(p.id);
        int ok = control(command.c_str(), out.data(), (int)out.size());
        SIM_LeavePlugin();
        out.back() = 0;
        if (!ok) *error = key + ": " + out.data();
        return out.data();
    }
    *error = "no plug-in " + key;
    return "";
}
