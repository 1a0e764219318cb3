// In-process inline hooks for x86-64: the engine's public operations.
#pragma once

#include <cstdint>

enum [[nodiscard]] HookStatus : int32_t {
  HookOk = 0,
  HookAlreadyInitialized = 1,
  HookNotInitialized = 2,
  HookAlreadyExists = 3,
  HookNotFound = 4,
  HookAlreadyArmed = 5,
  HookAlreadyDisarmed = 6,
  HookNotExecutable = 7,
  HookUnsupportedFunction = 8,
  HookMemoryAllocation = 9,
  HookMemoryProtection = 10,
  // The patch would overlap another hook's patch or the bytes another hook runs from its
  // trampoline (or the reverse).
  HookPatchOverlap = 11,
  // The target's own function (its extent from its module's exception directory) branches into
  // the bytes the patch replaces.
  HookBranchIntoPatch = 12,
  // The process enforces shadow stacks and the target's first instructions hold a call, whose
  // relocated form would return through an address the shadow stack does not hold.
  HookShadowStackCall = 13,
  // A thread stopped in the bytes being changed could not be moved out of them: nothing was
  // patched (a deleted hook is disarmed but kept, its slot still running that thread).
  HookThreadNotMoved = 14,
};

HookStatus HookInitialize();
HookStatus HookShutdown();
// Creates the hook disarmed; on success stores the trampoline (call it to run the target's own
// code) through `trampoline` when that is not null.
HookStatus HookAdd(void* target, void* detour, void** trampoline);
HookStatus HookDelete(void* target);
// A null target means every hook.
HookStatus HookArm(void* target);
HookStatus HookDisarm(void* target);
