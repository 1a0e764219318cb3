#include "hook/trampoline.h"

#include <cstring>

#include "hook/decoder.h"

// The builder copies whole instructions until the patch's 5 bytes are covered. Each one is
// classified by how it depends on its position and handed to the relocation of its kind, which
// writes its form for the trampoline; placing a form records the instruction's boundary (and any
// resume point inside the form) that the freeze uses to move live threads.

namespace {

constexpr unsigned kMaxForm = 32;

void Put32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }
void Put64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

unsigned AbsoluteJump(uint8_t* p, uint64_t dest) {
  const uint8_t head[6] = {0xFF, 0x25, 0, 0, 0, 0};
  std::memcpy(p, head, 6);
  Put64(p + 6, dest);
  return 14;
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

// What one target instruction becomes in the trampoline.
struct Form {
  uint8_t bytes[kMaxForm];
  unsigned len = 0;
  bool ends = false;         // nothing after it is copied
  bool endsAtLimit = false;  // ends unless a kept branch jumps past it
  // A place inside the form where a thread continues in the target instead.
  int resumeAt = -1;
  uintptr_t resumeDestination = 0;
  uint8_t resumePop = 0;
};

// The instruction being relocated.
struct Site {
  DecodedInstruction d;
  const uint8_t* bytes;   // in the target
  uintptr_t here;         // its address in the target
  uintptr_t there;        // where its form goes in the trampoline
  uintptr_t destination;  // of a relative branch
  bool inside;            // that destination lies in the patched bytes
};

enum class Kind { Plain, RipRelative, Call, Jump, Conditional, Loop, End, Unrelocatable };

bool Legacy(const DecodedInstruction& d) { return d.vex == VexKind::None; }
bool RipRelative(const DecodedInstruction& d) {
  return (d.flags & DecodeFlags::HasModRM) && d.modrm_mod == 0 && d.modrm_rm == 5 &&
         (d.flags & DecodeFlags::Disp32);
}
bool IndirectCall(const DecodedInstruction& d) {
  return Legacy(d) && d.opcode == 0xFF && (d.flags & DecodeFlags::HasModRM) && d.modrm_reg == 2;
}
bool IndirectJump(const DecodedInstruction& d) {
  return Legacy(d) && d.opcode == 0xFF && (d.flags & DecodeFlags::HasModRM) && d.modrm_reg == 4;
}
// The operand of an indirect call reads rsp, which pushing the return address first changes.
bool UsesStackPointer(const DecodedInstruction& d) {
  if (d.modrm_mod == 3) return d.modrm_rm == 4 && !d.rex_b;
  return (d.flags & DecodeFlags::HasSib) && d.sib_base == 4 && !d.rex_b;
}

Kind Classify(const DecodedInstruction& d) {
  const bool relative = d.flags & DecodeFlags::Relative;
  const uint8_t op = d.opcode;
  if (IndirectCall(d)) return UsesStackPointer(d) ? Kind::Unrelocatable : Kind::Call;
  if (RipRelative(d)) return Kind::RipRelative;
  if (!Legacy(d)) return relative ? Kind::Unrelocatable : Kind::Plain;
  if (relative && op == 0xE8) return Kind::Call;
  if (relative && (op == 0xE9 || op == 0xEB)) return Kind::Jump;
  if (relative && ((op >= 0x70 && op <= 0x7F) || (op == 0x0F && d.opcode2 >= 0x80 && d.opcode2 <= 0x8F)))
    return Kind::Conditional;
  if (relative && op >= 0xE0 && op <= 0xE3) return Kind::Loop;
  if (relative) return Kind::Unrelocatable;  // XBEGIN: no absolute form
  if (op == 0xC2 || op == 0xC3 || IndirectJump(d)) return Kind::End;
  return Kind::Plain;
}

unsigned DispBytes(const DecodedInstruction& d) {
  return (d.flags & DecodeFlags::Disp32) ? 4 : (d.flags & DecodeFlags::Disp8) ? 1 : 0;
}

void Copy(const Site& s, Form* f) {
  std::memcpy(f->bytes, s.bytes, s.d.len);
  f->len = s.d.len;
}

// Re-aims the 32-bit displacement of the RIP-relative instruction copied to `copy`, which runs
// at `runsAt`. The displacement lies just before the immediate.
bool ReaimDisplacement(const Site& s, uint8_t* copy, uintptr_t runsAt) {
  const int64_t disp = int32_t(s.d.disp.disp32);
  const int64_t moved = int64_t(s.here) + disp - int64_t(runsAt);
  if (moved < INT32_MIN || moved > INT32_MAX) return false;
  Put32(copy + s.d.len - ImmediateSize(s.d) - 4, int32_t(moved));
  return true;
}

// Same length, displacement re-aimed from the new place.
bool RelocateRipRelative(const Site& s, Form* f) {
  Copy(s, f);
  return ReaimDisplacement(s, f->bytes, s.there);
}

// A call pushes the original return address, which lies after the patch in the target's own
// body, and jumps to the callee: the callee returns into the target, and a stack walk or an
// exception from below sees the frame the target's own unwind data describes.
//   push qword [rip+d]      FF 35 d32
//   jmp to the callee       FF 25 0 + absolute address (relative call)
//                           or the call's own operand with ModRM.reg 4 (indirect call)
//   dq return address
bool RelocateCall(const Site& s, Form* f) {
  const uintptr_t returnAddress = s.here + s.d.len;
  uint8_t* p = f->bytes;
  p[0] = 0xFF;
  p[1] = 0x35;
  unsigned jumpLen;
  if (s.d.opcode == 0xE8) {
    jumpLen = AbsoluteJump(p + 6, s.destination);
  } else {
    std::memcpy(p + 6, s.bytes, s.d.len);
    const unsigned modrmAt = s.d.len - ImmediateSize(s.d) - DispBytes(s.d) -
                             ((s.d.flags & DecodeFlags::HasSib) ? 1 : 0) - 1;
    p[6 + modrmAt] = uint8_t((p[6 + modrmAt] & 0xC7) | (4 << 3));
    jumpLen = s.d.len;
    if (RipRelative(s.d) && !ReaimDisplacement(s, p + 6, s.there + 6)) return false;
  }
  Put32(p + 2, int32_t(jumpLen));
  Put64(p + 6 + jumpLen, returnAddress);
  f->len = 6 + jumpLen + 8;
  f->ends = true;
  // Stopped after the push: give the pushed address back and run the call in the target.
  f->resumeAt = 6;
  f->resumeDestination = s.here;
  f->resumePop = 8;
  return true;
}

// A jump kept inside the patched bytes is copied; one out of them becomes absolute.
bool RelocateJump(const Site& s, Form* f) {
  if (s.inside) {
    Copy(s, f);
    return true;
  }
  f->len = AbsoluteJump(f->bytes, s.destination);
  f->endsAtLimit = true;
  return true;
}

bool RelocateConditional(const Site& s, Form* f) {
  if (s.inside) {
    Copy(s, f);
    return true;
  }
  const uint8_t condition = (s.d.opcode == 0x0F ? s.d.opcode2 : s.d.opcode) & 0x0F;
  f->len = AbsoluteConditionalJump(f->bytes, condition, s.destination);
  // Stopped on the absolute jump: the condition held.
  f->resumeAt = 2;
  f->resumeDestination = s.destination;
  return true;
}

// LOOP and JRCXZ have no long form: only kept inside the patched bytes.
bool RelocateLoop(const Site& s, Form* f) {
  if (!s.inside) return false;
  Copy(s, f);
  return true;
}

struct InternalBranch {
  unsigned oldEnd, newEnd, destination;  // offsets from the target / the trampoline
};

struct Builder {
  Builder(const TrampolineSource& s, uint8_t* sl, uintptr_t at, HookRecord* rec)
      : src(s), slot(sl), slotAddress(at), r(rec) {}
  const TrampolineSource& src;
  uint8_t* slot;
  uintptr_t slotAddress;
  HookRecord* r;
  unsigned old = 0, nw = 0, branchLimit = 0;
  InternalBranch internal[kMaxBoundaries] = {};
  unsigned internalCount = 0;
};

bool Decode(const Builder& b, Site* s) {
  if (b.old >= b.src.readable ||
      !DecodeInstruction(b.src.code + b.old, b.src.readable - b.old, &s->d))
    return false;
  s->bytes = b.src.code + b.old;
  s->here = b.src.target + b.old;
  s->there = b.slotAddress + b.nw;
  const unsigned immSize = ImmediateSize(s->d);
  const int64_t rel = immSize == 1 ? int64_t(int8_t(s->d.imm.imm8))
                      : immSize == 2 ? int64_t(int16_t(s->d.imm.imm16))
                                     : int64_t(int32_t(s->d.imm.imm32));
  s->destination = s->here + s->d.len + rel;
  s->inside = (s->d.flags & DecodeFlags::Relative) && s->destination >= b.src.target &&
              s->destination < b.src.target + kPatchSize;
  return true;
}

// The form of the instruction at the builder's position; false when it cannot be relocated.
bool Relocate(Builder& b, const Site& s, Form* f) {
  switch (Classify(s.d)) {
    case Kind::Plain:
      Copy(s, f);
      return true;
    case Kind::RipRelative:
      f->endsAtLimit = IndirectJump(s.d);
      return RelocateRipRelative(s, f);
    case Kind::Call:
      // The callee returns after the call: that place must lie beyond the patch, and the callee
      // must not start inside it.
      return !b.src.shadowStack && b.old + s.d.len >= kPatchSize && !s.inside &&
             RelocateCall(s, f);
    case Kind::Jump:
      return RelocateJump(s, f);
    case Kind::Conditional:
      return RelocateConditional(s, f);
    case Kind::Loop:
      return RelocateLoop(s, f);
    case Kind::End:
      Copy(s, f);
      f->endsAtLimit = true;
      return true;
    case Kind::Unrelocatable:
      return false;
  }
  return false;
}

// A relative branch kept as it is must still land where it did; remembered for the end.
bool NoteInternalBranch(Builder& b, const Site& s, const Form& f) {
  if (!s.inside || f.len != s.d.len) return true;
  if (b.internalCount == kMaxBoundaries) return false;
  const unsigned destination = unsigned(s.destination - b.src.target);
  b.internal[b.internalCount++] = {b.old + s.d.len, b.nw + s.d.len, destination};
  if (destination > b.branchLimit) b.branchLimit = destination;
  return true;
}

// Writes the form, recording the instruction's boundary and any resume point in it.
bool Place(Builder& b, const Form& f, unsigned instrLen) {
  // Something jumps over this instruction: it must keep its length.
  if (b.old < b.branchLimit && f.len != instrLen) return false;
  if (b.nw + f.len > kMaxTrampoline) return false;
  HookRecord* r = b.r;
  if (r->boundaryCount == kMaxBoundaries) return false;
  r->oldBoundaries[r->boundaryCount] = uint8_t(b.old);
  r->newBoundaries[r->boundaryCount] = uint8_t(b.nw);
  ++r->boundaryCount;
  if (f.resumeAt >= 0) {
    r->resumeNew[r->resumeCount] = uint8_t(b.nw + unsigned(f.resumeAt));
    r->resumeDestination[r->resumeCount] = f.resumeDestination;
    r->resumePop[r->resumeCount] = f.resumePop;
    ++r->resumeCount;
  }
  std::memcpy(b.slot + b.nw, f.bytes, f.len);
  b.nw += f.len;
  b.old += instrLen;
  return true;
}

// A jump kept within the copy must land on a copied instruction start at the same distance,
// which also rules out a backward jump over an instruction that changed length.
bool InternalBranchesLand(const Builder& b) {
  const HookRecord& r = *b.r;
  for (unsigned i = 0; i < b.internalCount; ++i) {
    const InternalBranch& ib = b.internal[i];
    bool ok = false;
    for (unsigned k = 0; k < r.boundaryCount; ++k) {
      if (r.oldBoundaries[k] != ib.destination) continue;
      ok = int(r.newBoundaries[k]) - int(ib.newEnd) == int(ib.destination) - int(ib.oldEnd);
    }
    if (!ok) return false;
  }
  return true;
}

// The function ended before 5 bytes: the patch may only cover filler, after the function or
// (a 2-byte jump at the target) before it.
bool CoverShortFunction(const Builder& b) {
  const unsigned old = b.old;
  if (old >= kPatchSize) return true;
  const TrampolineSource& src = b.src;
  if (src.readable >= kPatchSize && IsFiller(src.code + old, kPatchSize - old)) return true;
  if (old < 2 && src.readable >= 2 && IsFiller(src.code + old, 2 - old) && src.above &&
      IsFiller(src.above, 5)) {
    b.r->patchedAbove = 1;
    return true;
  }
  return false;
}

}  // namespace

bool BuildTrampoline(const TrampolineSource& src, uint8_t* slot, uintptr_t slotAddress,
                     uintptr_t detour, HookRecord* r) {
  Builder b(src, slot, slotAddress, r);
  r->boundaryCount = 0;
  r->resumeCount = 0;
  r->patchedAbove = 0;

  for (bool finished = false; !finished;) {
    Form f;
    unsigned instrLen = 0;
    if (b.old >= kPatchSize) {
      f.len = AbsoluteJump(f.bytes, src.target + b.old);  // back into the target
      finished = true;
    } else {
      Site s;
      if (!Decode(b, &s) || !Relocate(b, s, &f) || !NoteInternalBranch(b, s, f)) return false;
      instrLen = s.d.len;
      finished = f.ends || (f.endsAtLimit && b.old >= b.branchLimit);
    }
    if (!Place(b, f, instrLen)) return false;
  }
  if (!InternalBranchesLand(b) || !CoverShortFunction(b)) return false;

  r->copied = uint8_t(b.old);
  r->trampoline = slotAddress;
  r->relay = slotAddress + b.nw;
  AbsoluteJump(slot + b.nw, detour);
  return true;
}

bool MapInstructionPointer(const HookRecord& r, bool arming, ThreadPlace* place) {
  const uintptr_t ip = place->ip;
  if (arming) {
    for (unsigned i = 0; i < r.boundaryCount; ++i) {
      if (ip == r.target + r.oldBoundaries[i]) {
        place->ip = r.trampoline + r.newBoundaries[i];
        return true;
      }
    }
    return false;
  }
  if (r.patchedAbove && ip == r.target - 5) {
    place->ip = r.target;
    return true;
  }
  for (unsigned i = 0; i < r.boundaryCount; ++i) {
    if (ip == r.trampoline + r.newBoundaries[i]) {
      place->ip = r.target + r.oldBoundaries[i];
      return true;
    }
  }
  for (unsigned i = 0; i < r.resumeCount; ++i) {
    if (ip == r.trampoline + r.resumeNew[i]) {
      place->ip = r.resumeDestination[i];
      place->sp += r.resumePop[i];
      return true;
    }
  }
  if (ip == r.relay) {
    place->ip = r.target;
    return true;
  }
  return false;
}
