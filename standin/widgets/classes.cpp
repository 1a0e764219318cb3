// The standard widget classes: what each one draws and how it answers the mouse.
#include <cstring>

#include "../common/sim_control.h"
#include "widgets.h"

namespace wid {

namespace {

constexpr int kTitleBarHeight = 18;
constexpr int kCloseBoxInset = 3;
constexpr int kCloseBoxSize = 12;

void Record(const Widget& w, int kind, int state, int style) {
    SimDrawItem item;
    memset(&item, 0, sizeof item);
    item.kind = kind;
    item.left = w.left, item.top = w.top, item.right = w.right, item.bottom = w.bottom;
    item.state = state;
    item.style = style;
    item.window = -1;
    size_t n = w.descriptor.size() < SIM_DRAW_TEXT_MAX - 1 ? w.descriptor.size() : SIM_DRAW_TEXT_MAX - 1;
    memcpy(item.text, w.descriptor.data(), n);
    SIM_RecordDraw(&item);
}

const XPMouseState_t* Mouse(intptr_t param) { return reinterpret_cast<const XPMouseState_t*>(param); }

bool InTitleBar(const Widget& w, int x, int y) {
    return x >= w.left && x < w.right && y < w.top && y >= (long long)w.top - kTitleBarHeight;
}

// Moves a window being dragged, with its contents, so that the grabbed point stays under the
// mouse.
void DragTo(Widget& w, const XPMouseState_t* m) {
    if (!m) return;
    long long left = (long long)m->x - GetProperty(w, xpProperty_DragXOff, 0);
    long long top = (long long)m->y + GetProperty(w, xpProperty_DragYOff, 0);
    MoveTree(w.id, (int)(left - w.left), (int)(top - w.top));
}

int MainWindowFunction(XPWidgetMessage message, XPWidgetID handle, intptr_t param1, intptr_t param2) {
    Widget* w = Find(handle);
    if (!w) return 0;
    Id id = w->id;
    switch (message) {
        case xpMsg_Create:
            SetDefaultProperty(*w, xpProperty_MainWindowType, xpMainWindowStyle_MainWindow);
            SetDefaultProperty(*w, xpProperty_MainWindowHasCloseBoxes, 0);
            return 1;
        case xpMsg_Draw:
            Record(*w, SimDraw_WidgetWindow, HasCloseBoxes(*w) ? 1 : 0,
                   (int)GetProperty(*w, xpProperty_MainWindowType, 0));
            return 1;
        case xpMsg_MouseDown: {
            const XPMouseState_t* m = Mouse(param1);
            if (!m) return 0;
            if (InCloseBox(*w, m->x, m->y)) {
                w->press = Press::CloseBox;
            } else if (InTitleBar(*w, m->x, m->y)) {
                w->press = Press::Drag;
                w->properties[xpProperty_Dragging] = 1;
                w->properties[xpProperty_DragXOff] = m->x - w->left;
                w->properties[xpProperty_DragYOff] = w->top - m->y;
                w->grabLeft = w->left, w->grabTop = w->top;
            }
            return 1;  // the window's body swallows clicks that no child took
        }
        case xpMsg_MouseDrag:
            if (w->press == Press::Drag) DragTo(*w, Mouse(param1));
            return 1;
        case xpMsg_MouseUp: {
            const XPMouseState_t* m = Mouse(param1);
            Press press = w->press;
            w->press = Press::None;
            if (press == Press::Drag) {
                DragTo(*w, m);  // the release point is the last position of the drag
                w = Find(id);
                if (!w) return 1;
                w->properties[xpProperty_Dragging] = 0;
                if (w->left != w->grabLeft || w->top != w->grabTop)
                        TraceEvent("widgets: dragged " + Quote(w->descriptor) + " to " + std::to_string(w->left) + "," +
                               std::to_string(w->top) + "," + std::to_string(w->right) + "," +
                               std::to_string(w->bottom));
            } else if (press == Press::CloseBox && m && InCloseBox(*w, m->x, m->y)) {
                TraceEvent("widgets: close box of " + Quote(w->descriptor));
                Send(id, xpMessage_CloseButtonPushed, xpMode_UpChain, (intptr_t)id, 0);
            }
            return 1;
        }
        default: return 0;
    }
}

// A check box or radio button acts on the click itself: it "immediately toggles its value when
// the mouse is clicked" (a radio button only turns on). Gives false for push buttons.
bool ToggleOnClick(Id id) {
    Widget* w = Find(id);
    if (!w) return false;
    intptr_t state = GetProperty(*w, xpProperty_ButtonState, 0);
    switch (GetProperty(*w, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton)) {
        case xpButtonBehaviorCheckBox: {
            intptr_t next = state ? 0 : 1;
            TraceEvent("widgets: check box " + Quote(w->descriptor) + " " + std::to_string(state) + " -> " +
                       std::to_string(next));
            SetProperty(id, xpProperty_ButtonState, next);
            if (Find(id)) Send(id, xpMsg_ButtonStateChanged, xpMode_UpChain, (intptr_t)id, next);
            return true;
        }
        case xpButtonBehaviorRadioButton:
            // Clicking one that is on already changes nothing.
            if (state == 1) return true;
            TraceEvent("widgets: radio button " + Quote(w->descriptor) + " " + std::to_string(state) + " -> 1");
            SetProperty(id, xpProperty_ButtonState, 1);
            if (Find(id)) Send(id, xpMsg_ButtonStateChanged, xpMode_UpChain, (intptr_t)id, 1);
            return true;
        default:
            return false;
    }
}

// A push button fires when the mouse goes up over the button it went down on.
void PushButtonReleased(Id id) {
    Widget* w = Find(id);
    if (!w) return;
    TraceEvent("widgets: push button " + Quote(w->descriptor));
    Send(id, xpMsg_PushButtonPressed, xpMode_UpChain, (intptr_t)id, 0);
}

int ButtonFunction(XPWidgetMessage message, XPWidgetID handle, intptr_t param1, intptr_t param2) {
    Widget* w = Find(handle);
    if (!w) return 0;
    switch (message) {
        case xpMsg_Create:
            SetDefaultProperty(*w, xpProperty_ButtonType, xpPushButton);
            SetDefaultProperty(*w, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton);
            SetDefaultProperty(*w, xpProperty_ButtonState, 0);
            return 1;
        case xpMsg_Draw:
            Record(*w, SimDraw_WidgetButton, (int)GetProperty(*w, xpProperty_ButtonState, 0),
                   (int)GetProperty(*w, xpProperty_ButtonType, xpPushButton));
            return 1;
        case xpMsg_MouseDown: {
            // A disabled button still takes the click, so it does not fall through to the window.
            if (!GetProperty(*w, xpProperty_Enabled, 1)) return 1;
            Id id = w->id;
            if (!ToggleOnClick(id))
                if (Widget* again = Find(id)) again->press = Press::Button;
            return 1;
        }
        case xpMsg_MouseDrag: return 1;
        case xpMsg_MouseUp: {
            const XPMouseState_t* m = Mouse(param1);
            bool click = w->press == Press::Button && m && Contains(*w, m->x, m->y);
            w->press = Press::None;
            if (click) PushButtonReleased(w->id);
            return 1;
        }
        default: return 0;
    }
}

int CaptionFunction(XPWidgetMessage message, XPWidgetID handle, intptr_t param1, intptr_t param2) {
    Widget* w = Find(handle);
    if (!w) return 0;
    switch (message) {
        case xpMsg_Create: SetDefaultProperty(*w, xpProperty_CaptionLit, 0); return 1;
        case xpMsg_Draw:
            Record(*w, SimDraw_WidgetCaption, (int)GetProperty(*w, xpProperty_CaptionLit, 0), 0);
            return 1;
        default: return 0;
    }
}

// Sub windows and the classes the plug-in does not use: drawn as plain boxes.
int BoxFunction(XPWidgetMessage message, XPWidgetID handle, intptr_t param1, intptr_t param2) {
    Widget* w = Find(handle);
    if (!w) return 0;
    switch (message) {
        case xpMsg_Create:
            if (w->widgetClass == xpWidgetClass_SubWindow)
                SetDefaultProperty(*w, xpProperty_SubWindowType, xpSubWindowStyle_SubWindow);
            return 1;
        case xpMsg_Draw: Record(*w, SimDraw_WidgetBox, 0, (int)w->widgetClass); return 1;
        default: return 0;
    }
}

}  // namespace

XPWidgetFunc_t ClassFunction(XPWidgetClass widgetClass) {
    switch (widgetClass) {
        case xpWidgetClass_MainWindow: return MainWindowFunction;
        case xpWidgetClass_Button: return ButtonFunction;
        case xpWidgetClass_Caption: return CaptionFunction;
        case xpWidgetClass_SubWindow:
        case xpWidgetClass_TextField:
        case xpWidgetClass_ScrollBar:
        case xpWidgetClass_GeneralGraphics:
        case xpWidgetClass_Progress: return BoxFunction;
        default: return nullptr;
    }
}

const char* ClassName(const Widget& w) {
    switch (w.widgetClass) {
        case xpWidgetClass_MainWindow: return "main-window";
        case xpWidgetClass_SubWindow: return "sub-window";
        case xpWidgetClass_Button: return "button";
        case xpWidgetClass_TextField: return "text-field";
        case xpWidgetClass_ScrollBar: return "scroll-bar";
        case xpWidgetClass_Caption: return "caption";
        case xpWidgetClass_GeneralGraphics: return "general-graphics";
        case xpWidgetClass_Progress: return "progress";
        default: return "custom";
    }
}

namespace {
// One box in each top corner of the title bar; the right one first.
void CloseBoxLefts(const Widget& w, long long lefts[2]) {
    lefts[0] = (long long)w.right - kCloseBoxInset - kCloseBoxSize;
    lefts[1] = (long long)w.left + kCloseBoxInset;
}
}  // namespace

bool HasCloseBoxes(const Widget& w) {
    return w.widgetClass == xpWidgetClass_MainWindow && GetProperty(w, xpProperty_MainWindowHasCloseBoxes, 0);
}

bool InCloseBox(const Widget& w, int x, int y) {
    if (!HasCloseBoxes(w)) return false;
    long long lefts[2];
    CloseBoxLefts(w, lefts);
    long long top = (long long)w.top - kCloseBoxInset;
    for (long long left : lefts)
        if (x >= left && x < left + kCloseBoxSize && y >= top - kCloseBoxSize && y < top) return true;
    return false;
}

bool CloseBoxCenter(const Widget& w, int* x, int* y) {
    if (!HasCloseBoxes(w)) return false;
    long long lefts[2];
    CloseBoxLefts(w, lefts);
    *x = (int)(lefts[0] + kCloseBoxSize / 2);
    *y = (int)((long long)w.top - kCloseBoxInset - kCloseBoxSize / 2);
    return true;
}

void TraceEvent(const std::string& line) {
    if (R().trace) SIM_Event(line.c_str());
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out + "\"";
}

}  // namespace wid
