// An entry in front of a hook's detour that decides, before any frame of the detour exists,
// whether a call passes straight on to the target's own code. A call passed on reaches the
// target with its caller's return address and stack, as if nothing had been hooked. Windows x64,
// for targets whose arguments are integers or pointers (the filter may change vector registers).
#pragma once

#include <cstdint>

// The first four arguments as the caller passed them, on the entry's stack: the filter may change
// them for the call it passes on or the detour it chooses.
struct HookEntryArgs {
  uint64_t reg[4];  // rcx, rdx, r8, r9
};

// Argument `index` (0-based, 4 and up) of the call, from the caller's stack.
uint64_t HookEntryStackArgument(const HookEntryArgs* args, unsigned index);

enum HookEntryChoice : int {
  HookEntryDetour = 0,  // the detour runs, returning to the caller itself
  HookEntryPassOn = 1,  // on to the trampoline (the target's own code)
  HookEntryDone = 2,    // the filter did what the call asked: back to the caller, for targets
                        // that return nothing
};
using HookEntryFilter = HookEntryChoice (*)(HookEntryArgs* args);

constexpr unsigned kHookEntries = 8;

// Entry `index` in front of `detour`: give the result to HookAdd as the detour, and the
// trampoline it gives back to SetHookEntryTrampoline before the hook is armed. Null for an index
// out of range or a missing filter or detour.
void* UseHookEntry(unsigned index, HookEntryFilter filter, void* detour);
void SetHookEntryTrampoline(unsigned index, void* trampoline);
