#include "base/plugin_state.h"

std::atomic<int> LinkActive{0};
int Is64BitProcess = 0;
