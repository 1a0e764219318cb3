#pragma once
// Internal state of the stand-in widget library. One process-wide registry, used on the
// simulator's main thread only (like the real library).
//
// Widget ids are opaque serial numbers, never pointers: a stale id can never alias a newer
// widget, and every entry point checks the id against the registry before using it. Code that
// calls out (callbacks, the simulator) holds no Widget pointer across the call and looks the
// widget up again afterwards, because the callee may have destroyed it.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "XPLMDisplay.h"
#include "XPStandardWidgets.h"
#include "XPWidgetDefs.h"

namespace wid {

typedef uintptr_t Id;

// What the mouse is doing to a standard widget between its mouse down and mouse up.
enum class Press { None, CloseBox, Drag, Button };

struct Widget {
    Id id = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool root = false;
    bool dying = false;  // inside XPDestroyWidget: a second destroy is ignored
    std::string descriptor;
    XPWidgetClass widgetClass = xpWidgetClass_None;  // None for custom widgets
    Id parent = 0;
    std::vector<Id> children;  // back-to-front: later children are drawn over earlier ones
    std::map<XPWidgetPropertyID, intptr_t> properties;
    std::vector<XPWidgetFunc_t> callbacks;  // newest first, the class function last
    XPLMWindowID window = nullptr;          // roots only: the simulator window showing the tree
    Press press = Press::None;
    int grabLeft = 0, grabTop = 0;  // where a dragged window was when the drag began
};

struct Registry {
    std::map<Id, std::unique_ptr<Widget>> widgets;  // ordered by id = creation order
    Id nextId = 0x10001;
    Id focus = 0;         // widget with keyboard focus, 0 = the simulator
    Id mouseCapture = 0;  // widget that took the last mouse down
    bool trace = false;
};

Registry& R();
Widget* Find(Id id);
inline Widget* Find(XPWidgetID id) { return Find(reinterpret_cast<Id>(id)); }
inline XPWidgetID Handle(Id id) { return reinterpret_cast<XPWidgetID>(id); }

// ---- tree, geometry, properties (registry.cpp)
Id Create(int left, int top, int right, int bottom, bool visible, const char* descriptor, bool root,
          Id container, XPWidgetClass widgetClass, XPWidgetFunc_t function);
void Destroy(Id id, bool children, intptr_t recursiveFlag);
void PlaceWithin(Id sub, Id container);
bool IsVisible(Id id);  // the user can see it: it and all its parents shown, in a rooted tree
Id FindRoot(Id id);
bool Contains(const Widget& w, int x, int y);
void SetGeometry(Id id, int left, int top, int right, int bottom);  // the widget alone
void MoveTree(Id id, int dx, int dy, int depth = 0);                // the widget and everything in it
Id WidgetForLocation(Id container, int x, int y, bool recursive, bool visibleOnly);
void SetVisible(Id id, bool visible);
void SetProperty(Id id, XPWidgetPropertyID property, intptr_t value);
intptr_t GetProperty(const Widget& w, XPWidgetPropertyID property, intptr_t fallback);
void SetDefaultProperty(Widget& w, XPWidgetPropertyID property, intptr_t value);
Id SetFocus(Id id);
void LoseFocus(Id id);
void Reset();

// ---- messages (dispatch.cpp)
// Calls the widget's callbacks, newest first; all = every callback even after one consumed,
// once = only the first callback. Gives 1 when a callback consumed the message.
int Deliver(Id id, XPWidgetMessage message, intptr_t param1, intptr_t param2, bool all = false,
            bool once = false);
int Send(Id id, XPWidgetMessage message, XPDispatchMode mode, intptr_t param1, intptr_t param2);
// Up the chain of parents; gives the widget that consumed the message, 0 when none did.
Id SendUpChain(Id id, XPWidgetMessage message, intptr_t param1, intptr_t param2);

// ---- standard classes (classes.cpp)
XPWidgetFunc_t ClassFunction(XPWidgetClass widgetClass);
const char* ClassName(const Widget& w);
bool HasCloseBoxes(const Widget& w);
bool InCloseBox(const Widget& w, int x, int y);
bool CloseBoxCenter(const Widget& w, int* x, int* y);  // the right-hand box
void TraceEvent(const std::string& line);
std::string Quote(const std::string& text);

// ---- the simulator windows behind root widgets (windows.cpp)
void AttachWindow(Widget& root);
void ReleaseWindow(Widget& root);
XPLMWindowID LiveWindow(const Widget& root);  // null when the simulator no longer has it
void SyncWindowGeometry(const Widget& root);
void SyncWindowVisibility(const Widget& root);

}  // namespace wid
