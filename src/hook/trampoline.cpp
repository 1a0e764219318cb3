#include "hook/trampoline.h"

#include <cstring>

#include "hook/decoder.h"

namespace {

constexpr unsigned kPatchSize = 5;

void Put64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

unsigned AbsoluteJump(uint8_t* p, uint64_t dest) {
  const uint8_t head[6] = {0xFF, 0x25, 0, 0, 0, 0};
  std::memcpy(p, head, 6);
  Put64(p + 6, dest);
  return 14;
}

unsigned AbsoluteCall(uint8_t* p, uint64_t dest) {
  const uint8_t head[8] = {0xFF, 0x15, 0x02, 0, 0, 0, 0xEB, 0x08};
  std::memcpy(p, head, 8);
  Put64(p + 8, dest);
  return 16;
}

unsigned AbsoluteConditionalJump(uint8_t* p, uint8_t condition, uint64_t dest) {
  p[0] = 0x71 ^ condition;  // inverted condition skips the absolute jump
  p[1] = 0x0E;
  return 2 + AbsoluteJump(p + 2, dest);
}

bool IsFiller(const uint8_t* p, unsigned n) {
  if (n == 0) return true;
  if (p[0] != 0x00 && p[0] != 0x90 && p[0] != 0xCC) return false;
  for (unsigned i = 1; i < n; ++i)
    if (p[i] != p[0]) return false;
  return true;
}

struct InternalBranch {
  unsigned oldEnd, newEnd, destination;  // offsets from the target / the trampoline
};

}  // namespace

bool BuildTrampoline(const TrampolineSource& src, uint8_t* slot, uintptr_t slotAddress,
                     uintptr_t detour, HookRecord* r) {
  unsigned old = 0, nw = 0, branchLimit = 0;
  bool finished = false;
  InternalBranch internal[kMaxBoundaries];
  unsigned internalCount = 0;
  r->boundaryCount = 0;
  r->resumeCount = 0;
  r->patchedAbove = 0;

  while (!finished) {
    uint8_t form[16];
    unsigned formLen = 0, instrLen = 0;
    int resumeAt = -1;
    uintptr_t resumeDest = 0;
    const uintptr_t here = src.target + old;

    if (old >= kPatchSize) {
      formLen = AbsoluteJump(form, here);
      finished = true;
    } else {
      DecodedInstruction d;
      if (old >= src.readable || !DecodeInstruction(src.code + old, src.readable - old, &d))
        return false;
      instrLen = d.len;
      const bool legacy = d.vex == VexKind::None;
      const uint8_t op = d.opcode;
      const bool relative = d.flags & DecodeFlags::Relative;
      const int64_t rel = ImmediateSize(d) == 1 ? int64_t(int8_t(d.imm.imm8))
                          : ImmediateSize(d) == 2 ? int64_t(int16_t(d.imm.imm16))
                                                  : int64_t(int32_t(d.imm.imm32));
      const uintptr_t destination = here + instrLen + rel;
      const bool inside = destination >= src.target && destination < src.target + kPatchSize;

      if ((d.flags & DecodeFlags::HasModRM) && d.modrm_mod == 0 && d.modrm_rm == 5 &&
          (d.flags & DecodeFlags::Disp32)) {
        // RIP-relative operand: same length, displacement re-aimed from the new place.
        std::memcpy(form, src.code + old, instrLen);
        formLen = instrLen;
        const int64_t disp = int32_t(d.disp.disp32);
        const int64_t moved = int64_t(here) + disp - int64_t(slotAddress + nw);
        if (moved < INT32_MIN || moved > INT32_MAX) return false;
        const int32_t newDisp = int32_t(moved);
        std::memcpy(form + instrLen - ImmediateSize(d) - 4, &newDisp, 4);
        if (legacy && op == 0xFF && d.modrm_reg == 4) finished = true;
      } else if (legacy && relative && op == 0xE8) {
        formLen = AbsoluteCall(form, destination);
        resumeAt = int(nw + 6);
        resumeDest = here + instrLen;
      } else if (legacy && relative && (op == 0xE9 || op == 0xEB)) {
        if (inside) {
          std::memcpy(form, src.code + old, instrLen);
          formLen = instrLen;
        } else {
          formLen = AbsoluteJump(form, destination);
          finished = old >= branchLimit;
        }
      } else if (legacy && relative &&
                 ((op >= 0x70 && op <= 0x7F) || (op >= 0xE0 && op <= 0xE3) ||
                  (op == 0x0F && d.opcode2 >= 0x80 && d.opcode2 <= 0x8F))) {
        if (inside) {
          std::memcpy(form, src.code + old, instrLen);
          formLen = instrLen;
        } else if (op >= 0xE0 && op <= 0xE3) {
          return false;  // LOOP/JRCXZ have no long form
        } else {
          const uint8_t condition = (op == 0x0F ? d.opcode2 : op) & 0x0F;
          formLen = AbsoluteConditionalJump(form, condition, destination);
          resumeAt = int(nw + 2);
          resumeDest = destination;
        }
      } else if (legacy && (op == 0xC2 || op == 0xC3)) {
        std::memcpy(form, src.code + old, instrLen);
        formLen = instrLen;
        finished = old >= branchLimit;
      } else if (relative) {
        return false;  // XBEGIN: no absolute form
      } else {
        std::memcpy(form, src.code + old, instrLen);
        formLen = instrLen;
      }

      if (relative && inside && formLen == instrLen) {
        if (internalCount == kMaxBoundaries) return false;
        internal[internalCount++] = {old + instrLen, nw + instrLen,
                                     unsigned(destination - src.target)};
        if (destination - src.target > branchLimit) branchLimit = unsigned(destination - src.target);
      }
    }

    // Something jumps over this instruction: it must keep its length.
    if (old < branchLimit && formLen != instrLen) return false;
    if (nw + formLen > kMaxTrampoline) return false;
    if (r->boundaryCount == kMaxBoundaries) return false;
    r->oldBoundaries[r->boundaryCount] = uint8_t(old);
    r->newBoundaries[r->boundaryCount] = uint8_t(nw);
    ++r->boundaryCount;
    if (resumeAt >= 0) {
      r->resumeNew[r->resumeCount] = uint8_t(resumeAt);
      r->resumeDestination[r->resumeCount] = resumeDest;
      ++r->resumeCount;
    }
    std::memcpy(slot + nw, form, formLen);
    nw += formLen;
    old += instrLen;
  }

  // A jump kept within the copy must land on a copied instruction start at the same distance,
  // which also rules out a backward jump over an instruction that changed length.
  for (unsigned i = 0; i < internalCount; ++i) {
    const InternalBranch& b = internal[i];
    bool ok = false;
    for (unsigned k = 0; k < r->boundaryCount; ++k) {
      if (r->oldBoundaries[k] != b.destination) continue;
      ok = int(r->newBoundaries[k]) - int(b.newEnd) == int(b.destination) - int(b.oldEnd);
    }
    if (!ok) return false;
  }

  if (old < kPatchSize) {
    // The function ended early: the patch may only cover filler.
    if (src.readable >= kPatchSize && IsFiller(src.code + old, kPatchSize - old)) {
      r->patchedAbove = 0;
    } else if (old < 2 && src.readable >= 2 && IsFiller(src.code + old, 2 - old) && src.above &&
               IsFiller(src.above, 5)) {
      r->patchedAbove = 1;
    } else {
      return false;
    }
  }

  r->trampoline = slotAddress;
  r->relay = slotAddress + nw;
  AbsoluteJump(slot + nw, detour);
  return true;
}

bool MapInstructionPointer(const HookRecord& r, bool arming, uintptr_t ip, uintptr_t* moved) {
  if (arming) {
    for (unsigned i = 0; i < r.boundaryCount; ++i) {
      if (ip == r.target + r.oldBoundaries[i]) {
        *moved = r.trampoline + r.newBoundaries[i];
        return true;
      }
    }
    return false;
  }
  if (r.patchedAbove && ip == r.target - 5) {
    *moved = r.target;
    return true;
  }
  for (unsigned i = 0; i < r.boundaryCount; ++i) {
    if (ip == r.trampoline + r.newBoundaries[i]) {
      *moved = r.target + r.oldBoundaries[i];
      return true;
    }
  }
  for (unsigned i = 0; i < r.resumeCount; ++i) {
    if (ip == r.trampoline + r.resumeNew[i]) {
      *moved = r.resumeDestination[i];
      return true;
    }
  }
  if (ip == r.relay) {
    *moved = r.target;
    return true;
  }
  return false;
}
