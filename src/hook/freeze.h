// Suspending the process's other threads while code is patched. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "hook/hook_record.h"

struct EngineState;

struct FrozenThread {
  DWORD id;
  HANDLE handle;  // open from suspension to resumption; null when not suspended
};

struct ThreadList {
  HANDLE heap;            // the engine's private heap
  FrozenThread* threads;  // in it
  uint32_t count;
  uint32_t capacity;
};

// What the records are about to do under a freeze, and so which threads move where.
enum class FreezeFor {
  Arming,     // into the trampolines of records not armed yet (not of deleted ones)
  Disarming,  // out of the slots of armed records, and of those a thread may still stand in
  Releasing,  // out of the slots of deleted records only
};

// Suspends every other thread of the process and moves instruction pointers out of the bytes
// about to change: for `scope` only, or for every record it concerns when it is null. A single
// record about to be deleted gives back its slot even when it is not armed. False when a thread
// that had to move could not be set to its new place (the others are moved; all stay
// suspended): the records concerned note that a thread may stand in their slot.
[[nodiscard]] bool FreezeThreads(EngineState& engine, ThreadList* list, HookRecord* scope, FreezeFor what);
void ThawThreads(ThreadList* list);

// How a moved thread's context is written back: tests put a failing one in its place. Gives back
// the one it replaces.
using SetThreadContextFn = BOOL(WINAPI*)(HANDLE, const CONTEXT*);
SetThreadContextFn SetFreezeSetContext(SetThreadContextFn set);
