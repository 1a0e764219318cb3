#include "base/plugin_state.h"

#include "base/checks.h"
#include "base/locks.h"

namespace {
std::atomic<int> g_linkUp{0};
}  // namespace

int Is64BitProcess = 0;

bool LinkIsUp() { return g_linkUp.load(std::memory_order_acquire) == 1; }

void SetLinkUp(bool up) { g_linkUp = up ? 1 : 0; }

void ResetPluginState() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    g_linkUp = 0;
    Is64BitProcess = 0;
}
