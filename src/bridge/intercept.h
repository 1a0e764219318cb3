#pragma once
// The interception of the simulator's window, string and hot-key functions.

// Puts the interceptions in place; the caller does not use the result.
bool InstallHooks();
void RemoveHooks();
