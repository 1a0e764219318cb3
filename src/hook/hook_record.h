// One hooked target and what the trampoline builder learnt about it. Portable.
#pragma once

#include <cstdint>

constexpr unsigned kMaxBoundaries = 8;
constexpr unsigned kSlotSize = 64;
constexpr unsigned kMaxTrampoline = 50;  // the 14-byte relay follows in the same slot
constexpr unsigned kRelaySize = 14;

struct HookRecord {
  uintptr_t target;
  uintptr_t relay;
  uintptr_t trampoline;
  uint8_t savedBytes[8];
  uint8_t patchedAbove;
  uint8_t armed;
  uint8_t boundaryCount;
  uint8_t oldBoundaries[kMaxBoundaries];
  uint8_t newBoundaries[kMaxBoundaries];
  // Instruction starts inside rewritten forms (the return point of an absolute call, the
  // absolute jump of a conditional one): where a thread stopped there continues in the target.
  uint8_t resumeCount;
  uint8_t resumeNew[kMaxBoundaries];
  uintptr_t resumeDestination[kMaxBoundaries];
};

// Where a thread stopped at `ip` must continue once the record changes state; false when the
// record does not move it. Arming maps copied instruction starts in the target into the
// trampoline; disarming maps the trampoline and relay back into the target.
bool MapInstructionPointer(const HookRecord& r, bool arming, uintptr_t ip, uintptr_t* moved);
