// Test-equipment exports: listing the widget trees and finding where to click.
#include <algorithm>
#include <cstring>

#include "../common/widgets_control.h"
#include "widgets.h"

using namespace wid;

namespace {

void DescribeTree(const Widget& w, int depth, std::string& out) {
    out.append(2 * depth, ' ');
    out += ClassName(w);
    out += " " + Quote(w.descriptor) + " ";
    out += std::to_string(w.left) + "," + std::to_string(w.top) + "," + std::to_string(w.right) + "," +
           std::to_string(w.bottom);
    out += w.visible ? " visible" : " hidden";
    if (w.root) out += " root";
    if (HasCloseBoxes(w)) out += " close-box";
    if (w.widgetClass == xpWidgetClass_Button) {
        out += " type=" + std::to_string(GetProperty(w, xpProperty_ButtonType, 0));
        out += " behavior=" + std::to_string(GetProperty(w, xpProperty_ButtonBehavior, 0));
        out += " state=" + std::to_string(GetProperty(w, xpProperty_ButtonState, 0));
    }
    if (w.widgetClass == xpWidgetClass_Caption && GetProperty(w, xpProperty_CaptionLit, 0)) out += " lit=1";
    out += "\n";
    if (depth > 256) return;  // listing stays bounded even for absurd trees
    for (Id kid : w.children)
        if (Widget* k = Find(kid)) DescribeTree(*k, depth + 1, out);
}

// The click reaches the widget itself at (x, y): topmost visible widget there, no close box.
bool Reaches(Id id, Id root, int x, int y) {
    Widget* w = Find(id);
    return w && WidgetForLocation(root, x, y, true, true) == id && !InCloseBox(*w, x, y);
}

}  // namespace

extern "C" {

SIMW_API int SIMW_Describe(char* buf, int size) {
    std::string text;
    for (auto& entry : R().widgets)
        if (!entry.second->parent) DescribeTree(*entry.second, 0, text);
    if (buf && size > 0) {
        size_t n = std::min(text.size(), (size_t)size - 1);
        memcpy(buf, text.data(), n);
        buf[n] = 0;
    }
    return (int)text.size();
}

SIMW_API void* SIMW_FindWidget(const char* descriptor) {
    if (!descriptor) return nullptr;
    Id hidden = 0;
    for (auto& entry : R().widgets) {
        if (entry.second->descriptor != descriptor) continue;
        if (IsVisible(entry.first)) return Handle(entry.first);
        if (!hidden) hidden = entry.first;
    }
    return Handle(hidden);
}

SIMW_API int SIMW_ClickPoint(void* widget, int* x, int* y) {
    Id id = reinterpret_cast<Id>(widget);
    Widget* w = Find(id);
    if (!w || !IsVisible(id)) return 0;
    Id root = FindRoot(id);
    // The centre first; else the first point of a coarse scan where nothing covers the widget.
    long long width = (long long)w->right - w->left, height = (long long)w->top - w->bottom;
    int cx = (int)(w->left + width / 2), cy = (int)(w->bottom + height / 2);
    bool found = width > 0 && height > 0 && Reaches(id, root, cx, cy);
    // At most 128 steps a side, so even a screen-sized widget is scanned quickly.
    const int stepX = (int)std::max(1LL, width / 128), stepY = (int)std::max(1LL, height / 128);
    for (long long py = (long long)w->top - 1; !found && py >= w->bottom; py -= stepY)
        for (long long px = w->left; !found && px < w->right; px += stepX)
            if (Reaches(id, root, (int)px, (int)py)) cx = (int)px, cy = (int)py, found = true;
    if (!found) return 0;
    if (x) *x = cx;
    if (y) *y = cy;
    return 1;
}

SIMW_API int SIMW_CloseBoxPoint(void* window, int* x, int* y) {
    Id id = reinterpret_cast<Id>(window);
    Widget* w = Find(id);
    int cx = 0, cy = 0;
    if (!w || !IsVisible(id) || !CloseBoxCenter(*w, &cx, &cy)) return 0;
    if (WidgetForLocation(FindRoot(id), cx, cy, true, true) != id) return 0;
    if (x) *x = cx;
    if (y) *y = cy;
    return 1;
}

SIMW_API int SIMW_WidgetCount(void) { return (int)R().widgets.size(); }

SIMW_API void SIMW_Trace(int on) { R().trace = on != 0; }

SIMW_API void SIMW_Reset(void) {
    Reset();
}

}  // extern "C"
