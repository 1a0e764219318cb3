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
