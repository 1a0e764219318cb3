// Plug-in registry and lifecycle, and the plug-in part of the simulator API.
#include <algorithm>
#include <cstring>

#include "XPLMPlugin.h"
#include "world.h"

namespace sim {

Plugin* FindPlugin(int id) {
    for (auto& p : W().plugins)
        if (p->id == id) return p.get();
    return nullptr;
}

std::string PluginName(int id) {
    if (id == 0) return "X-Plane";
    Plugin* p = FindPlugin(id);
    return p ? p->name : Format("plugin#%d", id);
}

static std::string NormalPath(const char* path) {
    std::string s = path ? path : "";
    for (char& c : s) {
        if (c == '/') c = '\\';
        c = (char)tolower((unsigned char)c);
    }
    return s;
}

static void CopyOut(char* out, const std::string& text) {
    // The SDK promises 256-byte buffers.
    if (!out) return;
    size_t n = std::min<size_t>(text.size(), 255);
    memcpy(out, text.data(), n);
    out[n] = 0;
}

std::string DescribePlugins() {
    std::string out;
    for (auto& p : W().plugins)
        out += Format("plugin %d \"%s\" sig=\"%s\" desc=\"%s\" %s\n", p->id, p->name.c_str(), p->signature.c_str(),
                      p->description.c_str(), p->enabled ? "enabled" : "disabled");
    return out;
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API int SIM_StartPlugin(const char* path, void* module) {
    HMODULE mod = (HMODULE)module;
    auto p = std::make_unique<Plugin>();
    p->path = path ? path : "";
    p->module = mod;
    p->start = (PluginStartFn)GetProcAddress(mod, "XPluginStart");
    p->stop = (PluginVoidFn)GetProcAddress(mod, "XPluginStop");
    p->enable = (PluginEnableFn)GetProcAddress(mod, "XPluginEnable");
    p->disable = (PluginVoidFn)GetProcAddress(mod, "XPluginDisable");
    p->receive = (PluginMessageFn)GetProcAddress(mod, "XPluginReceiveMessage");
    if (!p->start || !p->stop || !p->enable || !p->disable || !p->receive) return -1;
    p->id = W().nextPluginId++;
    Plugin* plugin = p.get();
    W().plugins.push_back(std::move(p));
    NotePluginModules();

    // Name, signature and description buffers are 256 bytes, as the SDK defines.
    char name[256] = "", signature[256] = "", description[256] = "";
    int ok;
    {
        PluginScope scope(plugin->id, "start");
        ok = plugin->start(name, signature, description);
    }
    name[255] = signature[255] = description[255] = 0;
    plugin->name = name;
    plugin->signature = signature;
    plugin->description = description;
    if (!ok) {
        int id = plugin->id;
        ForgetPluginObjects(id);
        W().plugins.erase(std::remove_if(W().plugins.begin(), W().plugins.end(),
                                         [id](const std::unique_ptr<Plugin>& q) { return q->id == id; }),
                          W().plugins.end());
        NotePluginModules();
        return -1;
    }
    NotePluginModules();
    return plugin->id;
}

SIM_API int SIM_EnablePlugin(int id) {
    Plugin* p = FindPlugin(id);
    if (!p) return 0;
    if (p->enabled) return 1;
    int ok;
    {
        PluginScope scope(id, "enable");
        ok = p->enable();
    }
    p->enabled = ok != 0;
    return ok;
}

SIM_API void SIM_DisablePlugin(int id) {
    Plugin* p = FindPlugin(id);
    if (!p || !p->enabled) return;
    {
        PluginScope scope(id, "disable");
        p->disable();
    }
    p->enabled = false;
}

SIM_API void SIM_StopPlugin(int id) {
    Plugin* p = FindPlugin(id);
    if (!p) return;
    SIM_DisablePlugin(id);
    {
        PluginScope scope(id, "stop");
        p->stop();
    }
    ForgetPluginObjects(id);
    W().plugins.erase(std::remove_if(W().plugins.begin(), W().plugins.end(),
                                     [id](const std::unique_ptr<Plugin>& q) { return q->id == id; }),
                      W().plugins.end());
    NotePluginModules();
}

SIM_API int SIM_PluginCount(void) { return (int)W().plugins.size(); }

SIM_API int SIM_PluginIdAt(int index) {
    if (index < 0 || index >= (int)W().plugins.size()) return -1;
    return W().plugins[index]->id;
}

static void Deliver(Plugin* p, int from, int message, void* param) {
    if (!p || !p->enabled) return;
    if (Tracing("messages"))
        Event(Format("message 0x%X from %s to %s", message, PluginName(from).c_str(), p->name.c_str()));
    PluginScope scope(p->id, "plug-in message");
    p->receive(from, message, param);
}

SIM_API void SIM_SendMessage(int id, int message, void* param) {
    if (id == -1) {
        std::vector<int> ids;
        for (auto& p : W().plugins) ids.push_back(p->id);
        for (int target : ids) Deliver(FindPlugin(target), 0, message, param);
    } else {
        Deliver(FindPlugin(id), 0, message, param);
    }
}

XPLM_API XPLMPluginID XPLMGetMyID(void) {
    ApiCall("XPLMGetMyID");
    return CurrentPlugin();
}

XPLM_API int XPLMCountPlugins(void) {
    ApiCall("XPLMCountPlugins");
    return (int)W().plugins.size();
}

XPLM_API XPLMPluginID XPLMGetNthPlugin(int inIndex) {
    ApiCall("XPLMGetNthPlugin");
    return SIM_PluginIdAt(inIndex);
}

XPLM_API XPLMPluginID XPLMFindPluginByPath(const char* inPath) {
    ApiCall("XPLMFindPluginByPath");
    std::string wanted = NormalPath(inPath);
    for (auto& p : W().plugins)
        if (NormalPath(p->path.c_str()) == wanted) return p->id;
    return XPLM_NO_PLUGIN_ID;
}

XPLM_API XPLMPluginID XPLMFindPluginBySignature(const char* inSignature) {
    ApiCall("XPLMFindPluginBySignature");
    if (!inSignature) return XPLM_NO_PLUGIN_ID;
    for (auto& p : W().plugins)
        if (p->signature == inSignature) return p->id;
    return XPLM_NO_PLUGIN_ID;
}

XPLM_API void XPLMGetPluginInfo(XPLMPluginID inPlugin, char* outName, char* outFilePath, char* outSignature,
                                char* outDescription) {
    ApiCall("XPLMGetPluginInfo");
    Plugin* p = FindPlugin(inPlugin);
    CopyOut(outName, p ? p->name : "");
    CopyOut(outFilePath, p ? p->path : "");
    CopyOut(outSignature, p ? p->signature : "");
    CopyOut(outDescription, p ? p->description : "");
}

XPLM_API int XPLMIsPluginEnabled(XPLMPluginID inPluginID) {
    ApiCall("XPLMIsPluginEnabled");
    Plugin* p = FindPlugin(inPluginID);
    return p && p->enabled ? 1 : 0;
}

XPLM_API int XPLMEnablePlugin(XPLMPluginID inPluginID) {
    ApiCall("XPLMEnablePlugin");
    return SIM_EnablePlugin(inPluginID);
}

XPLM_API void XPLMDisablePlugin(XPLMPluginID inPluginID) {
    ApiCall("XPLMDisablePlugin");
    SIM_DisablePlugin(inPluginID);
}

XPLM_API void XPLMReloadPlugins(void) { ApiCall("XPLMReloadPlugins"); }

XPLM_API void XPLMSendMessageToPlugin(XPLMPluginID inPlugin, int inMessage, void* inParam) {
    ApiCall("XPLMSendMessageToPlugin");
    int from = CurrentPlugin();
    if (inPlugin == XPLM_NO_PLUGIN_ID) {
        // "Broadcast to all plug-ins": the sender is one of them and hears its own message.
        std::vector<int> ids;
        for (auto& p : W().plugins) ids.push_back(p->id);
        for (int id : ids) Deliver(FindPlugin(id), from, inMessage, inParam);
        return;
    }
    Deliver(FindPlugin(inPlugin), from, inMessage, inParam);
}

}  // extern "C"
