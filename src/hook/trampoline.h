// Relocating a target's first instructions into a code slot. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hook/hook_record.h"

struct TrampolineSource {
  uintptr_t target;         // address the code runs at
  const uint8_t* code;      // its bytes
  size_t readable;          // how many of them may be read
  const uint8_t* above;     // the 5 bytes before the target when they are executable, else null
  // Returns are checked against a shadow stack: a relocated call's pushed return address would
  // fault on return, so a target that needs one is not relocated.
  bool shadowStack = false;
};

// Writes the trampoline and the relay to `detour` into `slot` (kSlotSize bytes, executing at
// `slotAddress`) and fills the record's trampoline, relay, patchedAbove, boundary and resume
// fields. False when the target's first instructions cannot be relocated.
bool BuildTrampoline(const TrampolineSource& src, uint8_t* slot, uintptr_t slotAddress,
                     uintptr_t detour, HookRecord* record);
