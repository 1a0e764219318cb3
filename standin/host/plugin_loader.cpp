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
