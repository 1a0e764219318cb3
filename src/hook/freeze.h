// Suspending the process's other threads while code is patched. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "hook/hook_record.h"

struct FrozenThread {
  DWORD id;
  HANDLE handle;  // open from suspension to resumption; null when not suspended
};

struct ThreadList {
  FrozenThread* threads;  // in the engine's private heap
  uint32_t count;
  uint32_t capacity;
};

// Suspends every other thread of the process and moves instruction pointers out of the bytes
// about to change: for `scope` only, or for every record when it is null. `arming` is the state
// the records are about to take; records already in that state move nothing, except a single
// record about to be deleted. False when a thread that had to move could not be set to its new
// place (the others are moved; all stay suspended): the records concerned note that a thread may
// stand in their slot.
[[nodiscard]] bool FreezeThreads(ThreadList* list, HookRecord* scope, bool arming);
void ThawThreads(ThreadList* list);

// How a moved thread's context is written back; tests put a failing one in its place.
using SetThreadContextFn = BOOL(WINAPI*)(HANDLE, const CONTEXT*);
extern SetThreadContextFn FreezeSetContext;
