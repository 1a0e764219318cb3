// The rest of the utilities: simulated keys and speech, files and folders, situation files, the
// host's language, the error callback, symbol lookup and command handlers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "areas.h"
#include "world.h"

namespace sim {
namespace {

struct ErrorCallback {
    int owner;
    XPLMError_f fn;
};
std::vector<ErrorCallback> g_errorCallbacks;
bool g_inErrorCallback = false;

const char* const kSituationHeader = "X-Plane stand-in situation";
const char* const kReplayHeader = "X-Plane stand-in replay";

Command* LiveCommand(XPLMCommandRef ref, const char* api) {
    for (auto& entry : W().commands)
        if (entry.second.get() == ref) return entry.second.get();
    Misuse(Format("%s: not a command (%p)", api, ref));
    return nullptr;
}

std::string FullPath(const char* path) {
    std::string p = path ? path : "";
    for (char& c : p)
        if (c == '/') c = '\\';
    bool absolute = p.size() > 1 && (p[1] == ':' || p[0] == '\\');
    return absolute ? p : W().simFolder + "\\" + p;
}

struct KeyName {
    unsigned char vk;
    const char* name;
};
const KeyName kKeyNames[] = {
    {XPLM_VK_BACK, "BACK"},         {XPLM_VK_TAB, "TAB"},           {XPLM_VK_CLEAR, "CLEAR"},
    {XPLM_VK_RETURN, "RETURN"},     {XPLM_VK_ESCAPE, "ESCAPE"},     {XPLM_VK_SPACE, "SPACE"},
    {XPLM_VK_PRIOR, "PRIOR"},       {XPLM_VK_NEXT, "NEXT"},         {XPLM_VK_END, "END"},
    {XPLM_VK_HOME, "HOME"},         {XPLM_VK_LEFT, "LEFT"},         {XPLM_VK_UP, "UP"},
    {XPLM_VK_RIGHT, "RIGHT"},       {XPLM_VK_DOWN, "DOWN"},         {XPLM_VK_SELECT, "SELECT"},
    {XPLM_VK_PRINT, "PRINT"},       {XPLM_VK_EXECUTE, "EXECUTE"},   {XPLM_VK_SNAPSHOT, "SNAPSHOT"},
    {XPLM_VK_INSERT, "INSERT"},     {XPLM_VK_DELETE, "DELETE"},     {XPLM_VK_HELP, "HELP"},
    {XPLM_VK_MULTIPLY, "NUMPAD *"}, {XPLM_VK_ADD, "NUMPAD +"},      {XPLM_VK_SEPARATOR, "SEPARATOR"},
    {XPLM_VK_SUBTRACT, "NUMPAD -"}, {XPLM_VK_DECIMAL, "NUMPAD ."},  {XPLM_VK_DIVIDE, "NUMPAD /"},
    {XPLM_VK_EQUAL, "="},           {XPLM_VK_MINUS, "-"},           {XPLM_VK_RBRACE, "]"},
    {XPLM_VK_LBRACE, "["},          {XPLM_VK_QUOTE, "'"},           {XPLM_VK_SEMICOLON, ";"},
    {XPLM_VK_BACKSLASH, "\\"},      {XPLM_VK_COMMA, ","},           {XPLM_VK_SLASH, "/"},
    {XPLM_VK_PERIOD, "."},          {XPLM_VK_BACKQUOTE, "`"},       {XPLM_VK_ENTER, "ENTER"},
    {XPLM_VK_NUMPAD_ENT, "NUMPAD ENTER"}, {XPLM_VK_NUMPAD_EQ, "NUMPAD ="},
};

}  // namespace

void NotifyErrorCallback(const std::string& what) {
    // Plug-in code runs on the simulator's thread only; off-thread misuses are counted all the same.
    if (g_inErrorCallback || GetCurrentThreadId() != W().mainThread) return;
    int me = CurrentPlugin();
    for (const ErrorCallback& e : g_errorCallbacks) {
        if (e.owner != me) continue;
        g_inErrorCallback = true;
        e.fn(what.c_str());
        g_inErrorCallback = false;
        return;
    }
}

bool RunCommandHandlers(Command& command, XPLMCommandPhase phase) {
    // Before-handlers first; one that answers 0 keeps the command from everything after it.
    for (int before = 1; before >= 0; --before) {
        size_t count = command.handlers.size();  // handlers added now wait for the next run
        for (size_t i = 0; i < count; ++i) {
            CommandHandler h = command.handlers[i];
            if (h.dead || h.before != before) continue;
            int pass;
            {
                PluginScope scope(h.owner, "command");
                pass = h.fn(&command, phase, h.refcon);
            }
            if (!pass) return false;
        }
    }
    return true;
}

void RunHeldCommands() {
    for (auto& entry : W().commands)
        if (entry.second->held) RunCommandHandlers(*entry.second, xplm_CommandContinue);
}

void ResetSystem() { g_errorCallbacks.clear(); }

void ForgetSystem(int pluginId) {
    g_errorCallbacks.erase(std::remove_if(g_errorCallbacks.begin(), g_errorCallbacks.end(),
                                          [pluginId](const ErrorCallback& e) { return e.owner == pluginId; }),
                           g_errorCallbacks.end());
    for (auto& entry : W().commands)
        for (CommandHandler& h : entry.second->handlers)
            if (h.owner == pluginId) h.dead = true;
}

}  // namespace sim

using namespace sim;

extern "C" {

XPLM_API void XPLMSimulateKeyPress(int inKeyType, int inKey) {
    ApiCall("XPLMSimulateKeyPress");
    // The key goes to the simulator itself, never to plug-ins.
    if (Tracing("commands")) Event(Format("simulated key type=%d key=%d", inKeyType, inKey));
}

XPLM_API void XPLMSpeakString(const char* inString) {
    ApiCall("XPLMSpeakString");
    if (!inString) return;
    Event(Format("speak %s: \"%s\"", PluginName(CurrentPlugin()).c_str(), inString));
}

XPLM_API void XPLMCommandKeyStroke(XPLMCommandKeyID inKey) {
    ApiCall("XPLMCommandKeyStroke");
    if (Tracing("commands")) Event(Format("command key %d", inKey));
}

XPLM_API void XPLMCommandButtonPress(XPLMCommandButtonID inButton) {
    ApiCall("XPLMCommandButtonPress");
    if (Tracing("commands")) Event(Format("command button %d pressed", inButton));
}

XPLM_API void XPLMCommandButtonRelease(XPLMCommandButtonID inButton) {
    ApiCall("XPLMCommandButtonRelease");
    if (Tracing("commands")) Event(Format("command button %d released", inButton));
}

XPLM_API const char* XPLMGetVirtualKeyDescription(char inVirtualKey) {
    ApiCall("XPLMGetVirtualKeyDescription");
    static char one[2];
    static char function[8];
    unsigned char vk = (unsigned char)inVirtualKey;
    if ((vk >= XPLM_VK_0 && vk <= XPLM_VK_9) || (vk >= XPLM_VK_A && vk <= XPLM_VK_Z)) {
        one[0] = (char)vk;
        one[1] = 0;
        return one;
    }
    if (vk >= XPLM_VK_NUMPAD0 && vk <= XPLM_VK_NUMPAD9) {
        snprintf(function, sizeof function, "NUMPAD%d", vk - XPLM_VK_NUMPAD0);
        return function;
    }
    if (vk >= XPLM_VK_F1 && vk <= XPLM_VK_F24) {
        snprintf(function, sizeof function, "F%d", vk - XPLM_VK_F1 + 1);
        return function;
    }
    for (const KeyName& k : kKeyNames)
        if (k.vk == vk) return k.name;
    return "";
}

XPLM_API void XPLMReloadScenery(void) {
    ApiCall("XPLMReloadScenery");
    LogOnce("reloadscenery", "XPLMReloadScenery: the stand-in has no scenery to reload");
}

XPLM_API void XPLMGetPrefsPath(char* outPrefsPath) {
    ApiCall("XPLMGetPrefsPath");
    if (!outPrefsPath) return;
    snprintf(outPrefsPath, 512, "%s\\Output\\preferences\\Set X-Plane.prf", W().simFolder.c_str());
}

XPLM_API char* XPLMExtractFileAndPath(char* inFullPath) {
    ApiCall("XPLMExtractFileAndPath");
    if (!inFullPath) return nullptr;
    char* slash = strrchr(inFullPath, '\\');
    char* other = strrchr(inFullPath, '/');
    if (other > slash) slash = other;
    if (!slash) return inFullPath + strlen(inFullPath);  // no folder part: the file name is empty
    *slash = 0;
    return slash + 1;
}

XPLM_API int XPLMGetDirectoryContents(const char* inDirectoryPath, int inFirstReturn, char* outFileNames,
                                      int inFileNameBufSize, char** outIndices, int inIndexCount,
                                      int* outTotalFiles, int* outReturnedFiles) {
    ApiCall("XPLMGetDirectoryContents");
    if (outTotalFiles) *outTotalFiles = 0;
    if (outReturnedFiles) *outReturnedFiles = 0;
    if (!inDirectoryPath) return 0;
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((FullPath(inDirectoryPath) + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;  // no such folder: nothing to return is not "all returned"
    do {
        if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, "..")) names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    if (outTotalFiles) *outTotalFiles = (int)names.size();
    int first = inFirstReturn < 0 ? 0 : inFirstReturn;
    int returned = 0, used = 0;
    for (size_t i = (size_t)first; i < names.size(); ++i) {
        int need = (int)names[i].size() + 1;
        if (!outFileNames || used + need > inFileNameBufSize || (outIndices && returned >= inIndexCount) ||
            (!outIndices && inIndexCount > 0))
            break;
        memcpy(outFileNames + used, names[i].c_str(), need);
        if (outIndices) outIndices[returned] = outFileNames + used;
        used += need;
        returned++;
    }
    if (outReturnedFiles) *outReturnedFiles = returned;
    return first + returned >= (int)names.size() ? 1 : 0;
}

XPLM_API int XPLMInitialized(void) {
    ApiCall("XPLMInitialized");
    return 1;
}

XPLM_API XPLMLanguageCode XPLMGetLanguage(void) {
    ApiCall("XPLMGetLanguage");
    return xplm_Language_English;
}

XPLM_API void XPLMSetErrorCallback(XPLMError_f inCallback) {
    ApiCall("XPLMSetErrorCallback");
    int me = CurrentPlugin();
    g_errorCallbacks.erase(std::remove_if(g_errorCallbacks.begin(), g_errorCallbacks.end(),
                                          [me](const ErrorCallback& e) { return e.owner == me; }),
                           g_errorCallbacks.end());
    if (inCallback) g_errorCallbacks.push_back({me, inCallback});
}

XPLM_API void* XPLMFindSymbol(const char* inString) {
    ApiCall("XPLMFindSymbol");
    if (!inString) return nullptr;
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&XPLMFindSymbol), &self);
    // Only the API's own functions, not the stand-in's test interface.
    if (!self || strncmp(inString, "XPLM", 4) != 0) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(self, inString));
}

XPLM_API int XPLMSaveDataFile(XPLMDataFileType inFileType, const char* inFilePath) {
    ApiCall("XPLMSaveDataFile");
    if (!inFilePath || (inFileType != xplm_DataFile_Situation && inFileType != xplm_DataFile_ReplayMovie)) return 0;
    // The stand-in's situation is its datarefs, every digit kept.
    std::ofstream out(FullPath(inFilePath), std::ios::binary);
    out << (inFileType == xplm_DataFile_Situation ? kSituationHeader : kReplayHeader) << "\n";
    for (auto& entry : W().datarefs) {
        const DataRef& d = *entry.second;
        // Type sets are numbers so that they come back unchanged; values keep every digit.
        if (!d.bytes.empty()) {
            std::string hex;
            for (unsigned char b : d.bytes) hex += Format("%02x", b);
            out << Format("bytes %s %s\n", d.name.c_str(), hex.c_str());
        } else if (d.types & (xplmType_IntArray | xplmType_FloatArray)) {
            out << Format("array %s %d %d", d.name.c_str(), (int)d.types, (int)d.items.size());
            for (double v : d.items) out << Format(" %.17g", v);
            out << "\n";
        } else {
            out << Format("dataref %s %d %.17g\n", d.name.c_str(), (int)d.types, d.value);
        }
    }
    out.flush();
    return out.good() ? 1 : 0;
}

XPLM_API int XPLMLoadDataFile(XPLMDataFileType inFileType, const char* inFilePath) {
    ApiCall("XPLMLoadDataFile");
    if (!inFilePath || (inFileType != xplm_DataFile_Situation && inFileType != xplm_DataFile_ReplayMovie)) return 0;
    std::ifstream in(FullPath(inFilePath), std::ios::binary);
    std::string line;
    if (!std::getline(in, line) ||
        line != (inFileType == xplm_DataFile_Situation ? kSituationHeader : kReplayHeader))
        return 0;
    // Read whole before anything changes: a damaged file changes nothing.
    struct Value {
        std::string kind, name;
        int types = 0;
        std::vector<double> items;
        std::vector<unsigned char> bytes;
    };
    std::vector<Value> values;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Value v;
        if (!(fields >> v.kind >> v.name)) return 0;
        if (v.kind == "bytes") {
            std::string hex;
            if (!(fields >> hex) || hex.size() % 2) return 0;
            for (size_t i = 0; i < hex.size(); i += 2) {
                char* end = nullptr;
                std::string pair = hex.substr(i, 2);
                unsigned long b = strtoul(pair.c_str(), &end, 16);
                if (*end) return 0;
                v.bytes.push_back((unsigned char)b);
            }
        } else if (v.kind == "array") {
            int count = 0;
            if (!(fields >> v.types >> count) || count < 0 || count > 1 << 20) return 0;
            v.items.resize(count);
            for (double& item : v.items)
                if (!(fields >> item)) return 0;
        } else if (v.kind == "dataref") {
            double value = 0;
            if (!(fields >> v.types >> value)) return 0;
            v.items.push_back(value);
        } else {
            return 0;
        }
        values.push_back(std::move(v));
    }
    for (const Value& v : values) {
        int writable = SIM_DatarefWritable(v.name.c_str());
        if (v.kind == "bytes") SIM_SetDatarefBytes(v.name.c_str(), v.bytes.data(), (int)v.bytes.size());
        else if (v.kind == "array") SIM_SetDatarefArray(v.name.c_str(), v.types, v.items.data(), (int)v.items.size());
        else SIM_SetDataref(v.name.c_str(), v.types, v.items[0]);
        if (writable >= 0) SIM_SetDatarefWritable(v.name.c_str(), writable);
    }
    return 1;
}

XPLM_API void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                         void* inRefcon) {
    ApiCall("XPLMRegisterCommandHandler");
    Command* c = LiveCommand(inComand, "XPLMRegisterCommandHandler");
    if (!c) return;
    if (!inHandler) {
        Misuse("XPLMRegisterCommandHandler: no handler");
        return;
    }
    c->handlers.push_back({inHandler, inBefore ? 1 : 0, inRefcon, CurrentPlugin(), false});
}

XPLM_API void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                           int inBefore, void* inRefcon) {
    ApiCall("XPLMUnregisterCommandHandler");
    Command* c = LiveCommand(inComand, "XPLMUnregisterCommandHandler");
    if (!c) return;
    for (CommandHandler& h : c->handlers)
        if (!h.dead && h.fn == inHandler && h.before == (inBefore ? 1 : 0) && h.refcon == inRefcon) {
            h.dead = true;  // marked only: it may be running now
            return;
        }
}

}  // extern "C"
