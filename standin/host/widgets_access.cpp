#include "widgets_access.h"

#include <windows.h>

#include <vector>

#include "XPLMDisplay.h"
#include "common/sim_control.h"
#include "host.h"
#ifdef HAVE_SIM_RENDER
#include "render/frame_render.h"
#endif

namespace {

typedef int (*DescribeFn)(char*, int);
typedef void* (*FindFn)(const char*);
typedef int (*PointFn)(void*, int*, int*);

HMODULE Widgets() {
    static HMODULE module = LoadLibraryA("XPWidgets_64.dll");
    return module;
}

template <typename Fn>
Fn Lookup(const char* name) {
    HMODULE m = Widgets();
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

bool ClickAt(const std::string& descriptor, const char* pointFunction, std::string* error) {
    auto find = Lookup<FindFn>("SIMW_FindWidget");
    auto point = Lookup<PointFn>(pointFunction);
    if (!find || !point) return *error = "no widget library", false;
    void* widget = find(descriptor.c_str());
    if (!widget) return *error = "no widget " + Quote(descriptor), false;
    int x = 0, y = 0;
    if (!point(widget, &x, &y)) return *error = "widget " + Quote(descriptor) + " cannot be clicked", false;
    // A widget window in the headset is clicked there.
    int headset = 0;
    if (!SIM_Mouse(x, y, xplm_MouseDown) && SIM_VrOn() && SIM_MouseEx(x, y, xplm_MouseDown, 0, 1)) headset = 1;
    SIM_MouseEx(x, y, xplm_MouseUp, 0, headset);
    return true;
}

}  // namespace

std::string DescribeWidgets() {
    auto describe = Lookup<DescribeFn>("SIMW_Describe");
    if (!describe) return "no widget library\n";
    int size = describe(nullptr, 0) + 1;
    std::vector<char> buf(size);
    describe(buf.data(), size);
    std::string text = buf.data();
    return text.empty() ? "widgets: none\n" : text;
}

bool PushWidget(const std::string& descriptor, std::string* error) {
    return ClickAt(descriptor, "SIMW_ClickPoint", error);
}

bool CloseWidgetWindow(const std::string& descriptor, std::string* error) {
    return ClickAt(descriptor, "SIMW_CloseBoxPoint", error);
}

void SaveFramePicture(const std::string& folder, const std::string& name, bool headset) {
    const std::string verb = headset ? "save-headset " : "save-frame ";
#ifdef HAVE_SIM_RENDER
    std::string dir = folder.empty() ? HostFolder() : folder;
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\" + name;
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    std::vector<SimDrawItem> items;
    // The headset's picture has the desktop's size: each panel sits where its window's top-left is.
    const int count = headset ? SIM_HeadsetItemCount() : SIM_FrameItemCount();
    for (int i = 0; i < count; ++i) items.push_back(headset ? *SIM_HeadsetItem(i) : *SIM_FrameItem(i));
    bool ok = SaveFramePng(path.c_str(), width, height, items.data(), (int)items.size());
    Out(verb + name + (ok ? "" : ": failed"));
#else
    Out(verb + name + ": this build has no frame renderer");
#endif
}
