#include "bridge/intercept.h"

// The detours that move and redraw the server's text arrive with the hook engine; until then
// the link runs with the simulator's functions as they are.
bool InstallHooks() { return false; }

void RemoveHooks() {}
