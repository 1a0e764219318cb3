#include "base/plugin_state.h"

std::atomic<int> LinkActive{0};
int Is64BitProcess = 0;

void ResetPluginState() {
    LinkActive = 0;
    Is64BitProcess = 0;
}
