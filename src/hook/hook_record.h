// One hooked target and what the trampoline builder learnt about it. Portable.
#pragma once

#include <cstdint>

constexpr unsigned kMaxBoundaries = 8;
constexpr unsigned kSlotSize = 64;
constexpr unsigned kMaxTrampoline = 50;  // the 14-byte relay follows in the same slot
constexpr unsigned kRelaySize = 14;
constexpr unsigned kPatchSize = 5;

struct HookRecord {
  uintptr_t target;
  uintptr_t detour;
  // A counted reference to the module holding the detour while the hook is armed (0 when none is
  // held, or the detour lies in no module).
  uintptr_t detourModule;
  uintptr_t relay;
  uintptr_t trampoline;
  uint8_t savedBytes[8];
  uint8_t patchedAbove;
  uint8_t armed;
  uint8_t boundaryCount;
  uint8_t oldBoundaries[kMaxBoundaries];
  uint8_t newBoundaries[kMaxBoundaries];
  // Instruction starts inside rewritten forms (the jump of a relocated call after it pushed the
  // return address, the absolute jump of a conditional one): where a thread stopped there
  // continues in the target, and how many bytes it gives back from its stack first.
  uint8_t resumeCount;
  uint8_t resumeNew[kMaxBoundaries];
  uint8_t resumePop[kMaxBoundaries];
  uintptr_t resumeDestination[kMaxBoundaries];
  // Bytes of the target that run from the trampoline instead (whole instructions from the
  // target on); no other hook may patch them.
  uint8_t copied;
  // A thread may stand in the slot although the hook is not armed (a freeze could not move it
  // out, or moved it in for an arm that was then refused): the delete moves it out first.
  uint8_t threadLeft;
  // Armed at least once: a detour may call into the slot at any time since, so it is given back
  // only under a freeze that moves such a thread out.
  uint8_t everArmed;
  // Deleted while not armed: no longer found, its slot kept until that freeze.
  uint8_t retired;
};

// Where a stopped thread is, and where it goes once a record changes state.
struct ThreadPlace {
  uintptr_t ip;
  uintptr_t sp;
};

// Moves a thread stopped at `place` for a record about to change state; false when the record
// does not move it. Arming maps copied instruction starts in the target into the trampoline;
// disarming maps the trampoline and relay back into the target.
bool MapInstructionPointer(const HookRecord& r, bool arming, ThreadPlace* place);
