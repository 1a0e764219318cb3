// Message dispatch: callbacks newest first, the class function last; the five dispatch modes.
#include "widgets.h"

#include "sim_control.h"

namespace wid {

int Deliver(Id id, XPWidgetMessage message, intptr_t param1, intptr_t param2, bool all, bool once) {
    Widget* w = Find(id);
    if (!w) return 0;
    // A copy: a callback may add callbacks or destroy the widget while we walk the list.
    std::vector<XPWidgetFunc_t> callbacks = w->callbacks;
    int consumed = 0;
    for (XPWidgetFunc_t callback : callbacks) {
        if (!Find(id)) break;  // destroyed by an earlier callback: nobody else hears of it
        SIM_CostBegin(reinterpret_cast<const void*>(callback), "widget");
        int taken = callback(message, Handle(id), param1, param2);
        SIM_CostEnd();
        if (taken) {
            consumed = 1;
            if (!all) break;
        }
        if (once) break;
    }
    return consumed;
}

Id SendUpChain(Id id, XPWidgetMessage message, intptr_t param1, intptr_t param2) {
    size_t steps = R().widgets.size() + 1;
    for (Id at = id; at && steps--;) {
        Widget* w = Find(at);
        if (!w) return 0;
        Id parent = w->parent;
        if (Deliver(at, message, param1, param2)) return at;
        // The callback may have moved or destroyed the widget; follow the tree as it is now.
        if (Widget* again = Find(at)) parent = again->parent;
        at = Find(parent) ? parent : 0;
    }
    return 0;
}

static int SendRecursive(Id id, XPWidgetMessage message, intptr_t param1, intptr_t param2, int depth) {
    if (depth > 4096) return 0;  // deeper than any real tree; guards the stack
    int consumed = Deliver(id, message, param1, param2);
    Widget* w = Find(id);
    if (!w) return consumed;
    std::vector<Id> kids = w->children;
    for (Id kid : kids) {
        Widget* k = Find(kid);
        if (!k || k->parent != id) continue;
        consumed |= SendRecursive(kid, message, param1, param2, depth + 1);
    }
    return consumed;
}

int Send(Id id, XPWidgetMessage message, XPDispatchMode mode, intptr_t param1, intptr_t param2) {
    if (!Find(id)) return 0;
    switch (mode) {
        case xpMode_Direct: return Deliver(id, message, param1, param2);
        case xpMode_UpChain: return SendUpChain(id, message, param1, param2) ? 1 : 0;
        case xpMode_Recursive: return SendRecursive(id, message, param1, param2, 0);
        case xpMode_DirectAllCallbacks: return Deliver(id, message, param1, param2, true);
        case xpMode_Once: return Deliver(id, message, param1, param2, false, true);
        default: return 0;
    }
}

}  // namespace wid
