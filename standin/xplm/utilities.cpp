// The log, system paths and commands.
#include <cstring>

#include "world.h"

namespace sim {

static Command* LiveCommand(XPLMCommandRef ref, const char* api) {
    for (auto& entry : W().commands)
        if (entry.second.get() == ref) return entry.second.get();
    if (ref) Misuse(Format("%s: not a command (%p)", api, ref));
    return nullptr;
}

static void Run(Command* c) {
    if (!c) return;
    // A handler may keep the command from the simulator; the count is what the simulator ran.
    if (!RunCommandHandlers(*c, xplm_CommandBegin)) return;
    c->runs++;
    if (Tracing("commands")) Event(Format("command %s run by %s", c->name.c_str(), PluginName(CurrentPlugin()).c_str()));
}

std::string DescribeCommands() {
    std::string out;
    for (auto& entry : W().commands) out += Format("command %s runs=%d\n", entry.first.c_str(), entry.second->runs);
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_DefineCommand(const char* name) {
    if (!name) return;
    auto& slot = W().commands[name];
    if (!slot) {
        slot = std::make_unique<Command>();
        slot->name = name;
    }
}

SIM_API void SIM_RemoveCommand(const char* name) {
    auto it = W().commands.find(name ? name : "");
    if (it == W().commands.end()) return;
    static std::vector<std::unique_ptr<Command>> retired;  // handles given out stay valid memory
    retired.push_back(std::move(it->second));
    W().commands.erase(it);
}

SIM_API int SIM_CommandRunCount(const char* name) {
    auto it = W().commands.find(name ? name : "");
    return it == W().commands.end() ? -1 : it->second->runs;
}

XPLM_API void XPLMDebugString(const char* inString) {
    ApiCall("XPLMDebugString");
    if (!inString) return;
    AppendLog(inString);
    if (Tracing("log")) {
        std::string line = inString;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        Event("log " + line);
    }
}

XPLM_API void XPLMGetSystemPath(char* outSystemPath) {
    ApiCall("XPLMGetSystemPath");
    if (!outSystemPath) return;
    std::string path = W().simFolder + "\\";
    // The SDK asks for a 512-byte buffer.
    strncpy(outSystemPath, path.c_str(), 511);
    outSystemPath[511] = 0;
}

XPLM_API const char* XPLMGetDirectorySeparator(void) {
    ApiCall("XPLMGetDirectorySeparator");
    return "\\";
}

XPLM_API void XPLMGetVersions(int* outXPlaneVersion, int* outXPLMVersion, int* outHostID) {
    ApiCall("XPLMGetVersions");
    // The SDK level each version brought: 300 with 11.10, 301 with 11.20, 303 with 11.50, 400 with
    // 12.0, 410 with 12.1.
    const int version = W().xplaneVersion;
    if (outXPlaneVersion) *outXPlaneVersion = version;
    if (outXPLMVersion)
        *outXPLMVersion = version >= 12100   ? 410
                          : version >= 12000 ? 400
                          : version >= 11500 ? 303
                          : version >= 11200 ? 301
                          : version >= 11100 ? 300
                                             : 210;
    if (outHostID) *outHostID = 1;
}

XPLM_API XPLMCommandRef XPLMFindCommand(const char* inName) {
    ApiCall("XPLMFindCommand");
    auto it = W().commands.find(inName ? inName : "");
    return it == W().commands.end() ? nullptr : it->second.get();
}

XPLM_API void XPLMCommandBegin(XPLMCommandRef inCommand) {
    ApiCall("XPLMCommandBegin");
    Command* c = LiveCommand(inCommand, "XPLMCommandBegin");
    Run(c);
    if (c) c->held = true;
}

XPLM_API void XPLMCommandEnd(XPLMCommandRef inCommand) {
    ApiCall("XPLMCommandEnd");
    Command* c = LiveCommand(inCommand, "XPLMCommandEnd");
    if (!c || !c->held) return;
    c->held = false;
    RunCommandHandlers(*c, xplm_CommandEnd);
}

XPLM_API void XPLMCommandOnce(XPLMCommandRef inCommand) {
    ApiCall("XPLMCommandOnce");
    Command* c = LiveCommand(inCommand, "XPLMCommandOnce");
    Run(c);
    if (c) RunCommandHandlers(*c, xplm_CommandEnd);
}

XPLM_API XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription) {
    ApiCall("XPLMCreateCommand");
    if (!inName) return nullptr;
    SIM_DefineCommand(inName);
    return W().commands[inName].get();
}

}  // extern "C"
