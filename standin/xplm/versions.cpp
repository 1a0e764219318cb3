// Simulator versions: what XPLMGetVersions answers, and the datarefs each version publishes, read
// from the vendor's published list of that version (datarefs/DataRefs-N.txt, copied into the
// simulator folder). A plug-in that finds a dataref the list marks REPLACED or DEPRECATED gets the
// line the simulator writes to its log for it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "world.h"

namespace sim {

namespace {

// The published type words: "int", "float", "double", "int[N]", "float[N]", "byte[N]" or
// "byte[]" (size left open). Gives false for anything else.
bool ParseType(const std::string& word, XPLMDataTypeID* type, int* size) {
    *size = 0;
    size_t bracket = word.find('[');
    std::string base = word.substr(0, bracket);
    if (bracket != std::string::npos) {
        if (word.back() != ']') return false;
        std::string count = word.substr(bracket + 1, word.size() - bracket - 2);
        if (!count.empty()) *size = atoi(count.c_str());
        if (*size < 0 || *size > 4096) return false;
        if (base == "int") *type = xplmType_IntArray;
        else if (base == "float") *type = xplmType_FloatArray;
        else if (base == "byte") *type = xplmType_Data;
        else return false;
        return true;
    }
    if (base == "int") *type = xplmType_Int;
    else if (base == "float") *type = xplmType_Float;
    else if (base == "double") *type = xplmType_Double;
    else return false;
    return true;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// The plug-in as the simulator names it in its log: its file's path under Resources/plugins.
std::string LogLabel(int pluginId) {
    Plugin* p = FindPlugin(pluginId);
    if (!p) return PluginName(pluginId);
    std::string path = p->path;
    std::string prefix = W().simFolder + "\\Resources\\plugins\\";
    if (path.size() > prefix.size() && _strnicmp(path.c_str(), prefix.c_str(), prefix.size()) == 0)
        path = path.substr(prefix.size());
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace

void NoteFoundDataRef(const std::string& name) {
    auto it = W().datarefStatus.find(name);
    if (it == W().datarefStatus.end()) return;
    const int plugin = CurrentPlugin();
    if (!W().datarefLogged.insert({plugin, name}).second) return;
    const bool replaced = it->second == "REPLACED";
    AppendLog(Format("[%s]: Dataref '%s' %s\n", LogLabel(plugin).c_str(), name.c_str(),
                     replaced ? "has been replaced. Please use the new name."
                              : "is deprecated and will be removed in a future version.")
                  .c_str());
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API int SIM_SetSimulatorVersion(int version, char* error, int errorSize) {
    auto fail = [&](const std::string& text) {
        if (error && errorSize > 0) snprintf(error, (size_t)errorSize, "%s", text.c_str());
        return 0;
    };
    // In the simulator folder; beside this DLL for test programs that run elsewhere.
    std::vector<std::string> folders = {W().simFolder + "\\Resources\\stand-in"};
    HMODULE self = nullptr;
    char dll[MAX_PATH] = "";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&SIM_SetSimulatorVersion), &self) &&
        GetModuleFileNameA(self, dll, MAX_PATH) > 0) {
        std::string folder = dll;
        folders.push_back(folder.substr(0, folder.find_last_of('\\')) + "\\Resources\\stand-in");
    }
    // A version later than every list the stand-in holds (12.4) takes the newest list before it.
    int listed = version;
    // The 11.55 list's lines are 10.41's: an 11.x before 11.55 publishes them too.
    if (version >= 11000 && version < 11550) listed = 11550;
    if (version >= 12400) {
        int best = 0;
        for (const std::string& folder : folders) {
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA((folder + "\\DataRefs-*.txt").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do {
                int n = atoi(found.cFileName + strlen("DataRefs-"));
                if (n <= version && n > best) best = n;
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        if (best >= 12100) listed = best;
    }
    std::string path = folders[0] + Format("\\DataRefs-%d.txt", listed);
    FILE* file = nullptr;
    for (const std::string& folder : folders) {
        std::string candidate = folder + Format("\\DataRefs-%d.txt", listed);
        file = fopen(candidate.c_str(), "rb");
        if (file) {
            path = candidate;
            break;
        }
    }
    if (!file) return fail(Format("no published dataref list for version %d (%s)", version, path.c_str()));
    W().xplaneVersion = version;
    char buffer[4096];
    int number = 0;
    std::string problem;
    while (fgets(buffer, sizeof buffer, file)) {
        ++number;
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        // The first line is the list's header; blank lines separate nothing.
        if (number == 1 || line.empty()) continue;
        std::vector<std::string> f = Fields(line);
        XPLMDataTypeID type = xplmType_Unknown;
        int size = 0;
        if (f.size() < 3 || f[0].empty() || !ParseType(f[1], &type, &size) || (f[2] != "y" && f[2] != "n")) {
            if (problem.empty()) problem = Format("%s line %d: not a dataref line", path.c_str(), number);
            continue;
        }
        const char* name = f[0].c_str();
        if (type == xplmType_Data) {
            std::vector<unsigned char> bytes((size_t)size, 0);
            SIM_SetDatarefBytes(name, bytes.data(), size);
        } else if (type == xplmType_IntArray || type == xplmType_FloatArray) {
            std::vector<double> items((size_t)size, 0.0);
            SIM_SetDatarefArray(name, type, items.data(), size);
        } else {
            double value = 0;
            SIM_GetDataref(name, &value);
            SIM_SetDataref(name, type, value);
        }
        SIM_SetDatarefWritable(name, f[2] == "y");
        const std::string status = f.size() > 5 ? f[5] : std::string();
        if (status.rfind("REPLACED", 0) == 0) W().datarefStatus[f[0]] = "REPLACED";
        else if (status.rfind("DEPRECATED", 0) == 0) W().datarefStatus[f[0]] = "DEPRECATED";
        else W().datarefStatus.erase(f[0]);
    }
    fclose(file);
    // From 11.20 on: whether the headset is on. Not among the lines the stand-in's lists keep.
    if (version >= 11200) {
        SIM_SetDataref("sim/graphics/VR/enabled", xplmType_Int, W().vrOn ? 1 : 0);
        SIM_SetDatarefWritable("sim/graphics/VR/enabled", 0);
    }
    ApplyApiLevel();
    if (!problem.empty()) return fail(problem);
    return 1;
}

SIM_API int SIM_SimulatorVersion(void) { return W().xplaneVersion; }

}  // extern "C"
