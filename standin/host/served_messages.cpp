// Messages a plug-in's own threads send to windows of the main thread: the main thread serves
// them in its message pump, and that time counts towards the sending plug-in's frame cost, as it
// does in the simulator. The plug-ins' sends are intercepted to note who sends what; hooks of the
// main thread time the window procedure that serves a noted message.
#include <windows.h>

#include <vector>

#include "common/sim_control.h"
#include "host.h"

namespace {

struct Sent {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const void* code;  // the sending plug-in's code
};

DWORD g_mainThread = 0;
SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<Sent> g_sent;  // sends under way from other threads

// Main thread only: window procedures now running, and whether each one was counted.
struct Serving {
    HWND window;
    UINT message;
    bool counted;
};
std::vector<Serving> g_serving;

// Noted while a send from another thread to a window of the main thread is under way.
class NoteSend {
public:
    NoteSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const void* code) {
        if (GetCurrentThreadId() == g_mainThread || GetWindowThreadProcessId(window, nullptr) != g_mainThread) return;
        sent_ = {window, message, wParam, lParam, code};
        ExclusiveLock lock(&g_lock);
        g_sent.push_back(sent_);
        noted_ = true;
    }
    ~NoteSend() {
        if (!noted_) return;
        ExclusiveLock lock(&g_lock);
        for (auto it = g_sent.begin(); it != g_sent.end(); ++it)
            if (it->window == sent_.window && it->message == sent_.message && it->wParam == sent_.wParam &&
                it->lParam == sent_.lParam && it->code == sent_.code) {
                g_sent.erase(it);
                break;
            }
    }
    NoteSend(const NoteSend&) = delete;
    NoteSend& operator=(const NoteSend&) = delete;

private:
    Sent sent_ = {};
    bool noted_ = false;
};

LRESULT CALLBACK BeforeWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT* c = reinterpret_cast<const CWPSTRUCT*>(lParam);
        const void* sender = nullptr;
        {
            ExclusiveLock lock(&g_lock);
            for (const Sent& s : g_sent)
                if (s.window == c->hwnd && s.message == c->message && s.wParam == c->wParam && s.lParam == c->lParam)
                    sender = s.code;
        }
        g_serving.push_back({c->hwnd, c->message, sender != nullptr});
        if (sender) SIM_CostBegin(sender, "served message");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPRETSTRUCT* c = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        // Innermost first; an entry whose end was never reported is dropped with it.
        while (!g_serving.empty()) {
            Serving s = g_serving.back();
            g_serving.pop_back();
            if (s.counted) SIM_CostEnd();
            if (s.window == c->hwnd && s.message == c->message) break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void WatchServedMessages() {
    g_mainThread = GetCurrentThreadId();
    SetWindowsHookExA(WH_CALLWNDPROC, BeforeWindowProc, nullptr, g_mainThread);
    SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc, nullptr, g_mainThread);
}

LRESULT WINAPI SimSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    NoteSend note(window, message, wParam, lParam, __builtin_return_address(0));
    return SendMessageA(window, message, wParam, lParam);
}

LRESULT WINAPI SimSendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                                      UINT timeout, PDWORD_PTR result) {
    NoteSend note(window, message, wParam, lParam, __builtin_return_address(0));
    return SendMessageTimeoutA(window, message, wParam, lParam, flags, timeout, result);
}
