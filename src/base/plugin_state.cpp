#include "base/plugin_state.h"

#include "base/checks.h"
#include "base/locks.h"

std::atomic<int> LinkActive{0};
int Is64BitProcess = 0;

void ResetPluginState() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    LinkActive = 0;
    Is64BitProcess = 0;
}
