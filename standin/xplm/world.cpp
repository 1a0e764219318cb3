// The stand-in simulator's world: state, events, misuses and observations.
#include "areas.h"
#include "world.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace sim {

namespace {
World* g_world = nullptr;
std::atomic<int> g_misuses{0};
std::mutex g_misuseMutex;
char g_firstMisuse[256] = "";

std::string HostFolder() {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    char* slash = strrchr(path, '\\');
    if (slash) *slash = 0;
    return path;
}
}  // namespace

World& W() {
    if (!g_world) g_world = new World();
    return *g_world;
}

void Misuse(const std::string& what) {
    // A call the real simulator would punish (a freed handle, a wrong accessor): counted for the
    // scenario's verdict and shown where it happened.
    if (g_misuses.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(g_misuseMutex);
        snprintf(g_firstMisuse, sizeof g_firstMisuse, "%s", what.c_str());
    }
    Event(what);
    NotifyErrorCallback(what);
}

bool Tracing(const char* what) {
    auto it = W().trace.find(what);
    return it != W().trace.end() && it->second;
}

void Event(const std::string& line) {
    if (W().sink && GetCurrentThreadId() == W().mainThread) W().sink(line.c_str());
}

std::string Format(const char* fmt, ...) {
    char buf[2048];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

int CurrentPlugin() { return W().pluginStack.empty() ? 0 : W().pluginStack.back(); }

void AppendLog(const char* text) {
    std::string path = W().simFolder + "\\Log.txt";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(file);
}

std::string DescribeFrame(const std::vector<SimDrawItem>& items) {
    std::string out;
    for (const SimDrawItem& item : items) {
        std::string where = item.window >= 0 ? Format(" window=%d", item.window) : std::string();
        switch (item.kind) {
            case SimDraw_String:
                out += Format("string at %d,%d rgb=%.2f,%.2f,%.2f%s \"%s\"\n", item.left, item.bottom, item.rgb[0],
                              item.rgb[1], item.rgb[2], where.c_str(), item.text);
                break;
            case SimDraw_DarkBox:
                out += Format("darkbox %d,%d,%d,%d%s\n", item.left, item.top, item.right, item.bottom, where.c_str());
                break;
            case SimDraw_WidgetWindow:
                out += Format("widget-window %d,%d,%d,%d \"%s\"\n", item.left, item.top, item.right, item.bottom,
                              item.text);
                break;
            case SimDraw_WidgetButton:
                out += Format("widget-button %d,%d,%d,%d type=%d state=%d \"%s\"\n", item.left, item.top, item.right,
                              item.bottom, item.style, item.state, item.text);
                break;
            case SimDraw_WidgetCaption:
                out += Format("widget-caption %d,%d,%d,%d \"%s\"\n", item.left, item.top, item.right, item.bottom,
                              item.text);
                break;
            default:
                out += Format("widget-box %d,%d,%d,%d \"%s\"\n", item.left, item.top, item.right, item.bottom,
                              item.text);
                break;
        }
    }
    return out;
}

static void DefineDefaultWorld() {
    World& w = W();
    w.commands.clear();
    SIM_DefineCommand("sim/operation/toggle_full_screen");
}

}  // namespace sim

using namespace sim;

extern "C" {

SIM_API void SIM_Init(SimEventSink sink) {
    delete g_world;
    g_world = new World();
    W().mainThread = GetCurrentThreadId();
    W().sink = sink;
    W().simFolder = HostFolder();
    ResetMenus();
    ResetAreas();
    DefineDefaultWorld();
    ApplyApiLevel();
    ResetCallerChecks();
    g_misuses = 0;
    g_firstMisuse[0] = 0;
}

SIM_API void SIM_Trace(const char* what, int on) {
    if (what) W().trace[what] = on != 0;
}

SIM_API void SIM_Event(const char* line) {
    if (line) Event(line);
}

SIM_API int SIM_Describe(const char* what, char* buf, int size) {
    std::string text;
    std::string key = what ? what : "";
    if (key == "plugins") text = DescribePlugins();
    else if (key == "menus") text = DescribeMenus();
    else if (key == "windows") text = DescribeWindows();
    else if (key == "flightloops") text = DescribeFlightLoops();
    else if (key == "hotkeys") text = DescribeHotKeys();
    else if (key == "sniffers") text = DescribeSniffers();
    else if (key == "datarefs") text = DescribeDatarefs();
    else if (key == "commands") text = DescribeCommands();
    else if (key == "frame") text = DescribeFrame(W().lastFrame);
    else if (key == "headset") text = DescribeFrame(W().lastHeadset);
    else if (key == "frame-cost") text = DescribeFrameCost();
    else if (key == "callers") text = DescribeCallers();
    else text = "unknown: " + key + "\n";
    if (buf && size > 0) {
        size_t n = text.size() < (size_t)size - 1 ? text.size() : (size_t)size - 1;
        memcpy(buf, text.data(), n);
        buf[n] = 0;
    }
    return (int)text.size();
}

SIM_API int SIM_FrameItemCount(void) { return (int)W().lastFrame.size(); }

SIM_API const SimDrawItem* SIM_FrameItem(int index) {
    if (index < 0 || index >= (int)W().lastFrame.size()) return nullptr;
    return &W().lastFrame[index];
}

SIM_API int SIM_Misuses(void) { return g_misuses.load(); }

SIM_API const char* SIM_FirstMisuse(void) { return g_firstMisuse; }

SIM_API void SIM_Misuse(const char* what) { Misuse(what ? what : "?"); }

SIM_API int SIM_CurrentPlugin(void) { return CurrentPlugin(); }

SIM_API void SIM_RecordDraw(const SimDrawItem* item) {
    if (!item) return;
    SimDrawItem copy = *item;
    copy.text[SIM_DRAW_TEXT_MAX - 1] = 0;
    copy.window = W().drawingWindow;
    W().drawing.push_back(copy);
}

}  // extern "C"
