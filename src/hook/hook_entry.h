// An entry in front of a hook's detour that decides, before any frame of the detour exists,
// whether a call passes straight on to the target's own code. A call passed on reaches the
// target with its caller's return address and stack, as if nothing had been hooked. Windows x64,
// for targets whose arguments are integers or pointers (the filter may change vector registers).
#pragma once

#include <cstdint>
#include <cstring>

// The first four arguments as the caller passed them, in the caller's home space: the filter may
// change them for the call it passes on or the detour it chooses.
struct HookEntryArgs {
  uint64_t reg[4];  // rcx, rdx, r8, r9
};

// Argument `index` (0-based) of the call: from 4 on, from the caller's stack after its home space.
inline uint64_t HookEntryStackArgument(const HookEntryArgs* args, unsigned index) {
  if (index < 4) return args->reg[index];
  uint64_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(args) + sizeof(HookEntryArgs) + 8 * (index - 4), 8);
  return value;
}

enum HookEntryChoice : int {
  HookEntryDetour = 0,  // the detour runs, returning to the caller itself
  HookEntryPassOn = 1,  // on to the trampoline (the target's own code)
  HookEntryDone = 2,    // the filter did what the call asked: back to the caller, for targets
                        // that return nothing
};
// Gets the first four arguments in their registers too, as a function of the target's own
// signature would.
using HookEntryFilter = HookEntryChoice (*)(uint64_t, uint64_t, uint64_t, uint64_t, HookEntryArgs* args);

constexpr unsigned kHookEntries = 8;

// Entry `index` in front of `detour`: give the result to HookAdd as the detour, and the
// trampoline it gives back to SetHookEntryTrampoline before the hook is armed. Null for an index
// out of range or a missing filter or detour.
void* UseHookEntry(unsigned index, HookEntryFilter filter, void* detour);
void SetHookEntryTrampoline(unsigned index, void* trampoline);
// Where entry `index` passes calls on to (null when out of range or not set).
void* HookEntryTrampoline(unsigned index);
